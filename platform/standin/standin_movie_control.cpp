#include "platform/standin/standin_movie_control.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>

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

std::string ValueText(const MovieValue& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
    if (const int32_t* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
    if (const double* number = std::get_if<double>(&value)) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", *number);
        return text;
    }
    if (const std::u16string* text = std::get_if<std::u16string>(&value)) return QuotedText(*text);
    return "nothing";
}

StandinMovieControl::StandinMovieControl(StandinMovieScript script, Sink sink)
    : script_(std::move(script)), sink_(std::move(sink)) {
    // What a player shows before anyone changes it.
    properties_ = {
        {MovieProperty::Loop, true},        {MovieProperty::Menu, true},        {MovieProperty::DeviceFont, false},
        {MovieProperty::EmbedMovie, false}, {MovieProperty::Quality, 1},        {MovieProperty::AlignMode, 0},
        {MovieProperty::WMode, u"Window"},  {MovieProperty::SAlign, u""},       {MovieProperty::Scale, u"ShowAll"},
        {MovieProperty::BGColor, u""},      {MovieProperty::Quality2, u"High"}, {MovieProperty::SWRemote, u""},
        {MovieProperty::FlashVars, u""},
    };
}

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

namespace {

std::optional<int32_t> IntegerAt(std::span<const MovieValue> args, size_t i) {
    if (i >= args.size()) return std::nullopt;
    if (const int32_t* v = std::get_if<int32_t>(&args[i])) return *v;
    return std::nullopt;
}
std::optional<double> NumberAt(std::span<const MovieValue> args, size_t i) {
    if (i >= args.size()) return std::nullopt;
    if (const double* v = std::get_if<double>(&args[i])) return *v;
    if (const int32_t* v = std::get_if<int32_t>(&args[i])) return *v;
    return std::nullopt;
}
const std::u16string* TextAt(std::span<const MovieValue> args, size_t i) {
    return i < args.size() ? std::get_if<std::u16string>(&args[i]) : nullptr;
}

std::u16string NumberText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    std::u16string out;
    for (const char* c = text; *c; ++c) out += static_cast<char16_t>(*c);
    return out;
}

}  // namespace

// A frame outside the movie is refused, as a timeline cannot show it.
bool StandinMovieControl::GoTo(int32_t& frame, int32_t to) const {
    if (to < 0 || to >= script_.frames) return false;
    frame = to;
    return true;
}

std::optional<MovieValue> StandinMovieControl::Answer(MovieMethod method, std::span<const MovieValue> args) {
    using M = MovieMethod;
    const std::u16string* target = TextAt(args, 0);
    Timeline* timeline = target ? &timelines_[*target] : nullptr;
    switch (method) {
        case M::Play: playing_ = true; return MovieValue{};
        case M::Stop:
        case M::StopPlay: playing_ = false; return MovieValue{};
        case M::Back: frame_ = std::max(0, frame_ - 1), playing_ = false; return MovieValue{};
        case M::Forward: frame_ = std::min(script_.frames - 1, frame_ + 1), playing_ = false; return MovieValue{};
        case M::Rewind: frame_ = 0, playing_ = false; return MovieValue{};
        case M::GotoFrame: {
            const std::optional<int32_t> to = IntegerAt(args, 0);
            if (!to || !GoTo(frame_, *to)) return std::nullopt;
            return MovieValue{};
        }
        case M::CurrentFrame: return MovieValue{frame_};
        case M::IsPlaying: return MovieValue{playing_};
        case M::PercentLoaded: return MovieValue{loaded_ ? 100 : 0};
        case M::FrameLoaded: {
            const std::optional<int32_t> frame = IntegerAt(args, 0);
            if (!frame) return std::nullopt;
            return MovieValue{loaded_ && *frame >= 0 && *frame < script_.frames};
        }
        case M::LoadMovie: {
            const std::optional<int32_t> layer = IntegerAt(args, 0);
            const std::u16string* url = TextAt(args, 1);
            if (!layer || !url || *layer < 0) return std::nullopt;
            // Layer 0 replaces the movie itself; the others lie above it and change nothing here.
            if (*layer == 0) movie_ = *url, frame_ = 0;
            return MovieValue{};
        }
        case M::Zoom:
            if (!IntegerAt(args, 0)) return std::nullopt;
            return MovieValue{};
        case M::SetZoomRect:
            for (size_t i = 0; i < 4; ++i)
                if (!IntegerAt(args, i)) return std::nullopt;
            return MovieValue{};
        case M::Pan:
            for (size_t i = 0; i < 3; ++i)
                if (!IntegerAt(args, i)) return std::nullopt;
            return MovieValue{};
        case M::TGotoFrame:
        case M::TCallFrame: {
            const std::optional<int32_t> to = IntegerAt(args, 1);
            if (!timeline || !to) return std::nullopt;
            if (method == M::TCallFrame)
                return *to >= 0 && *to < script_.frames ? std::optional(MovieValue{}) : std::nullopt;
            if (!GoTo(timeline->frame, *to)) return std::nullopt;
            return MovieValue{};
        }
        case M::TGotoLabel:
        case M::TCallLabel: {
            const std::u16string* label = TextAt(args, 1);
            if (!timeline || !label) return std::nullopt;
            if (method == M::TGotoLabel) timeline->label = *label;
            return MovieValue{};
        }
        case M::TCurrentFrame:
            if (!timeline) return std::nullopt;
            return MovieValue{timeline->frame};
        case M::TCurrentLabel:
            if (!timeline) return std::nullopt;
            return MovieValue{timeline->label};
        case M::TPlay:
        case M::TStopPlay:
            if (!timeline) return std::nullopt;
            timeline->playing = method == M::TPlay;
            return MovieValue{};
        case M::TGetProperty:
        case M::TGetPropertyNum: {
            const std::optional<int32_t> index = IntegerAt(args, 1);
            if (!timeline || !index) return std::nullopt;
            const auto found = timeline->properties.find(*index);
            const std::u16string text = found == timeline->properties.end() ? u"" : found->second;
            if (method == M::TGetProperty) return MovieValue{text};
            const std::string narrow(text.begin(), text.end());
            char* end = nullptr;
            const double number = std::strtod(narrow.c_str(), &end);
            return MovieValue{end && *end == '\0' ? number : 0.0};
        }
        case M::TSetProperty:
        case M::TSetPropertyNum: {
            const std::optional<int32_t> index = IntegerAt(args, 1);
            if (!timeline || !index) return std::nullopt;
            if (method == M::TSetProperty) {
                const std::u16string* text = TextAt(args, 2);
                if (!text) return std::nullopt;
                timeline->properties[*index] = *text;
            } else {
                const std::optional<double> number = NumberAt(args, 2);
                if (!number) return std::nullopt;
                timeline->properties[*index] = NumberText(*number);
            }
            return MovieValue{};
        }
    }
    return std::nullopt;
}

