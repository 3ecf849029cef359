#pragma once
// Libraries of native code loaded at run time, for the functions scripts import by name: the
// system's loader finds the file (the search path of the system: LoadLibraryA's on Windows,
// dlopen's elsewhere) and binds exports by name. A library stays loaded while a NativeLibrary holds
// it; the loader counts opens, so holding the same file twice is fine.

#include <string>
#include <utility>

namespace velmo::platform {

// The loader's handle, or null with the system's reason in `errorText`.
void* OpenNativeLibrary(const std::string& ansiName, std::string& errorText);
// The address of the export `name`, or null when the library has none.
void* FindNativeExport(void* library, const std::string& name);
void CloseNativeLibrary(void* library);

// Owns one open of a library.
class NativeLibrary {
public:
    NativeLibrary() = default;
    explicit NativeLibrary(void* handle) : handle_(handle) {}
    NativeLibrary(NativeLibrary&& o) noexcept : handle_(std::exchange(o.handle_, nullptr)) {}
    NativeLibrary& operator=(NativeLibrary&& o) noexcept {
        if (this != &o) {
            Reset();
            handle_ = std::exchange(o.handle_, nullptr);
        }
        return *this;
    }
    NativeLibrary(const NativeLibrary&) = delete;
    NativeLibrary& operator=(const NativeLibrary&) = delete;
    ~NativeLibrary() { Reset(); }

    bool IsOpen() const { return handle_ != nullptr; }
    void* Find(const std::string& name) const { return handle_ ? FindNativeExport(handle_, name) : nullptr; }
    void Reset() {
        if (handle_) CloseNativeLibrary(std::exchange(handle_, nullptr));
    }

private:
    void* handle_ = nullptr;  // owned
};

}  // namespace velmo::platform
