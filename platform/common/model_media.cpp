#include "platform/common/model_media.h"

#include <algorithm>
#include <cstdio>

#include "platform/action_record.h"
#include "platform/common/model_window_system.h"
#include "platform/common/wave_header.h"
#include "platform/files.h"

namespace velmo::platform {

namespace {

// Error codes the model produces besides those the interface names.
constexpr uint32_t kErrUnrecognizedKeyword = 259, kErrMissingCommandString = 267, kErrParamOverflow = 268,
                   kErrBadInteger = 270, kErrMissingParameter = 273, kErrDeviceNotReady = 276,
                   kErrExtensionNotFound = 281, kErrBadTimeFormat = 293, kErrNoClosingQuote = 294,
                   kErrInvalidFile = 296, kErrMissingDeviceName = 292, kErrNoElementAllowed = 301;

constexpr uint32_t kFormatMs = 0, kFormatMsf = 2, kFormatFrames = 3, kFormatBytes = 8, kFormatSamples = 9,
                   kFormatTmsf = 10;

// The device types the model has installed, in its system order.
constexpr const char* kDeviceTypes[] = {"waveaudio", "sequencer", "cdaudio", "avivideo", "mpegvideo"};
// The size of every video the model opens: it reads no video files.
constexpr Rect kModelVideo{0, 0, 320, 240};
constexpr const char* kPlaybackClass = "Movora_Playback_Window";

struct ErrorEntry {
    uint32_t code;
    const char* text;
};
constexpr ErrorEntry kErrorTexts[] = {
    {kMciErrInvalidDeviceId, "Invalid device ID. Use the ID given to the device when it was opened."},
    {kErrUnrecognizedKeyword, "The driver cannot recognize the specified command parameter."},
    {kMciErrUnrecognizedCommand, "The driver cannot recognize the specified command."},
    {kMciErrInvalidDeviceName, "The specified device is not open or is not recognized by MCI."},
    {kErrMissingCommandString, "No command was specified."},
    {kErrParamOverflow, "The output string was too large to fit in the return buffer."},
    {kErrBadInteger, "The specified integer is invalid for this command."},
    {kErrMissingParameter, "The specified command requires a parameter."},
    {kMciErrUnsupportedFunction, "The device cannot carry out the specified command."},
    {kMciErrFileNotFound, "Cannot find the specified file."},
    {kErrDeviceNotReady, "The device is not ready."},
    {kErrExtensionNotFound, "The file name extension has no device type associated with it."},
    {kMciErrOutOfRange, "The specified parameter is out of range for the specified command."},
    {kMciErrDuplicateAlias, "The specified alias is already in use by this application."},
    {kErrMissingDeviceName, "The specified command requires an alias, file, driver, or device name."},
    {kErrBadTimeFormat, "The specified time format is invalid."},
    {kErrNoClosingQuote, "A closing double-quotation mark is missing from the parameter value."},
    {kErrInvalidFile, "The specified file cannot be played on the specified device."},
    {kErrNoElementAllowed, "The specified device does not use a file name."},
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::optional<uint32_t> Decimal(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

// The device type a file's extension opens with; empty for none.
std::string TypeForElement(const std::string& element) {
    const size_t dot = element.find_last_of('.');
    if (dot == std::string::npos) return {};
    const std::string ext = Lower(element.substr(dot + 1));
    if (ext == "wav") return "waveaudio";
    if (ext == "mid" || ext == "rmi") return "sequencer";
    if (ext == "avi") return "avivideo";
    if (ext == "mpg" || ext == "mpeg" || ext == "mp3" || ext == "wmv" || ext == "mp4") return "mpegvideo";
    return {};
}

bool KnownType(const std::string& type) {
    return std::any_of(std::begin(kDeviceTypes), std::end(kDeviceTypes), [&](const char* t) { return type == t; });
}

const char* ModeName(uint32_t mode) {
    switch (mode) {
        case kMciModePlay: return "playing";
        case kMciModePause: return "paused";
        case kMciModeRecord: return "recording";
        case kMciModeSeek: return "seeking";
        case kMciModeOpen: return "open";
        case kMciModeNotReady: return "not ready";
        default: return "stopped";
    }
}

const char* FormatName(uint32_t format) {
    switch (format) {
        case kFormatBytes: return "bytes";
        case kFormatSamples: return "samples";
        case kFormatMsf: return "msf";
        case kFormatTmsf: return "tmsf";
        case kFormatFrames: return "frames";
        default: return "milliseconds";
    }
}

std::optional<uint32_t> FormatByName(const std::string& name) {
    if (name == "ms" || name == "milliseconds") return kFormatMs;
    if (name == "bytes") return kFormatBytes;
    if (name == "samples") return kFormatSamples;
    if (name == "msf") return kFormatMsf;
    if (name == "tmsf") return kFormatTmsf;
    if (name == "frames") return kFormatFrames;
    return std::nullopt;
}

std::string RectWords(const Rect& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.width) + " " +
           std::to_string(r.height);
}

std::string FlagWords(uint32_t flags) {
    return std::string(flags & kMciNotify ? " notify" : "") + (flags & kMciWait ? " wait" : "");
}

}  // namespace

// A command string as words: blanks separate them, double quotes group blanks into one.
struct ModelMedia::Words {
    std::vector<std::string> words;
    size_t at = 0;
    bool unclosedQuote = false;
    bool notify = false, wait = false;

