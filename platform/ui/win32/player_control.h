#pragma once
// The player's control hosted in the frame window: created from a control file through its own
// class factory (no registration needed) or by class id, in-place active as the frame's movie
// window, used through its dispatch interface (member ids looked up by name once) and heard
// through its connection point. Tear-down runs in one order whoever goes first: the event
// connection, the in-place activation, the object, and the control file last.

#include <ocidl.h>
#include <oleidl.h>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/movie_control.h"
#include "platform/os/win32/handles.h"
#include "platform/ui/win32/activex_events.h"
#include "platform/ui/win32/activex_site.h"
#include "platform/ui/win32/frame_window.h"

namespace velmo::platform::win32 {

// The dispatch members the projector uses, in the order of kPlayerMemberNames.
enum class PlayerMember {
    Movie,
    Playing,
    ScaleMode,
    BackgroundColor,
    Base,
    GetVariable,
    SetVariable,
    CallFunction,
    SetReturnValue,
    FlashVersion,
    CallLabel,
};
inline constexpr size_t kPlayerMemberCount = 11;
inline constexpr std::array<const wchar_t*, kPlayerMemberCount> kPlayerMemberNames = {
    L"Movie",       L"Playing",      L"ScaleMode",      L"BackgroundColor", L"Base",      L"GetVariable",
    L"SetVariable", L"CallFunction", L"SetReturnValue", L"FlashVersion",    L"TCallLabel"};

class PlayerControl final : public MovieControl, private MovieWindowHost, private EventReceiver {
public:
    // Null when the control cannot be made or activated; nothing is left behind then.
    static std::unique_ptr<PlayerControl> Create(FrameWindowImpl& frame, const std::string& controlFile);
    ~PlayerControl() override;
    PlayerControl(const PlayerControl&) = delete;
    PlayerControl& operator=(const PlayerControl&) = delete;

    void SetEventSink(MovieControlEvents* sink) override { events_ = sink; }
    uint32_t FlashVersion() const override;
    std::u16string Movie() const override;
    [[nodiscard]] bool SetMovie(std::u16string_view path) override;
    bool Playing() const override;
    bool SetPlaying(bool playing) override;
    int ScaleMode() const override;
    bool SetScaleMode(int mode) override;
    bool SetBackgroundColor(int32_t rgb) override;
    std::u16string Base() const override;
    bool SetBase(std::u16string_view base) override;
    std::optional<std::u16string> GetVariable(std::u16string_view name) override;
    bool SetVariable(std::u16string_view name, std::u16string_view value) override;
    std::optional<std::u16string> CallFunction(std::u16string_view request) override;
    void SetReturnValue(std::u16string_view reply) override;
    bool CallFrame(std::u16string_view target, std::u16string_view label) override;
    std::optional<MovieValue> Call(MovieMethod method, std::span<const MovieValue> args) override;
    std::optional<MovieValue> Get(MovieProperty property) override;
    bool Put(MovieProperty property, const MovieValue& value) override;
    bool DrawOnto(PixelImage& image, const Rect& dest, const Rect& clip, uint32_t backgroundRgb) override;

    // The control's own window (the frame's movie window); null once it went.
    HWND Window() const { return window_; }
    bool HasMember(PlayerMember member) const { return ids_[static_cast<size_t>(member)].has_value(); }

private:
    PlayerControl() = default;
    [[nodiscard]] bool Activate(FrameWindowImpl& frame);
    void FindMembers();
    void ConnectEvents();
    void TearDown();
    // Invokes `member` with `args` (first to last; a property write's value is its one argument).
    HRESULT Invoke(PlayerMember member, WORD flags, VARIANT* args, UINT count, VARIANT* result) const;
    HRESULT InvokeId(DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result) const;
    // The dispatch id of a member scripts reach, looked up by name at its first use.
    std::optional<DISPID> IdOf(std::string_view name);
    std::optional<std::u16string> ReadString(PlayerMember member) const;
    bool WriteString(PlayerMember member, std::u16string_view text);
    std::optional<int32_t> ReadInteger(PlayerMember member, WORD flags) const;
    bool WriteValue(PlayerMember member, VARIANT& value);
    std::optional<std::u16string> CallForString(PlayerMember member, std::u16string_view argument);

    void PlaceMovieWindow(const RECT& rect) override;
    void MovieWindowGone(bool windowDestroyed) override;
    void OnFSCommand(const std::u16string& command, const std::u16string& argument) override;
    void OnFlashCall(const std::u16string& request) override;

    bool oleStarted_ = false;
    HMODULE module_ = nullptr;          // the control file, freed last
    FrameWindowImpl* frame_ = nullptr;  // not owned; null once the frame went
    HWND window_ = nullptr;
    ControlSite* site_ = nullptr;  // one reference
    EventSink* sink_ = nullptr;    // one reference
    ComPtr<IOleObject> object_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IConnectionPoint> eventPoint_;
    DWORD eventCookie_ = 0;
    std::array<std::optional<DISPID>, kPlayerMemberCount> ids_;
    std::map<std::string, std::optional<DISPID>, std::less<>> scriptIds_;  // names of MovieMethod, MovieProperty
    MovieControlEvents* events_ = nullptr;                                 // not owned
};

// Frees the files of controls torn down inside one of their own events, once no event is under
// way: their code was on the stack then. The message loop calls it after each message.
void FreeRetiredControlFiles();

}  // namespace velmo::platform::win32