std::optional<MovieValue> StandinMovieControl::Call(MovieMethod method, std::span<const MovieValue> args) {
    std::string line(NameOf(method));
    line += "(";
    for (size_t i = 0; i < args.size(); ++i) line += (i ? ", " : "") + ValueText(args[i]);
    line += ")";
    if (Refused(NameOf(method))) {
        Record(line + " refused");
        return std::nullopt;
    }
    const std::optional<MovieValue> answer = Answer(method, args);
    if (!answer) Record(line + " refused");
    else if (std::holds_alternative<std::monostate>(*answer)) Record(line);
    else Record(line + " -> " + ValueText(*answer));
    return answer;
}

std::optional<MovieValue> StandinMovieControl::Get(MovieProperty property) {
    const std::string name(NameOf(property));
    if (Refused(name)) {
        Record(name + " -> refused");
        return std::nullopt;
    }
    MovieValue value;
    switch (property) {
        case MovieProperty::TotalFrames: value = script_.frames; break;
        case MovieProperty::FrameNum: value = frame_; break;
        case MovieProperty::Playing: value = playing_; break;
        case MovieProperty::ScaleMode: value = scaleMode_; break;
        case MovieProperty::BackgroundColor: value = background_; break;
        case MovieProperty::Movie: value = movie_; break;
        case MovieProperty::Base: value = base_; break;
        default: value = properties_[property]; break;
    }
    Record(name + " -> " + ValueText(value));
    return value;
}

// A value of another kind than the property's is refused, as the player's type check would.
bool StandinMovieControl::Put(MovieProperty property, const MovieValue& value) {
    const std::string name(NameOf(property));
    if (Refused(name) || property == MovieProperty::TotalFrames) {
        Record(name + " := " + ValueText(value) + " refused");
        return false;
    }
    const int32_t* number = std::get_if<int32_t>(&value);
    const bool* flag = std::get_if<bool>(&value);
    const std::u16string* text = std::get_if<std::u16string>(&value);
    switch (property) {
        case MovieProperty::Playing:
            if (!flag && !number) break;
            return SetPlaying(flag ? *flag : *number != 0);
        case MovieProperty::ScaleMode:
            if (!number) break;
            return SetScaleMode(*number);
        case MovieProperty::BackgroundColor:
            if (!number) break;
            return SetBackgroundColor(*number);
        case MovieProperty::Movie:
            if (!text) break;
            return SetMovie(*text);
        case MovieProperty::Base:
            if (!text) break;
            return SetBase(*text);
        case MovieProperty::FrameNum:
            if (!number || !GoTo(frame_, *number)) break;
            Record(name + " := " + ValueText(value));
            return true;
        default: {
            MovieValue& stored = properties_[property];
            if (std::holds_alternative<bool>(stored) && number) {
                stored = *number != 0;
            } else if (stored.index() == value.index()) {
                stored = value;
            } else {
                break;
            }
            Record(name + " := " + ValueText(stored));  // what was kept: a number given for a flag is one
            return true;
        }
    }
    Record(name + " := " + ValueText(value) + " refused");
    return false;
}

std::optional<Size> StandinMovieControl::FrameSize() const {
    if (!loaded_ || script_.frameWidth <= 0 || script_.frameHeight <= 0) return std::nullopt;
    return Size{script_.frameWidth, script_.frameHeight};
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
