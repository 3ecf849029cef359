#include "platform/standin/standin_movie_control.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <cstdio>

#include "platform/common/utf8.h"

namespace velmo::platform {

std::string QuotedText(std::u16string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        switch (cp) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            default: break;
        }
        // Controls and lone surrogates have no UTF-8 form worth printing.
        if (cp < 0x20 || cp == 0x7F || (cp >= 0xD800 && cp <= 0xDFFF)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(cp));
            out += escaped;
        } else {
            AppendUtf8(out, cp);
        }
    }
    return out + "\"";
}

StandinMovieControl::StandinMovieControl(StandinMovieScript script, Sink sink)
    : script_(std::move(script)), sink_(std::move(sink)) {}

void StandinMovieControl::Record(const std::string& line) {
    recorded_.push_back(line);
    if (sink_) sink_(line);
}

bool StandinMovieControl::SetMovie(std::u16string_view path) {
    movie_ = path;
    Record("Movie := " + QuotedText(path));
    if (!path.empty()) loaded_ = true;
    return true;
}

bool StandinMovieControl::SetPlaying(bool playing) {
    playing_ = playing;
    Record(std::string("Playing := ") + (playing ? "true" : "false"));
    return true;
}

bool StandinMovieControl::SetScaleMode(int mode) {
    if (mode < 0 || mode > 3) {
        Record("ScaleMode := " + std::to_string(mode) + " refused");
        return false;
    }
    scaleMode_ = mode;
    Record("ScaleMode := " + std::to_string(mode));
    return true;
}

bool StandinMovieControl::SetBackgroundColor(int32_t rgb) {
    background_ = rgb;
    char text[32];
    std::snprintf(text, sizeof text, "BackgroundColor := 0x%06X", static_cast<unsigned>(rgb));
    Record(text);
    return true;
}

bool StandinMovieControl::SetBase(std::u16string_view base) {
    base_ = base;
    Record("Base := " + QuotedText(base));
    return true;
}

std::optional<std::u16string> StandinMovieControl::GetVariable(std::u16string_view name) {
    const auto found = script_.variables.find(std::u16string(name));
    if (found == script_.variables.end()) {
        Record("GetVariable(" + QuotedText(name) + ") -> none");
        return std::nullopt;
    }
    Record("GetVariable(" + QuotedText(name) + ") -> " + QuotedText(found->second));
    return found->second;
}

bool StandinMovieControl::SetVariable(std::u16string_view name, std::u16string_view value) {
    script_.variables[std::u16string(name)] = value;
    Record("SetVariable(" + QuotedText(name) + ", " + QuotedText(value) + ")");
    return true;
}

// The callback a request names is the text of its invoke element's name attribute, as written.
std::optional<std::u16string> StandinMovieControl::CallFunction(std::u16string_view request) {
    constexpr std::u16string_view kOpening = u"<invoke name=\"";
    std::optional<std::u16string> reply;
    if (request.substr(0, kOpening.size()) == kOpening) {
        const std::u16string_view rest = request.substr(kOpening.size());
        const size_t quote = rest.find(u'"');
        if (quote != std::u16string_view::npos) {
            const auto found = script_.functions.find(std::u16string(rest.substr(0, quote)));
            if (found != script_.functions.end()) reply = found->second;
        }
    }
    Record("CallFunction(" + QuotedText(request) + ") -> " + (reply ? QuotedText(*reply) : std::string("none")));
    return reply;
}

void StandinMovieControl::SetReturnValue(std::u16string_view reply) {
    if (flashCallDepth_ == 0) {
        Record("SetReturnValue(" + QuotedText(reply) + ") outside a FlashCall, ignored");
        return;
    }
    answered_ = true;
    Record("SetReturnValue(" + QuotedText(reply) + ")");
}

namespace {
void Fill(PixelImage& image, const Rect& r, const Rect& clip, uint32_t pixel) {
    const int left = std::max({r.left, clip.left, 0}), top = std::max({r.top, clip.top, 0});
    const int right = std::min({r.left + r.width, clip.left + clip.width, image.size.width});
    const int bottom = std::min({r.top + r.height, clip.top + clip.height, image.size.height});
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) image.At(x, y) = pixel;
}
}  // namespace

bool StandinMovieControl::CallFrame(std::u16string_view target, std::u16string_view label) {
    Record("CallFrame(" + QuotedText(target) + ", " + QuotedText(label) + ")");
    return true;
}

bool StandinMovieControl::DrawOnto(PixelImage& image, const Rect& dest, const Rect& clip, uint32_t backgroundRgb) {
    (void)SetBackgroundColor(static_cast<int32_t>(backgroundRgb & 0xFFFFFF));
    Fill(image, dest, clip, backgroundRgb & 0xFFFFFF);
    for (const StandinPaint& p : script_.paints) {
        const Rect r{dest.left + p.x, dest.top + p.y, p.width, p.height};
        const Rect inside{dest.left, dest.top, dest.width, dest.height};
        const int left = std::max(r.left, inside.left), top = std::max(r.top, inside.top);
        const int right = std::min(r.left + r.width, inside.left + inside.width);
        const int bottom = std::min(r.top + r.height, inside.top + inside.height);
        if (right > left && bottom > top) Fill(image, {left, top, right - left, bottom - top}, clip, p.rgb & 0xFFFFFF);
    }
    return true;
}

bool StandinMovieControl::HoldsEvents() const { return loaded_ && nextEvent_ < script_.events.size(); }

bool StandinMovieControl::RaiseNextEvent() {
    if (!loaded_ || nextEvent_ >= script_.events.size()) return false;
    if (script_.events[nextEvent_].kind == StandinEvent::Kind::Wait) {
        const auto now = std::chrono::steady_clock::now();
        if (!waitEnds_) {
            Record("wait " + std::to_string(script_.events[nextEvent_].milliseconds) + " ms");
            waitEnds_ = now + std::chrono::milliseconds(script_.events[nextEvent_].milliseconds);
        }
        if (now < *waitEnds_) {
            // A short nap, so that a loop with nothing else to do does not spin; the caller
            // handles the window's messages between naps.
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(*waitEnds_ - now, std::chrono::milliseconds(10)));
            return false;
        }
        waitEnds_.reset();
        ++nextEvent_;
        return RaiseNextEvent();
    }
    // A copy: the sink may load another movie or call back into this control meanwhile.
    const StandinEvent event = script_.events[nextEvent_++];
    if (event.kind == StandinEvent::Kind::FSCommand) {
        Record("raise FSCommand(" + QuotedText(event.first) + ", " + QuotedText(event.second) + ")" +
               (events_ ? "" : ": no sink, dropped"));
        if (events_) events_->OnFSCommand(event.first, event.second);
        return true;
    }
    Record("raise FlashCall(" + QuotedText(event.first) + ")" + (events_ ? "" : ": no sink, dropped"));
    if (!events_) return true;
    const bool outerAnswered = answered_;
    answered_ = false;
    ++flashCallDepth_;
    events_->OnFlashCall(event.first);
    --flashCallDepth_;
    if (!answered_) Record("FlashCall answered nothing");
    answered_ = outerAnswered;
    return true;
}

std::function<std::unique_ptr<MovieControl>(FrameWindow&, const std::string&)> StandinControlFactory(
    StandinMovieScript script, StandinMovieControl::Sink sink) {
    return [script = std::move(script), sink = std::move(sink)](FrameWindow&,
                                                                const std::string&) -> std::unique_ptr<MovieControl> {
        if (script.unavailable) return nullptr;
        return std::make_unique<StandinMovieControl>(script, sink);
    };
}

}  // namespace velmo::platform
