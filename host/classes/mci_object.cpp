// The MCI class. The class value sends command strings, lists devices and packs times; each
// instance is a device record with its own playback window, driven through properties and the
// command property, whose texts become device commands (platform/media_devices.h). Every command
// of the command property sets the last error; queries through properties do not. A finalized
// device is closed and its playback window destroyed.
#include "host/classes/mci_object.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "host/classes/mci_time.h"
#include "host/classes/window_values.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "platform/media_devices.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/convert.h"
#include "script/runtime/properties.h"

namespace velmo::host {

namespace {

using platform::Media;
using platform::WindowHandle;
using script::Tag;
using script::Value;

constexpr size_t kReturnBytes = 4096;
constexpr size_t kErrorMsgLimit = 128;
constexpr int kShow = 5, kHide = 0;
constexpr int kOnNotify = 0;

struct MciDevice {
    explicit MciDevice(script::Interpreter& interp) : interp(interp) {}
    script::Interpreter& interp;  // not owned
    uint32_t deviceId = 0;
    std::optional<std::string> fileName, deviceType, alias;
    bool sharable = false, notify = false, wait = false;
    int32_t from = -1, to = -1;
    int32_t frames = 0, recordMode = 0, channel = 0, track = 0;
    int32_t left = 0, top = 0, width = 0, height = 0;
    WindowHandle playback = 0;
    EventHandlers handlers{1};
    Value self = Value::Null();
    uint32_t lastError = 0;

