// The control reads its movie with the system's file functions, from its own module and through
// the URL and shell helper libraries. Those modules' import tables are patched so that their calls
// of the file functions (and their lookups of those functions by name) come here: an opening of the
// movie file gets a real handle to the stored file, whose reads, size and positions are then served
// from the deciphered movie; every other handle goes straight to the system.
//
// Patching compares each import slot with the system function's address, whichever library name
// the slot was imported under, so a slot bound through a forwarder is found too. Patches stay for
// the life of the process (a module may keep a looked-up pointer); without a redirection every hook
// passes straight through.
#include "platform/movie_reads.h"

#include <windows.h>

#include <array>
#include <cwctype>
#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace velmo::platform {

namespace {

using CreateFileWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using CreateFileAFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using ReadFileFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
using CloseHandleFn = BOOL(WINAPI*)(HANDLE);
using GetFileSizeFn = DWORD(WINAPI*)(HANDLE, LPDWORD);
using GetFileSizeExFn = BOOL(WINAPI*)(HANDLE, PLARGE_INTEGER);
using SetFilePointerFn = DWORD(WINAPI*)(HANDLE, LONG, PLONG, DWORD);
using SetFilePointerExFn = BOOL(WINAPI*)(HANDLE, LARGE_INTEGER, PLARGE_INTEGER, DWORD);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);

// Function pointers of other types: through the one type the compiler accepts as "any function".
template <typename To, typename From>
To FunctionCast(From function) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

// The system's own functions, looked up once, before any patch.
struct System {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    CreateFileWFn createFileW = FunctionCast<CreateFileWFn>(Find("CreateFileW"));
    CreateFileAFn createFileA = FunctionCast<CreateFileAFn>(Find("CreateFileA"));
    ReadFileFn readFile = FunctionCast<ReadFileFn>(Find("ReadFile"));
    CloseHandleFn closeHandle = FunctionCast<CloseHandleFn>(Find("CloseHandle"));
    GetFileSizeFn getFileSize = FunctionCast<GetFileSizeFn>(Find("GetFileSize"));
    GetFileSizeExFn getFileSizeEx = FunctionCast<GetFileSizeExFn>(Find("GetFileSizeEx"));
    SetFilePointerFn setFilePointer = FunctionCast<SetFilePointerFn>(Find("SetFilePointer"));
    SetFilePointerExFn setFilePointerEx = FunctionCast<SetFilePointerExFn>(Find("SetFilePointerEx"));
    GetProcAddressFn getProcAddress = FunctionCast<GetProcAddressFn>(Find("GetProcAddress"));

private:
    FARPROC Find(const char* name) const { return ::GetProcAddress(kernel, name); }
};

const System& Real() {
    static const System system;
    return system;
}

struct OpenMovie {
    std::shared_ptr<PlainMovie> movie;
    uint64_t position = 0;
};

struct State {
    std::mutex lock;
    std::wstring moviePath;  // full, for comparison without regard to case
    PlainMovieSource source;
    std::map<HANDLE, OpenMovie> open;
    std::set<HMODULE> patched;
};

State& Current() {
    static State* state = new State;  // never destroyed: hooks may run while the process ends
    return *state;
}

thread_local bool insideSource = false;

std::wstring FullPathOf(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length > full.size()) {
        full.resize(length);
        length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length > full.size()) return path;
    full.resize(length);
    for (wchar_t& c : full) c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
    return full;
}

bool Reads(DWORD access, DWORD disposition) {
    const DWORD writes = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;
    return !(access & writes) && (disposition == OPEN_EXISTING || disposition == OPEN_ALWAYS);
}

// Called with the real handle of an opening for reading: tracks it when it is the movie's.
void TrackIfMovie(HANDLE handle, const std::wstring& path) {
    if (handle == INVALID_HANDLE_VALUE || insideSource) return;
    PlainMovieSource source;
    {
        State& state = Current();
        const std::lock_guard<std::mutex> hold(state.lock);
        if (state.moviePath.empty() || FullPathOf(path) != state.moviePath) return;
        source = state.source;
    }
    std::shared_ptr<PlainMovie> movie;
    insideSource = true;  // the source opens the stored file itself: that opening is the real one
    try {
        if (source) movie = source();
    } catch (...) {
        movie.reset();
    }
    insideSource = false;
    if (!movie) return;  // not stored enciphered: read as it is
    OpenMovie replaced;  // a handle value the system reused; closed outside the lock
    State& state = Current();
    const std::lock_guard<std::mutex> hold(state.lock);
    OpenMovie& slot = state.open[handle];
    replaced = std::move(slot);
    slot = OpenMovie{std::move(movie), 0};
}

