#include "shell/mouse_filter.h"

namespace velmo::shell {

using platform::MouseEvent;

MouseFilter::Outcome MouseFilter::Left(const platform::MouseInput& in, const platform::Rect& window) {
    Outcome out;
    platform::MouseDecision& d = out.decision;
    switch (in.event) {
        case MouseEvent::LeftDown:
            // A click outside the control's drag region is an ordinary click.
            if (!in.inDragRegion) return out;
            dragPending_ = true;
            startX_ = in.screenX;
            startY_ = in.screenY;
            startWindow_ = window;
            d.releaseCapture = true;
            return out;
        case MouseEvent::LeftUp: dragPending_ = dragging_ = false; return out;
        case MouseEvent::LeftDoubleClick: d.pass = false; return out;
        case MouseEvent::Move:
            if (dragPending_ && !in.captureHeld) {
                dragPending_ = false;
                dragging_ = true;
                d.takeCapture = true;
            }
            if (!dragging_) return out;
            if (in.leftButtonDown) {
                // The movie sees no moves while the window follows the pointer.
                d.pass = false;
                out.moveWindow =
                    platform::Rect{startWindow_.left + in.screenX - startX_, startWindow_.top + in.screenY - startY_,
                                   startWindow_.width, startWindow_.height};
                return out;
            }
            dragging_ = false;
            d.giveBackCapture = true;
            return out;
        default: return out;
    }
}

MouseFilter::Outcome MouseFilter::Filter(const Interaction& interaction, const platform::MouseInput& in,
                                         const platform::Rect& window) {
    Outcome out;
    platform::MouseDecision& d = out.decision;
    switch (in.event) {
        case MouseEvent::LeftDown:
        case MouseEvent::LeftUp:
        case MouseEvent::LeftDoubleClick:
        case MouseEvent::Move:
            if (interaction.leftButton == kLeftDrag) return Left(in, window);
            if (interaction.leftButton == kLeftIgnore && in.event != MouseEvent::Move) d.pass = false;
            return out;
        case MouseEvent::RightDown:
            if (interaction.rightButton == kRightContextMenu) {
                d.pass = false;
                d.contextMenu = true;
            } else if (interaction.rightButton == kRightIgnore) {
                d.leftClickInstead = true;
            }
            return out;
        case MouseEvent::RightUp: d.pass = interaction.rightButton == kRightSend; return out;
        case MouseEvent::RightDoubleClick: d.pass = interaction.rightButton != kRightIgnore; return out;
    }
    return out;
}

}  // namespace velmo::shell
