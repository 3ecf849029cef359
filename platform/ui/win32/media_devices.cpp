// Win32 media devices: command strings through mciSendStringA, device commands through
// mciSendCommandA with the system's parameter blocks, and the playback windows of device objects.
#include "platform/media_devices.h"

#include <windows.h>
// mmsystem.h needs the declarations of windows.h.
#include <mmsystem.h>

#include <vector>

namespace velmo::platform {

namespace {

constexpr const char* kPlaybackClass = "Movora_Playback_Window";
// A driver's mark on an answer whose value is a resource (the MCI driver interface's number).
constexpr DWORD kResourceReturned = 0x20000;

HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
DWORD_PTR Callback(WindowHandle window) { return static_cast<DWORD_PTR>(window); }

// The hook lives on the heap from WM_NCCREATE to WM_NCDESTROY, reached through the window's user
// data. Until a window takes it, it is the creator's (`unclaimed`).
PlaybackHook* unclaimed = nullptr;

LRESULT CALLBACK PlaybackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* hook = static_cast<PlaybackHook*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hook));
        if (hook == unclaimed) unclaimed = nullptr;
    }
    auto* hook = reinterpret_cast<PlaybackHook*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    const WindowHandle self = reinterpret_cast<WindowHandle>(hwnd);
    switch (message) {
        case WM_SIZE:
        case MM_MCINOTIFY:
            if (hook && *hook) (*hook)({self, message, wParam, lParam});
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = ::BeginPaint(hwnd, &paint);
            if (hook && *hook) (*hook)({self, kMsgPaint, reinterpret_cast<uintptr_t>(dc), 0});
            ::EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_NCDESTROY:
            ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            delete hook;
            break;
        default: break;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

bool RegisterPlaybackClass() {
    static const bool registered = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_VREDRAW | CS_HREDRAW;  // 3
        wc.lpfnWndProc = &PlaybackProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.lpszClassName = kPlaybackClass;
        return ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

class Win32Media final : public MediaDevices {
public:
    MciStringReply SendString(const std::string& command, size_t returnBytes, WindowHandle callback) override {
        std::vector<char> buffer(returnBytes ? returnBytes : 1, '\0');
        MciStringReply reply;
        reply.error =
            ::mciSendStringA(command.c_str(), buffer.data(), static_cast<UINT>(buffer.size()), Hwnd(callback));
        if (!reply.error) reply.text = buffer.data();
        return reply;
    }

    std::string ErrorText(uint32_t error, size_t limit) override {
        std::vector<char> buffer(limit + 1, '\0');
        if (!::mciGetErrorStringA(error, buffer.data(), static_cast<UINT>(buffer.size()))) return {};
        return buffer.data();
    }

    std::vector<std::string> DeviceNames() override {
        DWORD quantity = 0;
        MCI_SYSINFO_PARMSA count{};
        count.lpstrReturn = reinterpret_cast<LPSTR>(&quantity);
        count.dwRetSize = sizeof quantity;
        std::vector<std::string> names;
        if (::mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_SYSINFO, MCI_SYSINFO_QUANTITY,
                              reinterpret_cast<DWORD_PTR>(&count)))
            return names;
        for (DWORD i = 1; i <= quantity && i <= 4096; ++i) {
            char name[128] = {};
            MCI_SYSINFO_PARMSA query{};
            query.lpstrReturn = name;
            query.dwRetSize = sizeof name;
            query.dwNumber = i;
            const MCIERROR error = ::mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_SYSINFO, MCI_SYSINFO_NAME,
                                                     reinterpret_cast<DWORD_PTR>(&query));
            names.push_back(error ? std::string() : std::string(name));
        }
        return names;
    }

    MciResult Open(const MciOpenRequest& request) override {
        MCI_OPEN_PARMSA p{};
        p.dwCallback = Callback(request.callback);
        DWORD flags = request.flags | MCI_OPEN_ALIAS;
        p.lpstrAlias = request.alias.c_str();
        if (request.shareable) flags |= MCI_OPEN_SHAREABLE;
        if (request.deviceType) {
            flags |= MCI_OPEN_TYPE;
            p.lpstrDeviceType = request.deviceType->c_str();
        }
        if (request.element) {
            flags |= MCI_OPEN_ELEMENT;
            p.lpstrElementName = request.element->c_str();
        }
        const uint32_t error = Send(0, MCI_OPEN, flags, &p);
        return {error, error ? 0 : p.wDeviceID};
    }

    uint32_t Act(uint32_t device, MciAction action, uint32_t flags, WindowHandle callback) override {
        if (action == MciAction::DoorOpen) {
            MCI_SET_PARMS p{};
            p.dwCallback = Callback(callback);
            return Send(device, MCI_SET, flags | MCI_SET_DOOR_OPEN, &p);
        }
        MCI_GENERIC_PARMS p{};
        p.dwCallback = Callback(callback);
        const UINT command = action == MciAction::Close   ? MCI_CLOSE
                             : action == MciAction::Pause ? MCI_PAUSE
                             : action == MciAction::Stop  ? MCI_STOP
                                                          : MCI_RESUME;
        return Send(device, command, flags, &p);
    }

    uint32_t Play(uint32_t device, std::optional<uint32_t> from, std::optional<uint32_t> to, uint32_t flags,
                  WindowHandle callback) override {
        MCI_PLAY_PARMS p{};
        p.dwCallback = Callback(callback);
        if (from) flags |= MCI_FROM, p.dwFrom = *from;
        if (to) flags |= MCI_TO, p.dwTo = *to;
        return Send(device, MCI_PLAY, flags, &p);
    }

    uint32_t Record(uint32_t device, std::optional<uint32_t> from, std::optional<uint32_t> to, bool overwrite,
                    uint32_t flags, WindowHandle callback) override {
        MCI_RECORD_PARMS p{};
        p.dwCallback = Callback(callback);
        if (from) flags |= MCI_FROM, p.dwFrom = *from;
        if (to) flags |= MCI_TO, p.dwTo = *to;
        flags |= overwrite ? MCI_RECORD_OVERWRITE : MCI_RECORD_INSERT;
        return Send(device, MCI_RECORD, flags, &p);
    }

    uint32_t Seek(uint32_t device, MciSeek where, uint32_t to, uint32_t flags, WindowHandle callback) override {
        MCI_SEEK_PARMS p{};
        p.dwCallback = Callback(callback);
        if (where == MciSeek::Start) flags |= MCI_SEEK_TO_START;
        else if (where == MciSeek::End) flags |= MCI_SEEK_TO_END;
        else flags |= MCI_TO, p.dwTo = to;
        return Send(device, MCI_SEEK, flags, &p);
    }

    uint32_t Step(uint32_t device, uint32_t frames, bool backwards, uint32_t flags, WindowHandle callback) override {
        MCI_ANIM_STEP_PARMS p{};
        p.dwCallback = Callback(callback);
        p.dwFrames = frames;
        flags |= MCI_ANIM_STEP_FRAMES | (backwards ? MCI_ANIM_STEP_REVERSE : 0);
        return Send(device, MCI_STEP, flags, &p);
    }

    uint32_t Save(uint32_t device, const std::string& file, uint32_t flags, WindowHandle callback) override {
        MCI_SAVE_PARMSA p{};
        p.dwCallback = Callback(callback);
        p.lpfilename = file.c_str();
        return Send(device, MCI_SAVE, flags | MCI_SAVE_FILE, &p);
    }

    MciResult Status(uint32_t device, uint32_t item, std::optional<uint32_t> track, uint32_t flags,
                     WindowHandle callback) override {
        MCI_STATUS_PARMS p{};
        p.dwCallback = Callback(callback);
        p.dwItem = item;
        if (track) flags |= MCI_TRACK, p.dwTrack = *track;
        const DWORD raw = SendRaw(device, MCI_STATUS, flags | MCI_STATUS_ITEM, &p);
        if (LOWORD(raw)) return {LOWORD(raw), 0};
        // Modes and time formats are resources (the number again in the high word), as is any
        // value the driver marks so.
        const bool resource = (raw & kResourceReturned) || item == MCI_STATUS_MODE || item == MCI_STATUS_TIME_FORMAT;
        return {0, resource ? uint64_t{LOWORD(p.dwReturn)} : static_cast<uint64_t>(p.dwReturn)};
    }

    MciResult Capability(uint32_t device, uint32_t item, uint32_t flags, WindowHandle callback) override {
        MCI_GETDEVCAPS_PARMS p{};
        p.dwCallback = Callback(callback);
        p.dwItem = item;
        const DWORD raw = SendRaw(device, MCI_GETDEVCAPS, flags | MCI_GETDEVCAPS_ITEM, &p);
        // The capabilities asked here are booleans, returned as resources: the value is the low word.
        return {LOWORD(raw), LOWORD(raw) ? uint64_t{0} : uint64_t{LOWORD(p.dwReturn)}};
    }

    uint32_t SetTimeFormat(uint32_t device, uint32_t format, uint32_t flags, WindowHandle callback) override {
        MCI_SET_PARMS p{};
        p.dwCallback = Callback(callback);
        p.dwTimeFormat = format;
        return Send(device, MCI_SET, flags | MCI_SET_TIME_FORMAT, &p);
    }

    uint32_t SourceRect(uint32_t device, Rect& source, uint32_t flags, WindowHandle callback) override {
        MCI_ANIM_RECT_PARMS p{};
        p.dwCallback = Callback(callback);
        const uint32_t error = Send(device, MCI_WHERE, flags | MCI_ANIM_WHERE_SOURCE, &p);
        // The answer's right and bottom are the width and height.
        if (!error) source = {p.rc.left, p.rc.top, p.rc.right, p.rc.bottom};
        return error;
    }

    uint32_t ShowVideoIn(uint32_t device, WindowHandle window, uint32_t flags, WindowHandle callback) override {
        MCI_ANIM_WINDOW_PARMSA p{};
        p.dwCallback = Callback(callback);
        p.hWnd = Hwnd(window);
        return Send(device, MCI_WINDOW, flags | MCI_ANIM_WINDOW_HWND, &p);
    }

    uint32_t PutDestination(uint32_t device, const Rect& destination, uint32_t flags, WindowHandle callback) override {
        MCI_ANIM_RECT_PARMS p{};
        p.dwCallback = Callback(callback);
        p.rc = {destination.left, destination.top, destination.width, destination.height};
        return Send(device, MCI_PUT, flags | MCI_ANIM_RECT | MCI_ANIM_PUT_DESTINATION, &p);
    }

    uint32_t Update(uint32_t device, WindowHandle window, uintptr_t paintContext, const Rect& area, uint32_t flags,
                    WindowHandle callback) override {
        const HDC own = paintContext ? nullptr : ::GetDC(Hwnd(window));
        MCI_ANIM_UPDATE_PARMS p{};
        p.dwCallback = Callback(callback);
        p.hDC = paintContext ? reinterpret_cast<HDC>(paintContext) : own;
        p.rc = {area.left, area.top, area.width, area.height};
        const uint32_t error = Send(device, MCI_UPDATE, flags | MCI_ANIM_UPDATE_HDC | MCI_ANIM_RECT, &p);
        if (own) ::ReleaseDC(Hwnd(window), own);
        return error;
    }

    WindowHandle CreatePlaybackWindow(WindowHandle parent, PlaybackHook hook) override {
        if (!RegisterPlaybackClass()) return 0;
        const HWND owner = ::IsWindow(Hwnd(parent)) ? Hwnd(parent) : nullptr;
        auto* held = new PlaybackHook(std::move(hook));
        unclaimed = held;
        const HWND window = ::CreateWindowExA(0, kPlaybackClass, "", owner ? WS_CHILD : WS_POPUP, 0, 0, 0, 0, owner,
                                              nullptr, ::GetModuleHandleA(nullptr), held);
        // A creation refused before WM_NCCREATE never handed the hook over.
        if (unclaimed == held) delete held;
        unclaimed = nullptr;
        return reinterpret_cast<WindowHandle>(window);
    }

    void DestroyPlaybackWindow(WindowHandle window) override {
        if (::IsWindow(Hwnd(window))) ::DestroyWindow(Hwnd(window));
    }

private:
    // The driver's answer: the error code in the low word, flags such as the resource mark above.
    template <class Params>
    static DWORD SendRaw(uint32_t device, UINT command, DWORD flags, Params* params) {
        return ::mciSendCommandA(static_cast<MCIDEVICEID>(device), command, flags, reinterpret_cast<DWORD_PTR>(params));
    }
    template <class Params>
    static uint32_t Send(uint32_t device, UINT command, DWORD flags, Params* params) {
        return LOWORD(SendRaw(device, command, flags, params));
    }
};

MediaDevices* replacement = nullptr;

}  // namespace

MediaDevices& Media() {
    static Win32Media media;
    return replacement ? *replacement : media;
}

void UseMediaDevices(MediaDevices* media) { replacement = media; }

}  // namespace velmo::platform
