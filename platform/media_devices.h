#pragma once
// Multimedia devices through the Media Control Interface: command strings, and the device commands
// of the MCI object's command property, which name the device by id and take the notify (1) and
// wait (2) flags. Error codes, status items, capability items, time formats and notification codes
// are the system's numbers on every target. Win32 sends them with mciSendString and
// mciSendCommand. The headless desktop keeps a model of the devices
// (platform/common/model_media.h) that answers from their state and records every command as an
// "mci" action.
//
// Each device object owns a playback window: the device's notification window and the parent of
// its video. Its hook hears the window's size changes, paints and the notification message.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"
#include "platform/window_system.h"

namespace velmo::platform {

inline constexpr uint32_t kMciNotify = 0x1, kMciWait = 0x2;
// Messages a playback window's hook hears; for a paint, wParam is the device context.
inline constexpr uint32_t kMsgPaint = 0x000F, kMsgMciNotify = 0x03B9;
// Notification codes (wParam of the notification message).
inline constexpr uint32_t kMciNotifySuccessful = 1, kMciNotifySuperseded = 2, kMciNotifyAborted = 4,
                          kMciNotifyFailure = 8;
// Status items, capability items and modes the device object uses.
inline constexpr uint32_t kMciStatusLength = 1, kMciStatusPosition = 2, kMciStatusNumberOfTracks = 3,
                          kMciStatusMode = 4, kMciStatusTimeFormat = 6, kMciStatusStart = 0x200;
inline constexpr uint32_t kMciCanRecord = 1, kMciHasVideo = 3, kMciCanEject = 7, kMciCanPlay = 8,
                          kMciCanStepFrames = 3;  // the step capability shares its number with video
inline constexpr uint32_t kMciModeNotReady = 524, kMciModeStop = 525, kMciModePlay = 526, kMciModeRecord = 527,
                          kMciModeSeek = 528, kMciModePause = 529, kMciModeOpen = 530;
// Error codes the device object itself produces or tests compare against.
inline constexpr uint32_t kMciErrInvalidDeviceId = 257, kMciErrUnrecognizedCommand = 261,
                          kMciErrInvalidDeviceName = 263, kMciErrFileNotFound = 275, kMciErrOutOfRange = 282,
                          kMciErrDuplicateAlias = 289, kMciErrUnsupportedFunction = 274;

struct MciStringReply {
    uint32_t error = 0;
    std::string text;  // the return text (empty on error)
};

struct MciOpenRequest {
    std::optional<std::string> deviceType, element;
    std::string alias;
    bool shareable = false;
    uint32_t flags = 0;  // notify, wait
    WindowHandle callback = 0;
};

// A device command's result: its error code and, for queries, the value.
struct MciResult {
    uint32_t error = 0;
    uint64_t value = 0;
};

enum class MciAction { Close, Pause, Stop, Resume, DoorOpen };
enum class MciSeek { Start, End, To };

using PlaybackHook = std::function<void(const WindowMessage&)>;

class MediaDevices {
public:
    virtual ~MediaDevices() = default;

    // A command string, answered in a `returnBytes` buffer; the callback window hears "notify".
    virtual MciStringReply SendString(const std::string& command, size_t returnBytes, WindowHandle callback) = 0;
    // The system's text for an MCI error code, at most `limit` characters; empty for an unknown code.
    virtual std::string ErrorText(uint32_t error, size_t limit) = 0;
    // The names of all devices, in the system's order; an empty name where the query failed.
    virtual std::vector<std::string> DeviceNames() = 0;

    // Device commands. `callback` receives the notification when `flags` has notify. The device
    // id of Open is the result's value.
    virtual MciResult Open(const MciOpenRequest& request) = 0;
    virtual uint32_t Act(uint32_t device, MciAction action, uint32_t flags, WindowHandle callback) = 0;
    // Play and record from and to the given positions (none: from the current one, to the end).
    virtual uint32_t Play(uint32_t device, std::optional<uint32_t> from, std::optional<uint32_t> to, uint32_t flags,
                          WindowHandle callback) = 0;
    virtual uint32_t Record(uint32_t device, std::optional<uint32_t> from, std::optional<uint32_t> to, bool overwrite,
                            uint32_t flags, WindowHandle callback) = 0;
    virtual uint32_t Seek(uint32_t device, MciSeek where, uint32_t to, uint32_t flags, WindowHandle callback) = 0;
    // Steps by `frames`, backwards when `backwards`.
    virtual uint32_t Step(uint32_t device, uint32_t frames, bool backwards, uint32_t flags, WindowHandle callback) = 0;
    virtual uint32_t Save(uint32_t device, const std::string& file, uint32_t flags, WindowHandle callback) = 0;
    // A status item, for `track` when given.
    virtual MciResult Status(uint32_t device, uint32_t item, std::optional<uint32_t> track, uint32_t flags,
                             WindowHandle callback) = 0;
    virtual MciResult Capability(uint32_t device, uint32_t item, uint32_t flags, WindowHandle callback) = 0;
    virtual uint32_t SetTimeFormat(uint32_t device, uint32_t format, uint32_t flags, WindowHandle callback) = 0;
    // The video's source rectangle.
    virtual uint32_t SourceRect(uint32_t device, Rect& source, uint32_t flags, WindowHandle callback) = 0;
    // Video: shown in `window`; fitted to `destination` there; painted again into `window` over
    // `area`, through the device context of a paint in progress (`paintContext`, a paint message's
    // wParam) or, when that is 0, one taken from the window for the call.
    virtual uint32_t ShowVideoIn(uint32_t device, WindowHandle window, uint32_t flags, WindowHandle callback) = 0;
    virtual uint32_t PutDestination(uint32_t device, const Rect& destination, uint32_t flags,
                                    WindowHandle callback) = 0;
    virtual uint32_t Update(uint32_t device, WindowHandle window, uintptr_t paintContext, const Rect& area,
                            uint32_t flags, WindowHandle callback) = 0;

    // A hidden child of `parent` of the class "Movora_Playback_Window" (a hidden top-level window
    // when `parent` is 0); 0 when it cannot be made.
    virtual WindowHandle CreatePlaybackWindow(WindowHandle parent, PlaybackHook hook) = 0;
    virtual void DestroyPlaybackWindow(WindowHandle window) = 0;
};

// The devices of this process; a test may put others in their place (null gives the process's own).
MediaDevices& Media();
void UseMediaDevices(MediaDevices* media);

}  // namespace velmo::platform