    uint32_t Flags() const { return (notify ? platform::kMciNotify : 0) | (wait ? platform::kMciWait : 0); }
    WindowHandle Callback() const { return notify ? playback : 0; }
};

class MciClassState final : public HostClassState {
public:
    uint32_t nextAlias = 0;
};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// What the playback window hears: its size fits the video, a paint repaints it, a notification
// goes to onNotify with the code.
void PlaybackEvent(MciDevice& d, const platform::WindowMessage& message) {
    if (message.message == platform::kMsgMciNotify) {
        FireEvent(d.interp, d.handlers, kOnNotify, d.self, {Value::Integer(static_cast<int64_t>(message.wParam))});
        return;
    }
    if (!d.deviceId) return;
    const platform::Size client = platform::Windows().ClientSize(d.playback);
    const platform::Rect area{0, 0, client.width, client.height};
    if (message.message == platform::kMsgSize) (void)Media().PutDestination(d.deviceId, area, 0, 0);
    else if (message.message == platform::kMsgPaint)
        (void)Media().Update(d.deviceId, d.playback, static_cast<uintptr_t>(message.wParam), area, 0, 0);
}

// ---- The command property

std::optional<uint32_t> Range(int32_t v) {
    return v == -1 ? std::nullopt : std::optional<uint32_t>(static_cast<uint32_t>(v));
}

// After a successful open: a device with video shows it in the playback window, which takes the
// set size (or the video's own when either is 0) at the set place and is shown.
void ShowVideo(MciDevice& d) {
    auto& media = Media();
    if (!media.Capability(d.deviceId, platform::kMciHasVideo, 0, 0).value) return;
    (void)media.ShowVideoIn(d.deviceId, d.playback, 0, 0);
    platform::Size size{d.width, d.height};
    if (size.width == 0 || size.height == 0) {
        platform::Rect source;
        if (media.SourceRect(d.deviceId, source, 0, 0) == 0) size = {source.width, source.height};
    }
    platform::Windows().Move(d.playback, {d.left, d.top, size.width, size.height}, true);
    platform::Windows().Show(d.playback, kShow);
}

void OpenDevice(MciDevice& d, MciClassState& state) {
    if (!d.alias) d.alias = "_Velmo_MCI_" + std::to_string(state.nextAlias++);
    platform::MciOpenRequest request;
    request.alias = *d.alias;
    request.shareable = d.sharable;
    request.deviceType = d.deviceType;
    request.element = d.fileName;
    request.flags = d.Flags();
    request.callback = d.Callback();
    const platform::MciResult opened = Media().Open(request);
    d.lastError = opened.error;
    if (opened.error) return;
    d.deviceId = static_cast<uint32_t>(opened.value);
    d.from = d.to = -1;
    ShowVideo(d);
}

void RunCommand(MciDevice& d, MciClassState& state, const std::string& command) {
    auto& media = Media();
    const uint32_t id = d.deviceId, flags = d.Flags();
    const WindowHandle cb = d.Callback();
    const std::string c = Lower(command);
    if (c == "open") return OpenDevice(d, state);
    if (c == "close") {
        d.lastError = media.Act(id, platform::MciAction::Close, flags, cb);
        platform::Windows().Show(d.playback, kHide);
        if (!d.lastError) d.deviceId = 0;
    } else if (c == "play") {
        d.lastError = media.Play(id, Range(d.from), Range(d.to), flags, cb);
    } else if (c == "pause") {
        d.lastError = media.Act(id, platform::MciAction::Pause, flags, cb);
    } else if (c == "stop") {
        d.lastError = media.Act(id, platform::MciAction::Stop, flags, cb);
    } else if (c == "resume") {
        d.lastError = media.Act(id, platform::MciAction::Resume, flags, cb);
    } else if (c == "back" || c == "step") {
        d.lastError = media.Step(id, static_cast<uint32_t>(d.frames), c == "back", flags, cb);
    } else if (c == "prev") {
        d.lastError = media.Seek(id, platform::MciSeek::Start, 0, flags, cb);
    } else if (c == "next") {
        d.lastError = media.Seek(id, platform::MciSeek::End, 0, flags, cb);
    } else if (c == "seek") {
        d.lastError = media.Seek(id, platform::MciSeek::To, static_cast<uint32_t>(d.to), flags, cb);
        d.to = -1;
    } else if (c == "record") {
        d.lastError = media.Record(id, Range(d.from), Range(d.to), d.recordMode != 0, flags, cb);
    } else if (c == "eject") {
        d.lastError = media.Act(id, platform::MciAction::DoorOpen, flags, cb);
    } else if (c == "save") {
        d.lastError = media.Save(id, d.fileName.value_or(""), flags, cb);
    } else if (c == "update") {
        d.lastError = media.Update(id, d.playback, 0, {0, 0, d.width, d.height}, flags, cb);
    } else if (c == "where") {
        platform::Rect source;
        d.lastError = media.SourceRect(id, source, flags, cb);
        if (!d.lastError) d.width = source.width, d.height = source.height;
    }
}

// ---- Methods

void SendCmdString(HostCall& call) {
    const std::optional<std::string> command = AnsiArg(call.args, 1);
    if (!command) return;
    const MciDevice* d = call.Native<MciDevice>();
    const platform::MciStringReply reply = Media().SendString(*command, kReturnBytes, d ? d->playback : 0);
    call.ReturnAnsi(reply.error ? Media().ErrorText(reply.error, kReturnBytes) : reply.text);
}

void GetDevices(HostCall& call) {
    const std::vector<std::string> names = Media().DeviceNames();
    script::ArrayRecord* array = script::NewArray(call.interp, names.size());
    for (size_t i = 0; i < names.size(); ++i)
        script::PutElement(call.interp, array, AnsiStringValue(call.interp, names[i]), i);
    call.Return(Value::Array(array));
}

template <size_t N>
void Pack(HostCall& call) {
    const auto v = call.args.RequiredIntegers<N>();
    if (!v) return;
    call.ReturnInteger(PackTimeBytes((*v)[0], (*v)[1], (*v)[2], N == 4 ? (*v)[N - 1] : 0));
}

template <int Index>
void Unpack(HostCall& call) {
    if (const auto packed = call.args.Integer(1)) call.ReturnInteger(TimeByte(*packed, Index));
}

// ---- Properties

#define DEVICE_OR_RETURN(p)                 \
    MciDevice* d = (p).Native<MciDevice>(); \
    if (!d) return

template <uint32_t Item>
void CapabilityProperty(HostProperty& p) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) p.Return(Value::Boolean(Media().Capability(d->deviceId, Item, 0, 0).value != 0));
}

template <uint32_t Item, bool PerTrack = false>
void StatusProperty(HostProperty& p) {
    DEVICE_OR_RETURN(p);
    if (p.isSet) return;
    const std::optional<uint32_t> track =
        PerTrack ? std::optional<uint32_t>(static_cast<uint32_t>(d->track)) : std::nullopt;
    const platform::MciResult r = Media().Status(d->deviceId, Item, track, 0, 0);
    p.Return(Value::Integer(r.error ? 0 : static_cast<int64_t>(r.value)));
}