// Runs `use` on the tracked movie of `handle`; false when the handle is not one. The lock is not
// held meanwhile: reading the movie reads the stored file, through these same hooks.
template <typename Use>
bool WithMovie(HANDLE handle, Use use) {
    State& state = Current();
    OpenMovie open;
    {
        const std::lock_guard<std::mutex> hold(state.lock);
        const auto it = state.open.find(handle);
        if (it == state.open.end()) return false;
        open = it->second;
    }
    const uint64_t before = open.position;
    use(open);
    if (open.position != before) {
        const std::lock_guard<std::mutex> hold(state.lock);
        const auto it = state.open.find(handle);
        if (it != state.open.end()) it->second.position = open.position;
    }
    return true;
}

HANDLE WINAPI HookCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
    const HANDLE handle = Real().createFileW(name, access, share, security, disposition, flags, templateFile);
    if (name && Reads(access, disposition)) {
        const DWORD error = ::GetLastError();
        TrackIfMovie(handle, name);
        ::SetLastError(error);
    }
    return handle;
}

HANDLE WINAPI HookCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                              DWORD flags, HANDLE templateFile) {
    const HANDLE handle = Real().createFileA(name, access, share, security, disposition, flags, templateFile);
    if (name && Reads(access, disposition)) {
        const DWORD error = ::GetLastError();
        const std::u16string wide = AnsiToUtf16(name);
        TrackIfMovie(handle, std::wstring(wide.begin(), wide.end()));
        ::SetLastError(error);
    }
    return handle;
}

BOOL WINAPI HookReadFile(HANDLE handle, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    DWORD got = 0;
    const bool ours = WithMovie(handle, [&](OpenMovie& open) {
        const uint64_t at = overlapped ? (uint64_t{overlapped->OffsetHigh} << 32 | overlapped->Offset) : open.position;
        got = static_cast<DWORD>(open.movie->ReadAt(at, static_cast<uint8_t*>(buffer), size));
        if (!overlapped) open.position = at + got;
    });
    if (!ours) return Real().readFile(handle, buffer, size, read, overlapped);
    if (read) *read = got;
    if (overlapped) {
        // Served at once: the request is complete before the call returns.
        overlapped->Internal = 0;
        overlapped->InternalHigh = got;
        if (overlapped->hEvent) ::SetEvent(overlapped->hEvent);
    }
    return TRUE;
}

BOOL WINAPI HookCloseHandle(HANDLE handle) {
    // The movie goes after the lock is released: closing it closes the stored file, through here.
    OpenMovie closing;
    {
        State& state = Current();
        const std::lock_guard<std::mutex> hold(state.lock);
        const auto it = state.open.find(handle);
        if (it != state.open.end()) {
            closing = std::move(it->second);
            state.open.erase(it);
        }
    }
    closing.movie.reset();
    return Real().closeHandle(handle);
}

DWORD WINAPI HookGetFileSize(HANDLE handle, LPDWORD high) {
    uint64_t size = 0;
    if (!WithMovie(handle, [&](OpenMovie& open) { size = open.movie->Size(); }))
        return Real().getFileSize(handle, high);
    if (high) *high = static_cast<DWORD>(size >> 32);
    ::SetLastError(NO_ERROR);  // a low part of 0xFFFFFFFF is then not taken for a failure
    return static_cast<DWORD>(size);
}

BOOL WINAPI HookGetFileSizeEx(HANDLE handle, PLARGE_INTEGER size) {
    uint64_t plain = 0;
    if (!WithMovie(handle, [&](OpenMovie& open) { plain = open.movie->Size(); }))
        return Real().getFileSizeEx(handle, size);
    if (size) size->QuadPart = static_cast<LONGLONG>(plain);
    return TRUE;
}

// Moves the position of a tracked movie; false (with the system's error) for a position before the
// start. `ours` tells whether the handle was one.
bool MoveMovie(HANDLE handle, int64_t distance, DWORD method, uint64_t& position, bool& ours) {
    bool ok = false;
    ours = WithMovie(handle, [&](OpenMovie& open) {
        const int64_t base = method == FILE_BEGIN     ? 0
                             : method == FILE_CURRENT ? static_cast<int64_t>(open.position)
                                                      : static_cast<int64_t>(open.movie->Size());
        if (method > FILE_END || (distance < 0 && -distance > base)) return;
        open.position = static_cast<uint64_t>(base + distance);
        position = open.position;
        ok = true;
    });
    if (ours && !ok) ::SetLastError(ERROR_NEGATIVE_SEEK);
    return ok;
}

DWORD WINAPI HookSetFilePointer(HANDLE handle, LONG low, PLONG high, DWORD method) {
    const int64_t distance = high ? static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32 |
                                                         static_cast<uint32_t>(low))
                                  : low;
    uint64_t position = 0;
    bool ours = false;
    const bool ok = MoveMovie(handle, distance, method, position, ours);
    if (!ours) return Real().setFilePointer(handle, low, high, method);
    if (!ok) return INVALID_SET_FILE_POINTER;
    if (high) *high = static_cast<LONG>(position >> 32);
    ::SetLastError(NO_ERROR);
    return static_cast<DWORD>(position);
}

