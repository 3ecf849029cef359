#include "shell/recording_frame.h"

#include <cstdio>

#include "shell/movie_host.h"

namespace velmo::shell {

namespace {
std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}
}  // namespace

void RecordingFrame::Record(const std::string& line) {
    applied_.push_back(line);
    if (sink_) sink_(line);
}

bool RecordingFrame::Create(const std::string& iconSource) {
    Record("frame created, icon " + iconSource + ", accelerators 128");
    control_ = std::make_unique<platform::StandinMovieControl>(std::move(movieScript_), movieSink_);
    return true;
}

void RecordingFrame::SetNoMovie() { Record("no movie"); }

void RecordingFrame::LoadMovie(const std::string& path, bool autoPlay) {
    Record("movie \"" + path + "\"" + (autoPlay ? ", playing" : ", stopped"));
    if (control_) (void)LoadMovieInto(*control_, path, autoPlay);  // the stand-in takes any movie
}

void RecordingFrame::ApplyAppearance(const Appearance& a) {
    caption_ = a.caption;
    Record("appearance: shape " + std::to_string(a.windowShape) + ", border " + Hex(a.borderStyle) + ", icons " +
           Hex(a.borderIcons) + ", scale " + Hex(a.scaleMode) + ", caption \"" + a.caption + "\"");
    if (control_) ApplyScaleMode(*control_, a.scaleMode);
}

void RecordingFrame::ApplySizeAndPosition(const SizeAndPosition& s) {
    visible_ = true;
    Record("size: mode " + std::to_string(s.sizeMode) + " " + std::to_string(s.width) + "x" + std::to_string(s.height) +
           ", position " + std::to_string(s.position) + " at " + std::to_string(s.x) + "," + std::to_string(s.y) +
           (s.keepRatio ? ", keep ratio" : ""));
}

void RecordingFrame::ApplyWindowRegion(const std::vector<std::string>& regions) {
    Record("window region from " + std::to_string(regions.size()) + " image(s)");
}

void RecordingFrame::Show() {
    visible_ = true;
    Record("shown");
}

void RecordingFrame::KeepAspectRatio() { Record("aspect ratio kept"); }

void RecordingFrame::ApplyWindowFlags(const Behaviour& b) {
    Record(std::string("window flags:") + ((b.flags & kAlwaysOnTop) ? " always on top" : "") +
           ((b.flags & kStartMinimized) ? " minimized" : "") +
           ((b.flags & (kAlwaysOnTop | kStartMinimized)) ? "" : " none"));
}

void RecordingFrame::ApplyMiscellaneous(const Miscellaneous& m) {
    Record("miscellaneous: flags " + Hex(m.flags) + ", background " + Hex(m.backgroundColour));
    if (control_) ApplyBackgroundColor(*control_, m.backgroundColour);
}

void RecordingFrame::AddMenuCommands(const Behaviour& b) { Record("menu commands " + Hex(b.menuAdditions)); }

InputBlockHandle RecordingFrame::DisableInput(const Interaction& i) {
    Record("input disabling " + Hex(i.inputDisabling));
    return i.inputDisabling ? 1 : 0;
}

void RecordingFrame::EnableInput(InputBlockHandle handle) {
    if (handle) Record("input enabled again");
}

void RecordingFrame::AddTrayIcon(int iconResource) {
    Record("tray icon " + std::to_string(iconResource) + ", tip \"" + caption_ + "\"");
}

void RecordingFrame::Update() { Record("updated"); }

// The control stays for tests to read what was done to it, but raises nothing more.
void RecordingFrame::Destroy() {
    visible_ = false;
    destroyed_ = true;
    Record("frame destroyed");
}

}  // namespace velmo::shell