void TimeFormat(HostProperty& p) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) return StatusProperty<platform::kMciStatusTimeFormat>(p);
    if (p.Incoming().Is(Tag::Integer))
        (void)Media().SetTimeFormat(d->deviceId, static_cast<uint32_t>(p.Incoming().AsInteger()), 0, 0);
}

void Command(HostProperty& p) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) return;  // write-only: reading falls to nothing
    if (const auto text = p.Incoming().Is(Tag::String)
                              ? std::optional<std::u16string>(script::ToText(p.interp, p.Incoming()))
                              : std::nullopt)
        RunCommand(*d, *ClassStateAs<MciClassState>(p.cls), platform::Utf16ToAnsi(*text));
}

void DeviceId(HostProperty& p) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) p.Return(Value::Integer(d->deviceId));
}

void TextField(HostProperty& p, std::optional<std::string> MciDevice::*field) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) return p.ReturnAnsi((d->*field).value_or(""));
    if (p.Incoming().Is(Tag::String)) d->*field = platform::Utf16ToAnsi(script::ToText(p.interp, p.Incoming()));
}
void DeviceType(HostProperty& p) { TextField(p, &MciDevice::deviceType); }
void FileName(HostProperty& p) { TextField(p, &MciDevice::fileName); }
void Alias(HostProperty& p) { TextField(p, &MciDevice::alias); }

void Error(HostProperty& p) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) p.Return(Value::Integer(d->lastError));
}

void ErrorMsg(HostProperty& p) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) p.ReturnAnsi(Media().ErrorText(d->lastError, kErrorMsgLimit));
}

// An Integer field; `truncate` also takes a Number by its integer part (the geometry).
void IntegerField(HostProperty& p, int32_t MciDevice::*field, bool truncate = false) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) return p.Return(Value::Integer(d->*field));
    const Value& v = p.Incoming();
    if (v.Is(Tag::Integer) || (truncate && v.Is(Tag::Number)))
        d->*field = static_cast<int32_t>(std::clamp<int64_t>(script::ToInteger64Numeric(v), INT32_MIN, INT32_MAX));
}
void Frames(HostProperty& p) { IntegerField(p, &MciDevice::frames); }
void From(HostProperty& p) { IntegerField(p, &MciDevice::from); }
void To(HostProperty& p) { IntegerField(p, &MciDevice::to); }
void RecordMode(HostProperty& p) { IntegerField(p, &MciDevice::recordMode); }
void Channel(HostProperty& p) { IntegerField(p, &MciDevice::channel); }
void Track(HostProperty& p) { IntegerField(p, &MciDevice::track); }
void Left(HostProperty& p) { IntegerField(p, &MciDevice::left, true); }
void Top(HostProperty& p) { IntegerField(p, &MciDevice::top, true); }
void Width(HostProperty& p) { IntegerField(p, &MciDevice::width, true); }
void Height(HostProperty& p) { IntegerField(p, &MciDevice::height, true); }

void FlagField(HostProperty& p, bool MciDevice::*field) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) return p.Return(Value::Boolean(d->*field));
    if (p.Incoming().Is(Tag::Boolean)) d->*field = p.Incoming().AsBoolean();
}
void Notify(HostProperty& p) { FlagField(p, &MciDevice::notify); }
void Wait(HostProperty& p) { FlagField(p, &MciDevice::wait); }
void Sharable(HostProperty& p) { FlagField(p, &MciDevice::sharable); }

void PlayerWindow(HostProperty& p) {
    DEVICE_OR_RETURN(p);
    if (!p.isSet) p.Return(WindowValueFor(p.interp, d->playback));
}

#undef DEVICE_OR_RETURN

// ---- The class

// new MCI() and MCI(): a closed device with its hidden playback window.
void Construct(script::Interpreter& interp, script::ClassRecord& cls, Value*, Value* result) {
    auto device = std::make_unique<MciDevice>(interp);
    MciDevice* d = device.get();
    // Video plays over the movie; without a movie window the frame holds it, and without a frame
    // it is a window of its own.
    const Projector& projector = ProjectorOf(interp);
    const uintptr_t parent = projector.MovieWindow() ? projector.MovieWindow() : projector.MainWindow();
    d->playback = Media().CreatePlaybackWindow(parent, [d](const platform::WindowMessage& m) { PlaybackEvent(*d, m); });
    *result = script::NewHostValue(interp, &cls, device.release());
    d->self = *result;
}

