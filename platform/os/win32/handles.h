#pragma once
// Owners for Win32 handles and COM pointers: every handle this layer opens is closed by one of
// these, so an early return or an exception can never leak one.

#include <windows.h>

#include <utility>

namespace velmo::platform::win32 {

// `Traits` names the handle type, its "no handle" value and how to close it.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : handle_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : handle_(std::exchange(o.handle_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) Reset(std::exchange(o.handle_, Traits::Invalid()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return handle_; }
    bool Valid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }
    // For calls that return the handle through a pointer; whatever was held is closed first.
    Handle* Receive() {
        Reset();
        return &handle_;
    }
    // Gives up ownership without closing.
    Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) {
        // Closing may change the last error, which callers often still want to read.
        if (Valid()) {
            const DWORD saved = ::GetLastError();
            Traits::Close(handle_);
            ::SetLastError(saved);
        }
        handle_ = h;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

// Process and thread handles: none is null, not INVALID_HANDLE_VALUE.
struct ProcessHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using ProcessHandle = UniqueHandle<ProcessHandleTraits>;

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

struct MixerTraits {
    using Handle = HMIXER;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::mixerClose(h); }
};
using MixerHandle = UniqueHandle<MixerTraits>;

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::LocalFree(h); }
};
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyWindow(h); }
};
using WindowHandle = UniqueHandle<WindowTraits>;

struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyMenu(h); }
};
using MenuHandle = UniqueHandle<MenuTraits>;

struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyIcon(h); }
};
// Only for icons this process made (files, sized copies); shared resource icons are never destroyed.
using IconHandle = UniqueHandle<IconTraits>;

struct CursorTraits {
    using Handle = HCURSOR;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyCursor(h); }
};
// Only for cursors loaded from files; shared system cursors are never destroyed.
using CursorHandle = UniqueHandle<CursorTraits>;

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
// Regions, bitmaps, brushes. A region handed to SetWindowRgn belongs to the system: Release it.
using GdiObject = UniqueHandle<GdiObjectTraits>;

// A device context of a window, released at the end of the scope.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Holds one reference to a COM object.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T** Receive() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

}  // namespace velmo::platform::win32
