#pragma once
// The movie control: the outside component that plays the movie inside the main frame. The
// projector writes a few of its properties, calls into the movie through it, and receives its two
// events. Texts cross this interface as UTF-16, as the control's own strings do; the shell
// converts to and from 8-bit text at its side.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "platform/window.h"

namespace velmo::platform {

// Where a control delivers its events. Both arrive on the user-interface thread, possibly while
// the projector is inside a call into the same control (a script calling the movie may make the
// movie call back).
class MovieControlEvents {
public:
    virtual ~MovieControlEvents() = default;
    // The movie's fscommand: a command and its argument text.
    virtual void OnFSCommand(std::u16string_view command, std::u16string_view argument) = 0;
    // The movie's external call: a request document. The receiver answers with SetReturnValue
    // before it returns; the movie gets no answer otherwise.
    virtual void OnFlashCall(std::u16string_view request) = 0;
};

// The player's playback and timeline methods that scripts reach (the FlashPlayer object), beside
// the few the projector itself uses. Their names, as the control's dispatch interface spells them,
// are kMovieMethodNames in the same order.
enum class MovieMethod : uint8_t {
    Play,
    Stop,
    Back,
    Forward,
    Rewind,
    StopPlay,
    GotoFrame,        // (frame)
    CurrentFrame,     // -> frame
    IsPlaying,        // -> playing
    PercentLoaded,    // -> percent
    FrameLoaded,      // (frame) -> loaded
    LoadMovie,        // (layer, url)
    Zoom,             // (percent)
    SetZoomRect,      // (left, top, right, bottom)
    Pan,              // (x, y, mode)
    TGotoFrame,       // (target, frame)
    TCallFrame,       // (target, frame)
    TGotoLabel,       // (target, label)
    TCallLabel,       // (target, label)
    TCurrentFrame,    // (target) -> frame
    TCurrentLabel,    // (target) -> label
    TPlay,            // (target)
    TStopPlay,        // (target)
    TGetProperty,     // (target, property) -> text
    TSetProperty,     // (target, property, text)
    TGetPropertyNum,  // (target, property) -> number
    TSetPropertyNum,  // (target, property, number)
};
inline constexpr size_t kMovieMethodCount = 27;
inline constexpr std::string_view kMovieMethodNames[kMovieMethodCount] = {
    "Play",         "Stop",       "Back",          "Forward",      "Rewind",          "StopPlay",       "GotoFrame",
    "CurrentFrame", "IsPlaying",  "PercentLoaded", "FrameLoaded",  "LoadMovie",       "Zoom",           "SetZoomRect",
    "Pan",          "TGotoFrame", "TCallFrame",    "TGotoLabel",   "TCallLabel",      "TCurrentFrame",  "TCurrentLabel",
    "TPlay",        "TStopPlay",  "TGetProperty",  "TSetProperty", "TGetPropertyNum", "TSetPropertyNum"};

// The control's properties that scripts read and write; names in kMoviePropertyNames.
enum class MovieProperty : uint8_t {
    TotalFrames,  // read only
    FrameNum,
    Playing,
    Loop,
    Menu,
    DeviceFont,
    EmbedMovie,
    Quality,
    ScaleMode,
    AlignMode,
    BackgroundColor,
    Movie,
    WMode,
    SAlign,
    Base,
    Scale,
    BGColor,
    Quality2,
    SWRemote,
    FlashVars,
};
inline constexpr size_t kMoviePropertyCount = 20;
inline constexpr std::string_view kMoviePropertyNames[kMoviePropertyCount] = {
    "TotalFrames", "FrameNum",  "Playing",         "Loop",     "Menu",  "DeviceFont", "EmbedMovie", "Quality",
    "ScaleMode",   "AlignMode", "BackgroundColor", "Movie",    "WMode", "SAlign",     "Base",       "Scale",
    "BGColor",     "Quality2",  "SWRemote",        "FlashVars"};

inline std::string_view NameOf(MovieMethod method) { return kMovieMethodNames[static_cast<size_t>(method)]; }
inline std::string_view NameOf(MovieProperty property) { return kMoviePropertyNames[static_cast<size_t>(property)]; }

// An argument or answer of those members: nothing (a method without a result), a flag, a whole
// number, a floating number or a text.
using MovieValue = std::variant<std::monostate, bool, int32_t, double, std::u16string>;

class MovieControl {
public:
    virtual ~MovieControl() = default;