void Finalize(script::ClassRecord&, void* native) {
    std::unique_ptr<MciDevice> d(static_cast<MciDevice*>(native));
    if (!d) return;
    if (d->deviceId) (void)Media().Act(d->deviceId, platform::MciAction::Close, platform::kMciWait, 0);
    if (d->playback) Media().DestroyPlaybackWindow(d->playback);
}

EventHandlers* Events(script::ClassRecord&, void* native) {
    return native ? &static_cast<MciDevice*>(native)->handlers : nullptr;
}

bool AnswersProperties(script::ClassRecord&, void* native, const HostMember&) { return native != nullptr; }

std::unique_ptr<HostClassState> MakeState(script::Interpreter&) { return std::make_unique<MciClassState>(); }

using platform::kMciStatusLength, platform::kMciStatusPosition, platform::kMciStatusStart, platform::kMciStatusMode,
    platform::kMciStatusNumberOfTracks;

constexpr HostMember kMembers[] = {
    Method("sendCmdString", Failure::Null, &SendCmdString),
    Method("getDevices", Failure::Null, &GetDevices),
    Method("makeHMS", Failure::Undefined, &Pack<3>),
    Method("makeMSF", Failure::Undefined, &Pack<3>),
    Method("makeTMSF", Failure::Undefined, &Pack<4>),
    Method("hmsHour", Failure::Undefined, &Unpack<0>),
    Method("hmsMinute", Failure::Undefined, &Unpack<1>),
    Method("hmsSecond", Failure::Undefined, &Unpack<2>),
    Method("msfMinute", Failure::Undefined, &Unpack<0>),
    Method("msfSecond", Failure::Undefined, &Unpack<1>),
    Method("msfFrame", Failure::Undefined, &Unpack<2>),
    Method("tmsfTrack", Failure::Undefined, &Unpack<0>),
    Method("tmsfMinute", Failure::Undefined, &Unpack<1>),
    Method("tmsfSecond", Failure::Undefined, &Unpack<2>),
    Method("tmsfFrame", Failure::Undefined, &Unpack<3>),
    PropertyMember("canEject", &CapabilityProperty<platform::kMciCanEject>),
    PropertyMember("canPlay", &CapabilityProperty<platform::kMciCanPlay>),
    PropertyMember("canRecord", &CapabilityProperty<platform::kMciCanRecord>),
    PropertyMember("canStep", &CapabilityProperty<platform::kMciCanStepFrames>),
    PropertyMember("command", &Command),
    PropertyMember("deviceID", &DeviceId),
    PropertyMember("deviceType", &DeviceType),
    PropertyMember("fileName", &FileName),
    PropertyMember("alias", &Alias),
    PropertyMember("error", &Error),
    PropertyMember("errorMsg", &ErrorMsg),
    PropertyMember("frames", &Frames),
    PropertyMember("from", &From),
    PropertyMember("to", &To),
    PropertyMember("notify", &Notify),
    PropertyMember("wait", &Wait),
    PropertyMember("sharable", &Sharable),
    PropertyMember("recordMode", &RecordMode),
    PropertyMember("channel", &Channel),
    PropertyMember("track", &Track),
    PropertyMember("length", &StatusProperty<kMciStatusLength>),
    PropertyMember("position", &StatusProperty<kMciStatusPosition>),
    PropertyMember("start", &StatusProperty<kMciStatusStart>),
    PropertyMember("mode", &StatusProperty<kMciStatusMode>),
    PropertyMember("tracks", &StatusProperty<kMciStatusNumberOfTracks>),
    PropertyMember("trackLength", &StatusProperty<kMciStatusLength, true>),
    PropertyMember("trackPosition", &StatusProperty<kMciStatusPosition, true>),
    PropertyMember("timeFormat", &TimeFormat),
    PropertyMember("left", &Left),
    PropertyMember("top", &Top),
    PropertyMember("width", &Width),
    PropertyMember("height", &Height),
    PropertyMember("playerWindow", &PlayerWindow),
    Event("onNotify", kOnNotify),
};

}  // namespace

void RegisterMciClass(script::Interpreter& interp) {
    HostClassSpec spec;
    spec.name = "MCI";
    spec.members = kMembers;
    spec.construct = &Construct;
    spec.finalizeData = &Finalize;
    spec.events = &Events;
    spec.answersProperties = &AnswersProperties;
    spec.makeState = &MakeState;
    RegisterHostClass(interp, spec);
}

}  // namespace velmo::host