BOOL WINAPI HookSetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method) {
    uint64_t position = 0;
    bool ours = false;
    const bool ok = MoveMovie(handle, distance.QuadPart, method, position, ours);
    if (!ours) return Real().setFilePointerEx(handle, distance, newPosition, method);
    if (ok && newPosition) newPosition->QuadPart = static_cast<LONGLONG>(position);
    return ok ? TRUE : FALSE;
}

struct Hook {
    const char* name;
    FARPROC replacement;
    FARPROC real;
};

std::array<Hook, 9> Hooks();

FARPROC WINAPI HookGetProcAddress(HMODULE module, LPCSTR name) {
    const FARPROC found = Real().getProcAddress(module, name);
    // An ordinal has no name to compare; only the system's own functions are swapped.
    if (!found || !name || HIWORD(reinterpret_cast<ULONG_PTR>(name)) == 0) return found;
    for (const Hook& hook : Hooks())
        if (found == hook.real && std::string_view(name) == hook.name) return hook.replacement;
    return found;
}

std::array<Hook, 9> Hooks() {
    const System& r = Real();
    return {
        {{"CreateFileW", FunctionCast<FARPROC>(&HookCreateFileW), FunctionCast<FARPROC>(r.createFileW)},
         {"CreateFileA", FunctionCast<FARPROC>(&HookCreateFileA), FunctionCast<FARPROC>(r.createFileA)},
         {"ReadFile", FunctionCast<FARPROC>(&HookReadFile), FunctionCast<FARPROC>(r.readFile)},
         {"CloseHandle", FunctionCast<FARPROC>(&HookCloseHandle), FunctionCast<FARPROC>(r.closeHandle)},
         {"GetFileSize", FunctionCast<FARPROC>(&HookGetFileSize), FunctionCast<FARPROC>(r.getFileSize)},
         {"GetFileSizeEx", FunctionCast<FARPROC>(&HookGetFileSizeEx), FunctionCast<FARPROC>(r.getFileSizeEx)},
         {"SetFilePointer", FunctionCast<FARPROC>(&HookSetFilePointer), FunctionCast<FARPROC>(r.setFilePointer)},
         {"SetFilePointerEx", FunctionCast<FARPROC>(&HookSetFilePointerEx), FunctionCast<FARPROC>(r.setFilePointerEx)},
         {"GetProcAddress", FunctionCast<FARPROC>(&HookGetProcAddress), FunctionCast<FARPROC>(r.getProcAddress)}}};
}

// Points every import slot of `module` that holds one of the system functions at its hook.
bool PatchImports(HMODULE module) {
    auto* base = reinterpret_cast<uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return true;  // imports nothing
    const std::array<Hook, 9> hooks = Hooks();
    for (auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk); slot->u1.Function != 0;
             ++slot) {
            for (const Hook& hook : hooks) {
                if (reinterpret_cast<FARPROC>(slot->u1.Function) != hook.real || !hook.real) continue;
                DWORD previous = 0;
                if (!::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &previous))
                    return false;
                slot->u1.Function = reinterpret_cast<ULONG_PTR>(hook.replacement);
                ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, previous, &previous);
                break;
            }
        }
    }
    return true;
}

}  // namespace

bool RedirectMovieReads(const std::string& controlFile, const std::string& moviePath, PlainMovieSource source) {
    (void)Real();  // the system's addresses, before anything is patched
    State& state = Current();
    std::vector<HMODULE> modules = {::GetModuleHandleW(nullptr), ::GetModuleHandleW(L"urlmon.dll"),
                                    ::GetModuleHandleW(L"shlwapi.dll")};
    if (!controlFile.empty()) {
        const std::u16string wide = AnsiToUtf16(controlFile);
        modules.push_back(::GetModuleHandleW(std::wstring(wide.begin(), wide.end()).c_str()));
    }
    const std::lock_guard<std::mutex> hold(state.lock);
    bool ok = true;
    if (!moviePath.empty()) {
        for (const HMODULE module : modules) {
            if (!module || state.patched.count(module)) continue;
            if (PatchImports(module)) state.patched.insert(module);
            else if (module == modules[0]) ok = false;
        }
    }
    const std::u16string wide = AnsiToUtf16(moviePath);
    state.moviePath = moviePath.empty() ? std::wstring() : FullPathOf(std::wstring(wide.begin(), wide.end()));
    state.source = moviePath.empty() ? nullptr : std::move(source);
    return ok;
}

}  // namespace velmo::platform