    // Null stops delivery; events raised meanwhile are dropped, as a control with no sink does.
    virtual void SetEventSink(MovieControlEvents* sink) = 0;

    // The installed player's version: the major version in the high 16 bits.
    virtual uint32_t FlashVersion() const = 0;

    // Property writes answer false when the control refuses them.
    virtual std::u16string Movie() const = 0;
    [[nodiscard]] virtual bool SetMovie(std::u16string_view path) = 0;
    virtual bool Playing() const = 0;
    virtual bool SetPlaying(bool playing) = 0;
    // 0 show all, 1 no border, 2 exact fit, 3 no scale.
    virtual int ScaleMode() const = 0;
    virtual bool SetScaleMode(int mode) = 0;
    // 0xRRGGBB.
    virtual bool SetBackgroundColor(int32_t rgb) = 0;
    // The folder relative references of the movie resolve against.
    virtual std::u16string Base() const = 0;
    virtual bool SetBase(std::u16string_view base) = 0;

    // A variable of the movie's main timeline; none when the movie has no such variable.
    virtual std::optional<std::u16string> GetVariable(std::u16string_view name) = 0;
    virtual bool SetVariable(std::u16string_view name, std::u16string_view value) = 0;
    // Hands a request document to the movie; its reply document, or none when the movie has no
    // callback of that name or refuses the call.
    virtual std::optional<std::u16string> CallFunction(std::u16string_view request) = 0;
    // The answer to the FlashCall being delivered.
    virtual void SetReturnValue(std::u16string_view reply) = 0;

    // Calls one of the player's methods with `args` (as many and of the kinds its comment in
    // MovieMethod says); its answer, nothing for a method without one, or none when the control
    // refuses the call or has no such method.
    virtual std::optional<MovieValue> Call(MovieMethod /*method*/, std::span<const MovieValue> /*args*/) {
        return std::nullopt;
    }
    // Reads and writes one property; none or false when the control refuses.
    virtual std::optional<MovieValue> Get(MovieProperty /*property*/) { return std::nullopt; }
    virtual bool Put(MovieProperty /*property*/, const MovieValue& /*value*/) { return false; }
    // The loaded movie's frame size as the control itself knows it; none when it cannot tell (the
    // real player does not say: the projector reads the movie's header instead).
    virtual std::optional<Size> FrameSize() const { return std::nullopt; }

    // Runs the frame label `label` of the timeline `target` ("_root" for the main one) at once, as
    // the movie's own call of a frame would; false when the control cannot.
    virtual bool CallFrame(std::u16string_view /*target*/, std::u16string_view /*label*/) { return false; }

    // Draws the movie's current picture into `image` (a picture of the whole window) inside `dest`,
    // on the background colour `backgroundRgb` (0xRRGGBB), touching only pixels inside `clip`.
    // False when the control cannot draw itself off screen; the image is then left as it was.
    virtual bool DrawOnto(PixelImage& /*image*/, const Rect& /*dest*/, const Rect& /*clip*/,
                          uint32_t /*backgroundRgb*/) {
        return false;
    }

    // Raises one event the control holds for the event loop (a scripted stand-in's next event);
    // false when it holds none. A real control raises its events from its window's messages.
    virtual bool RaiseNextEvent() { return false; }
    // True while the control still holds events for later (the stand-in during a wait).
    virtual bool HoldsEvents() const { return false; }
};

// The player's class id, as its registration and its class factory know it.
inline constexpr char kPlayerClassId[] = "{D27CDB6E-AE6D-11CF-96B8-444553540000}";

// The control file registered for the player's class (the InProcServer32 default value on
// Windows); empty when none is registered or the desktop has no registry.
std::string RegisteredPlayerFile();

// Creates the player's control as the movie window of `window` (child id 0x459, filling the client
// area): from `controlFile` through its own class factory, without registration, or by class id when
// the file is empty. Null when the control cannot be created; a desktop without the player's control
// (the headless one) always answers null.
std::unique_ptr<MovieControl> CreatePlayerControl(FrameWindow& window, const std::string& controlFile);

// Whether the system's print dialog shows when the movie prints; true at start. Turned off, a
// control made from a file prints to the default printer without asking (its print dialog goes
// through the runtime); a control made by class id always asks. Headless nothing prints.
void SetPrintDialogShown(bool shown);
bool PrintDialogShown();

}  // namespace velmo::platform