    explicit Words(const std::string& text) {
        std::string word;
        bool inWord = false, quoted = false;
        for (const char c : text) {
            if (quoted) {
                if (c == '"') quoted = false;
                else word += c;
            } else if (c == '"') {
                quoted = inWord = true;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                if (inWord) words.push_back(std::move(word));
                word.clear();
                inWord = false;
            } else {
                word += c;
                inWord = true;
            }
        }
        if (inWord) words.push_back(std::move(word));
        unclosedQuote = quoted;
    }
    // Takes the notify and wait flags out of the words after the verb and the device.
    void TakeFlags() {
        for (size_t i = 2; i < words.size();) {
            const std::string lower = Lower(words[i]);
            if (lower == "notify" || lower == "wait") {
                (lower == "notify" ? notify : wait) = true;
                words.erase(words.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }
    bool Done() const { return at >= words.size(); }
    std::string Next() { return Done() ? std::string() : words[at++]; }
    std::string NextLower() { return Lower(Next()); }
    // Takes the next word when it is `keyword` (without case).
    bool Accept(std::string_view keyword) {
        if (Done() || Lower(words[at]) != keyword) return false;
        ++at;
        return true;
    }
};

ModelMedia::ModelMedia(DesktopFinder desktop)
    : ModelMedia(
          [](const std::string& path) -> std::optional<std::vector<uint8_t>> {
              std::vector<uint8_t> bytes;
              if (!FileExists(path) || !ReadWholeFile(path, bytes)) return std::nullopt;
              return bytes;
          },
          std::move(desktop)) {}

ModelMedia::ModelMedia(FileReader reader, DesktopFinder desktop)
    : reader_(std::move(reader)), desktop_(std::move(desktop)) {}

ModelWindowSystem& ModelMedia::Desktop() const { return desktop_ ? desktop_() : ModelWindowSystem::Shared(); }

ModelMedia::Device* ModelMedia::Find(const std::string& name) {
    const std::string lower = Lower(name);
    for (auto& [id, d] : devices_)
        if (Lower(d.alias) == lower) return &d;
    return nullptr;
}

ModelMedia::Device* ModelMedia::ById(uint32_t id) {
    const auto it = devices_.find(id);
    return it == devices_.end() ? nullptr : &it->second;
}

std::string ModelMedia::AliasOf(uint32_t id) {
    const Device* d = ById(id);
    return d ? d->alias : std::string();
}

uint32_t ModelMedia::ToUnits(const Device& d, uint32_t ms) const {
    switch (d.timeFormat) {
        case kFormatBytes: return static_cast<uint32_t>(uint64_t{ms} * d.bytesPerSecond / 1000);
        case kFormatSamples: return static_cast<uint32_t>(uint64_t{ms} * d.samplesPerSecond / 1000);
        default: return ms;
    }
}

uint32_t ModelMedia::FromUnits(const Device& d, uint32_t units) const {
    switch (d.timeFormat) {
        case kFormatBytes:
            return d.bytesPerSecond ? static_cast<uint32_t>(uint64_t{units} * 1000 / d.bytesPerSecond) : 0;
        case kFormatSamples:
            return d.samplesPerSecond ? static_cast<uint32_t>(uint64_t{units} * 1000 / d.samplesPerSecond) : 0;
        default: return units;
    }
}

void ModelMedia::EndPlay(Device& d, uint32_t code) {
    if (d.playNotify) Desktop().Post(d.playNotify, kMsgMciNotify, code, d.id);
    d.playNotify = 0;
}

MciStringReply ModelMedia::SendString(const std::string& command, size_t returnBytes, WindowHandle callback) {
    Words words(command);
    MciStringReply reply;
    reply.error = Run(words, reply.text, callback);
    if (!reply.error && returnBytes && reply.text.size() + 1 > returnBytes) reply.error = kErrParamOverflow;
    if (reply.error) reply.text.clear();
    NoteAction("mci",
               command + " -> " + std::to_string(reply.error) + (reply.text.empty() ? "" : " \"" + reply.text + "\""));
    return reply;
}

uint32_t ModelMedia::Run(Words& words, std::string& reply, WindowHandle callback) {
    if (words.unclosedQuote) return kErrNoClosingQuote;
    if (words.words.empty()) return kErrMissingCommandString;
    words.TakeFlags();
    const std::string verb = words.NextLower();
    if (words.Done())
        return verb == "open" || verb == "close" || verb == "play" || verb == "stop" || verb == "status" ||
                       verb == "pause" || verb == "resume" || verb == "seek" || verb == "sysinfo"
                   ? kErrMissingDeviceName
                   : kMciErrUnrecognizedCommand;
    const WindowHandle notifyTo = words.notify ? callback : 0;
    const auto succeed = [&](Device* d) {
        if (notifyTo) Desktop().Post(notifyTo, kMsgMciNotify, kMciNotifySuccessful, d ? d->id : 0);
        return 0u;
    };
    if (verb == "open") {
        const uint32_t error = OpenDevice(words, reply);
        return error ? error : succeed(ById(static_cast<uint32_t>(std::stoul(reply))));
    }
    if (verb == "sysinfo") {
        const uint32_t error = SysInfo(words, reply);
        return error ? error : succeed(nullptr);
    }
    const std::string name = words.Next();
    if (verb == "close" && Lower(name) == "all") {
        if (!words.Done()) return kErrUnrecognizedKeyword;
        for (auto& [id, d] : devices_) EndPlay(d, kMciNotifyAborted);
        devices_.clear();
        return succeed(nullptr);
    }
    if (!KnownType(verb) && verb != "close" && verb != "play" && verb != "pause" && verb != "resume" &&
        verb != "stop" && verb != "seek" && verb != "step" && verb != "record" && verb != "save" && verb != "status" &&
        verb != "capability" && verb != "set" && verb != "where" && verb != "put" && verb != "window" &&
        verb != "update")
        return kMciErrUnrecognizedCommand;
    Device* found = Find(name);
    if (!found) return kMciErrInvalidDeviceName;
    Device& d = *found;
    const auto position = [&](uint32_t& ms) -> uint32_t {
        const std::optional<uint32_t> units = Decimal(words.Next());
        if (!units) return kErrBadInteger;
        ms = FromUnits(d, *units);
        return ms > d.lengthMs ? kMciErrOutOfRange : 0;
    };
    if (verb == "close") {
        if (!words.Done()) return kErrUnrecognizedKeyword;
        EndPlay(d, kMciNotifyAborted);
        const uint32_t id = d.id;
        devices_.erase(id);
        if (notifyTo) Desktop().Post(notifyTo, kMsgMciNotify, kMciNotifySuccessful, id);
        return 0;
    }
    if (verb == "play" || verb == "record") {
        if (d.cd && d.mode == kMciModeOpen) return kErrDeviceNotReady;
        if (verb == "record" && !d.wave) return kMciErrUnsupportedFunction;
        uint32_t from = d.positionMs, to = d.lengthMs;
        while (!words.Done()) {
            uint32_t error = 0;
            if (words.Accept("from")) error = position(from);
            else if (words.Accept("to")) error = position(to);
            else if (verb == "record" && (words.Accept("insert") || words.Accept("overwrite"))) continue;
            else return kErrUnrecognizedKeyword;
            if (error) return error;
        }
        if (from > to) return kMciErrOutOfRange;
        EndPlay(d, kMciNotifySuperseded);
        d.mode = verb == "play" ? kMciModePlay : kMciModeRecord;
        d.positionMs = from;
        d.playNotify = notifyTo;
        return 0;
    }
    if (verb == "pause" || verb == "resume" || verb == "stop") {
        if (!words.Done()) return kErrUnrecognizedKeyword;
        if (verb == "pause") {
            if (d.mode == kMciModePlay || d.mode == kMciModeRecord) d.mode = kMciModePause;
        } else if (verb == "resume") {
            if (d.mode != kMciModePause) return kMciErrUnsupportedFunction;
            d.mode = kMciModePlay;
        } else {
            EndPlay(d, kMciNotifyAborted);
            if (d.mode != kMciModeOpen) d.mode = kMciModeStop;
        }
        return succeed(&d);
    }
    if (verb == "seek") {
        uint32_t to = 0;
        if (words.Accept("to")) {
            if (words.Accept("start")) to = 0;
            else if (words.Accept("end")) to = d.lengthMs;
            else if (const uint32_t error = position(to)) return error;
        } else {
            return kErrMissingParameter;
        }
        if (!words.Done()) return kErrUnrecognizedKeyword;
        EndPlay(d, kMciNotifyAborted);
        d.mode = kMciModeStop;
        d.positionMs = to;
        return succeed(&d);
    }
    if (verb == "step") {
        if (!d.video) return kMciErrUnsupportedFunction;
        uint32_t by = 1;
        bool reverse = false;
        while (!words.Done()) {
            if (words.Accept("reverse")) reverse = true;
            else if (words.Accept("by")) {
                const std::optional<uint32_t> n = Decimal(words.Next());
                if (!n) return kErrBadInteger;
                by = *n;
            } else return kErrUnrecognizedKeyword;
        }
        // The model's video runs at 25 frames a second.
        const uint64_t moved = uint64_t{by} * 40;
        d.positionMs = reverse ? static_cast<uint32_t>(d.positionMs > moved ? d.positionMs - moved : 0)
                               : static_cast<uint32_t>(std::min<uint64_t>(d.positionMs + moved, d.lengthMs));
        return succeed(&d);
    }
    if (verb == "save") {
        if (!d.wave) return kMciErrUnsupportedFunction;
        const std::string file = words.Next();
        if (!words.Done()) return kErrUnrecognizedKeyword;
        if (file.empty() && d.element.empty()) return kErrMissingParameter;
        return succeed(&d);
    }
    if (verb == "status" || verb == "capability") {
        const uint32_t error = Query(d, words, reply, verb == "capability");
        return error ? error : succeed(&d);
    }
    if (verb == "set") {
        const uint32_t error = SetItem(d, words);
        return error ? error : succeed(&d);
    }
    if (!d.video) return kMciErrUnsupportedFunction;  // where, put, window, update: video only
    if (verb == "where") {
        if (words.Accept("source")) reply = RectWords(kModelVideo);
        else if (words.Accept("destination")) reply = RectWords(d.destination);
        else return kErrMissingParameter;
        return words.Done() ? succeed(&d) : kErrUnrecognizedKeyword;
    }
    const auto rectangle = [&](Rect& r) -> uint32_t {
        std::optional<uint32_t> v[4];
        for (auto& n : v)
            if (!(n = Decimal(words.Next()))) return kErrBadInteger;
        r = {static_cast<int>(*v[0]), static_cast<int>(*v[1]), static_cast<int>(*v[2]), static_cast<int>(*v[3])};
        return 0;
    };
    if (verb == "put") {
        if (!words.Accept("destination")) return kErrMissingParameter;
        Rect r = kModelVideo;
        if (words.Accept("at"))
            if (const uint32_t error = rectangle(r)) return error;
        if (!words.Done()) return kErrUnrecognizedKeyword;
        d.destination = r;
        return succeed(&d);
    }
    if (verb == "window") {
        if (!words.Accept("handle")) return kErrMissingParameter;
        const std::optional<uint32_t> handle = Decimal(words.Next());
        if (!handle || !words.Done()) return kErrBadInteger;
        d.videoWindow = *handle;
        return succeed(&d);
    }
    // update NAME hdc N [at x y w h]
    if (!words.Accept("hdc")) return kErrMissingParameter;
    if (!Decimal(words.Next())) return kErrBadInteger;
    Rect area;
    if (words.Accept("at"))
        if (const uint32_t error = rectangle(area)) return error;
    return words.Done() ? succeed(&d) : kErrUnrecognizedKeyword;
}

uint32_t ModelMedia::OpenDevice(Words& words, std::string& reply) {
    std::string name = words.Next(), type, alias;
    bool isNew = false;
    while (!words.Done()) {
        if (words.Accept("type")) type = words.NextLower();
        else if (words.Accept("alias")) alias = words.Next();
        else if (words.Accept("shareable") || words.Accept("sharable")) continue;
        else if (words.Accept("new")) isNew = true;
        else return kErrUnrecognizedKeyword;
    }
    std::string element;
    if (const size_t bang = name.find('!'); bang != std::string::npos) {
        type = Lower(name.substr(0, bang));
        element = name.substr(bang + 1);
    } else if (KnownType(Lower(name)) && type.empty()) {
        type = Lower(name);
    } else if (isNew) {
        if (name != "new") element = name;
    } else {
        element = name;
    }
    if (isNew && name == "new") element.clear();
    if (type.empty()) {
        type = TypeForElement(element);
        if (type.empty()) return kErrExtensionNotFound;
    }
    if (!KnownType(type)) return kMciErrInvalidDeviceName;
    if (alias.empty()) alias = element.empty() ? type : element;
    if (Find(alias)) return kMciErrDuplicateAlias;
    if (isNew && alias == type) return kErrMissingParameter;

    Device d;
    d.type = type;
    d.alias = alias;
    d.element = element;
    d.cd = type == "cdaudio";
    d.wave = type == "waveaudio";
    d.video = type == "avivideo" || type == "mpegvideo";
    if (d.cd) {
        if (!element.empty()) return kErrNoElementAllowed;
        d.mode = kMciModeOpen;  // the model's drive has no disc and its door open
    } else if (!isNew) {
        if (element.empty()) return kErrMissingParameter;
        const std::optional<std::vector<uint8_t>> bytes = reader_(element);
        if (!bytes) return kMciErrFileNotFound;
        if (d.wave) {
            const std::optional<WaveHeader> wave = ReadWaveHeader(bytes->data(), bytes->size());
            if (!wave) return kErrInvalidFile;
            d.bytesPerSecond = wave->bytesPerSecond;
            d.samplesPerSecond = wave->samplesPerSecond;
            d.lengthMs = WaveMilliseconds(*wave, wave->dataBytes);
        }
    } else {
        if (!d.wave) return kMciErrUnsupportedFunction;
        d.bytesPerSecond = d.samplesPerSecond = 11025;  // the system's new recording: 8-bit mono
    }
    d.id = nextId_++;
    if (d.video) d.destination = kModelVideo;
    reply = std::to_string(d.id);
    devices_[d.id] = d;
    return 0;
}

uint32_t ModelMedia::Query(Device& d, Words& words, std::string& reply, bool capability) {
    if (words.Done()) return kErrMissingParameter;
    std::string item;
    // Items are one to three words; the longest known one is taken.
    static const char* const kStatusItems[] = {"length", "position",         "start position",
                                               "mode",   "number of tracks", "time format",
                                               "ready",  "media present",    "current track"};
    static const char* const kCapabilityItems[] = {"can eject",  "can play",  "can record",  "can save",
                                                   "has video",  "has audio", "device type", "compound device",
                                                   "uses files", "can step"};
    const auto take = [&](const char* const* items, size_t count) {
        std::string best;
        for (size_t i = 0; i < count; ++i) {
            const std::string candidate = items[i];
            std::string joined;
            size_t n = 0;
            for (size_t at = words.at; at < words.words.size() && joined.size() < candidate.size(); ++at, ++n)
                joined += (joined.empty() ? "" : " ") + Lower(words.words[at]);
            if (joined == candidate && candidate.size() > best.size()) best = candidate;
        }
        if (!best.empty()) words.at += static_cast<size_t>(std::count(best.begin(), best.end(), ' ') + 1);
        return best;
    };
    if (capability) {
        item = take(kCapabilityItems, std::size(kCapabilityItems));
        if (item.empty() || !words.Done()) return kErrUnrecognizedKeyword;
        const auto yes = [&](bool v) { reply = v ? "true" : "false"; };
        if (item == "can eject") yes(d.cd);
        else if (item == "can play" || item == "has audio") yes(true);
        else if (item == "can record" || item == "can save") yes(d.wave);
        else if (item == "has video" || item == "can step") yes(d.video);
        else if (item == "device type") reply = d.type;
        else yes(!d.cd);  // compound device, uses files
        return 0;
    }
    item = take(kStatusItems, std::size(kStatusItems));
    if (item.empty()) return kErrUnrecognizedKeyword;
    std::optional<uint32_t> track;
    if (words.Accept("track")) {
        track = Decimal(words.Next());
        if (!track) return kErrBadInteger;
    }
    if (!words.Done()) return kErrUnrecognizedKeyword;
    const uint32_t tracks = d.cd ? 0 : 1;
    if (track && (*track < 1 || *track > tracks)) return kMciErrOutOfRange;
    if (d.cd && (item == "length" || item == "position" || item == "start position")) return kErrDeviceNotReady;
    if (item == "length") reply = std::to_string(ToUnits(d, d.lengthMs));
    else if (item == "position") reply = std::to_string(ToUnits(d, track ? 0 : d.positionMs));
    else if (item == "start position") reply = "0";
    else if (item == "mode") reply = ModeName(d.mode);
    else if (item == "number of tracks") reply = std::to_string(tracks);
    else if (item == "time format") reply = FormatName(d.timeFormat);
    else if (item == "ready") reply = d.cd ? "false" : "true";
    else if (item == "media present") reply = d.cd ? "false" : "true";
    else reply = std::to_string(tracks);  // current track
    return 0;
}

uint32_t ModelMedia::SetItem(Device& d, Words& words) {
    if (words.Accept("time")) {
        if (!words.Accept("format")) return kErrUnrecognizedKeyword;
        const std::optional<uint32_t> format = FormatByName(words.NextLower());
        if (!format || !words.Done()) return kErrBadTimeFormat;
        const bool fits = *format == kFormatMs || (d.wave && (*format == kFormatBytes || *format == kFormatSamples)) ||
                          (d.cd && (*format == kFormatMsf || *format == kFormatTmsf)) ||
                          (d.video && *format == kFormatFrames);
        if (!fits) return kErrBadTimeFormat;
        d.timeFormat = *format;
        return 0;
    }
    if (words.Accept("door")) {
        if (!d.cd) return kMciErrUnsupportedFunction;
        if (words.Accept("open")) d.mode = kMciModeOpen;
        else if (words.Accept("closed")) d.mode = kMciModeNotReady;
        else return kErrMissingParameter;
        return words.Done() ? 0 : kErrUnrecognizedKeyword;
    }
    return words.Done() ? kErrMissingParameter : kErrUnrecognizedKeyword;
}

uint32_t ModelMedia::SysInfo(Words& words, std::string& reply) {
    const std::string scope = words.NextLower();
    if (words.Accept("quantity")) {
        const bool open = words.Accept("open");
        if (!words.Done()) return kErrUnrecognizedKeyword;
        if (scope == "all") reply = std::to_string(open ? devices_.size() : std::size(kDeviceTypes));
        else if (KnownType(scope))
            reply = std::to_string(open ? std::count_if(devices_.begin(), devices_.end(),
                                                        [&](const auto& e) { return e.second.type == scope; })
                                        : 1);
        else return kMciErrInvalidDeviceName;
        return 0;
    }
    if (words.Accept("name")) {
        const std::optional<uint32_t> index = Decimal(words.Next());
        const bool open = words.Accept("open");
        if (!index || !words.Done()) return kErrBadInteger;
        if (scope != "all") return kMciErrUnsupportedFunction;
        if (open) {
            if (*index < 1 || *index > devices_.size()) return kMciErrOutOfRange;
            auto it = devices_.begin();
            std::advance(it, *index - 1);
            reply = it->second.alias;
        } else {
            if (*index < 1 || *index > std::size(kDeviceTypes)) return kMciErrOutOfRange;
            reply = kDeviceTypes[*index - 1];
        }
        return 0;
    }
    return kErrMissingParameter;
}

std::string ModelMedia::ErrorText(uint32_t error, size_t limit) {
    for (const ErrorEntry& e : kErrorTexts)
        if (e.code == error) return std::string(e.text).substr(0, limit);
    return {};
}

std::vector<std::string> ModelMedia::DeviceNames() {
    std::vector<std::string> names;
    const MciStringReply count = SendString("sysinfo all quantity", 128, 0);
    const std::optional<uint32_t> n = Decimal(count.text);
    for (uint32_t i = 1; n && i <= *n; ++i)
        names.push_back(SendString("sysinfo all name " + std::to_string(i), 128, 0).text);
    return names;
}

uint32_t ModelMedia::Command(uint32_t device, const std::string& rest, uint32_t flags, WindowHandle callback,
                             std::string* reply) {
    const std::string alias = AliasOf(device);
    if (alias.empty()) {
        NoteAction("mci",
                   "device " + std::to_string(device) + ": " + rest + " -> " + std::to_string(kMciErrInvalidDeviceId));
        return kMciErrInvalidDeviceId;
    }
    const std::string verb = rest.substr(0, rest.find(' '));
    const std::string tail = rest.size() > verb.size() ? rest.substr(verb.size()) : std::string();
    const MciStringReply r = SendString(verb + " \"" + alias + "\"" + tail + FlagWords(flags), 0, callback);
    if (reply) *reply = r.text;
    return r.error;
}

MciResult ModelMedia::Open(const MciOpenRequest& request) {
    std::string command = "open ";
    if (request.deviceType && request.element) command += "\"" + *request.deviceType + "!" + *request.element + "\"";
    else if (request.element) command += "\"" + *request.element + "\"";
    else if (request.deviceType) command += "\"" + *request.deviceType + "\"";
    command += " alias \"" + request.alias + "\"";
    if (request.shareable) command += " shareable";
    const MciStringReply r = SendString(command + FlagWords(request.flags), 0, request.callback);
    return {r.error, r.error ? 0 : Decimal(r.text).value_or(0)};
}

uint32_t ModelMedia::Act(uint32_t device, MciAction action, uint32_t flags, WindowHandle callback) {
    switch (action) {
        case MciAction::Close: return Command(device, "close", flags, callback);
        case MciAction::Pause: return Command(device, "pause", flags, callback);
        case MciAction::Stop: return Command(device, "stop", flags, callback);
        case MciAction::Resume: return Command(device, "resume", flags, callback);
        case MciAction::DoorOpen: return Command(device, "set door open", flags, callback);
    }
    return kMciErrUnsupportedFunction;
}

uint32_t ModelMedia::Play(uint32_t device, std::optional<uint32_t> from, std::optional<uint32_t> to, uint32_t flags,
                          WindowHandle callback) {
    std::string rest = "play";
    if (from) rest += " from " + std::to_string(*from);
    if (to) rest += " to " + std::to_string(*to);
    return Command(device, rest, flags, callback);
}

uint32_t ModelMedia::Record(uint32_t device, std::optional<uint32_t> from, std::optional<uint32_t> to, bool overwrite,
                            uint32_t flags, WindowHandle callback) {
    std::string rest = "record";
    if (from) rest += " from " + std::to_string(*from);
    if (to) rest += " to " + std::to_string(*to);
    rest += overwrite ? " overwrite" : " insert";
    return Command(device, rest, flags, callback);
}

uint32_t ModelMedia::Seek(uint32_t device, MciSeek where, uint32_t to, uint32_t flags, WindowHandle callback) {
    const std::string target = where == MciSeek::Start ? "start" : where == MciSeek::End ? "end" : std::to_string(to);
    return Command(device, "seek to " + target, flags, callback);
}

uint32_t ModelMedia::Step(uint32_t device, uint32_t frames, bool backwards, uint32_t flags, WindowHandle callback) {
    return Command(device, "step by " + std::to_string(frames) + (backwards ? " reverse" : ""), flags, callback);
}

uint32_t ModelMedia::Save(uint32_t device, const std::string& file, uint32_t flags, WindowHandle callback) {
    return Command(device, "save \"" + file + "\"", flags, callback);
}

MciResult ModelMedia::Status(uint32_t device, uint32_t item, std::optional<uint32_t> track, uint32_t flags,
                             WindowHandle callback) {
    const char* name = item == kMciStatusLength           ? "length"
                       : item == kMciStatusPosition       ? "position"
                       : item == kMciStatusStart          ? "start position"
                       : item == kMciStatusMode           ? "mode"
                       : item == kMciStatusNumberOfTracks ? "number of tracks"
                       : item == kMciStatusTimeFormat     ? "time format"
                                                          : nullptr;
    if (!name) return {kMciErrUnsupportedFunction, 0};
    std::string text;
    const uint32_t error =
        Command(device, std::string("status ") + name + (track ? " track " + std::to_string(*track) : std::string()),
                flags, callback, &text);
    if (error) return {error, 0};
    if (item == kMciStatusMode) {
        for (uint32_t mode = kMciModeNotReady; mode <= kMciModeOpen; ++mode)
            if (text == ModeName(mode)) return {0, mode};
        return {0, kMciModeStop};
    }
    if (item == kMciStatusTimeFormat) return {0, FormatByName(text).value_or(kFormatMs)};
    return {0, Decimal(text).value_or(0)};
}

MciResult ModelMedia::Capability(uint32_t device, uint32_t item, uint32_t flags, WindowHandle callback) {
    // The device object asks "can step" with the video item's number; both answer the same here.
    const char* name = item == kMciCanRecord  ? "can record"
                       : item == kMciHasVideo ? "has video"
                       : item == kMciCanEject ? "can eject"
                       : item == kMciCanPlay  ? "can play"
                                              : nullptr;
    if (!name) return {kMciErrUnsupportedFunction, 0};
    std::string text;
    const uint32_t error = Command(device, std::string("capability ") + name, flags, callback, &text);
    return {error, error ? 0 : uint64_t{text == "true"}};
}

uint32_t ModelMedia::SetTimeFormat(uint32_t device, uint32_t format, uint32_t flags, WindowHandle callback) {
    return Command(device, std::string("set time format ") + FormatName(format), flags, callback);
}

uint32_t ModelMedia::SourceRect(uint32_t device, Rect& source, uint32_t flags, WindowHandle callback) {
    std::string text;
    const uint32_t error = Command(device, "where source", flags, callback, &text);
    if (!error) source = kModelVideo;
    return error;
}

uint32_t ModelMedia::ShowVideoIn(uint32_t device, WindowHandle window, uint32_t flags, WindowHandle callback) {
    return Command(device, "window handle " + std::to_string(window), flags, callback);
}

uint32_t ModelMedia::PutDestination(uint32_t device, const Rect& destination, uint32_t flags, WindowHandle callback) {
    return Command(device, "put destination at " + RectWords(destination), flags, callback);
}

uint32_t ModelMedia::Update(uint32_t device, WindowHandle window, uintptr_t paintContext, const Rect& area,
                            uint32_t flags, WindowHandle callback) {
    // The model's device context of a window is the window's handle.
    const uintptr_t context = paintContext ? paintContext : window;
    return Command(device, "update hdc " + std::to_string(context) + " at " + RectWords(area), flags, callback);
}

WindowHandle ModelMedia::CreatePlaybackWindow(WindowHandle parent, PlaybackHook hook) {
    ModelWindowSystem& model = Desktop();
    if (parent && !model.IsWindow(parent)) parent = 0;
    const uint32_t style = parent ? kStyleChild : kStylePopup;
    const WindowHandle window =
        model.Register(kPlaybackClass, style, {0, 0, 0, 0}, parent, [hook](const WindowMessage& message) -> intptr_t {
            if (message.message == kMsgSize || message.message == kMsgMciNotify || message.message == kMsgPaint)
                if (hook) hook(message);
            return 0;
        });
    return window;
}

void ModelMedia::DestroyPlaybackWindow(WindowHandle window) { Desktop().Unregister(window); }

}  // namespace velmo::platform
