// Cabinet expansion through the system's own expander (FDI, cabinet.dll): it ships with every
// Windows and with wine, so the Windows build carries no decompressor of its own. FDI reads and
// writes through the callbacks below; they use the ANSI file calls, as FDI hands over ANSI names.
#include "platform/cabinet.h"

#include <windows.h>
// fdi.h needs the declarations of windows.h.
#include <fcntl.h>
#include <fdi.h>

#include <memory>
#include <string>

#include "platform/path.h"

namespace velmo::platform {

namespace {

constexpr uint32_t kKeptAttributes = kCabinetReadOnly | kCabinetHidden | kCabinetSystem | kCabinetArchive;

// What one expansion carries between FDI's notifications.
struct Expansion {
    const CabinetDestination* destinationFor = nullptr;
    std::string current;     // the destination being written, "" between files
    std::string lastOpened;  // the last destination opened: suspect when the expansion fails after it
    INT_PTR open = 0;        // its handle while open
    bool failed = false;
};

// The expansion under way: FDI may close a destination itself when it gives up, and the close
// callback has no other way to tell it. One thread expands at a time.
Expansion* active = nullptr;

HANDLE AsHandle(INT_PTR hf) { return reinterpret_cast<HANDLE>(hf); }

FNALLOC(CabAlloc) { return ::HeapAlloc(::GetProcessHeap(), 0, cb); }
FNFREE(CabFree) { ::HeapFree(::GetProcessHeap(), 0, pv); }

// Only the cabinet itself is opened through here, for reading; destinations are opened in the
// notification, where their names are known.
FNOPEN(CabOpen) {
    (void)pmode;
    const bool write = (oflag & (_O_WRONLY | _O_RDWR)) != 0;
    const HANDLE h =
        ::CreateFileA(pszFile, write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                      (oflag & _O_CREAT) ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(h);
}

FNREAD(CabRead) {
    DWORD n = 0;
    return ::ReadFile(AsHandle(hf), pv, cb, &n, nullptr) ? n : static_cast<UINT>(-1);
}

FNWRITE(CabWrite) {
    DWORD n = 0;
    return ::WriteFile(AsHandle(hf), pv, cb, &n, nullptr) ? n : static_cast<UINT>(-1);
}

FNCLOSE(CabClose) {
    if (active && active->open == hf) active->open = 0;
    return ::CloseHandle(AsHandle(hf)) ? 0 : -1;
}

FNSEEK(CabSeek) {
    const DWORD method = seektype == SEEK_CUR ? FILE_CURRENT : seektype == SEEK_END ? FILE_END : FILE_BEGIN;
    const DWORD at = ::SetFilePointer(AsHandle(hf), dist, nullptr, method);
    return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<LONG>(at);
}

CabinetEntry Describe(const FDINOTIFICATION& n) {
    CabinetEntry e;
    e.name = n.psz1 ? n.psz1 : "";
    e.sizeBytes = static_cast<uint64_t>(n.cb);
    e.year = 1980 + (n.date >> 9);
    e.month = (n.date >> 5) & 0x0F;
    e.day = n.date & 0x1F;
    e.hour = n.time >> 11;
    e.minute = (n.time >> 5) & 0x3F;
    e.second = (n.time & 0x1F) * 2;
    e.attributes = n.attribs & kKeptAttributes;
    return e;
}

// The stored date and time are local time; the file system keeps UTC.
bool StampAndClose(Expansion& x, const FDINOTIFICATION& n) {
    const HANDLE h = AsHandle(n.hf);
    FILETIME local{}, utc{};
    bool ok = ::DosDateTimeToFileTime(n.date, n.time, &local) && ::LocalFileTimeToFileTime(&local, &utc) &&
              ::SetFileTime(h, &utc, nullptr, &utc);
    ok = ::CloseHandle(h) && ok;
    x.open = 0;
    const DWORD attributes = n.attribs & kKeptAttributes;
    ok = ::SetFileAttributesA(x.current.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) && ok;
    x.current.clear();
    return ok;
}

FNFDINOTIFY(Notify) {
    Expansion& x = *static_cast<Expansion*>(pfdin->pv);
    switch (fdint) {
        case fdintCOPY_FILE: {
            x.current = (*x.destinationFor)(Describe(*pfdin));
            if (x.current.empty()) return 0;  // skipped
            // An earlier file of the cabinet may have left this one read-only.
            ::SetFileAttributesA(x.current.c_str(), FILE_ATTRIBUTE_NORMAL);
            const HANDLE h = ::CreateFileA(x.current.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                x.current.clear();
                x.failed = true;
                return -1;
            }
            x.open = reinterpret_cast<INT_PTR>(h);
            x.lastOpened = x.current;
            return x.open;
        }
        case fdintCLOSE_FILE_INFO:
            if (!StampAndClose(x, *pfdin)) {
                x.failed = true;
                return FALSE;
            }
            return TRUE;
        case fdintNEXT_CABINET: return -1;  // a set spread over several cabinets is not followed
        default: return 0;
    }
}

struct FdiDeleter {
    void operator()(void* fdi) const { ::FDIDestroy(static_cast<HFDI>(fdi)); }
};

}  // namespace

bool ExpandCabinet(const std::string& cabinetPath, const CabinetDestination& destinationFor) {
    ERF error{};
    const HFDI fdi = ::FDICreate(CabAlloc, CabFree, CabOpen, CabRead, CabWrite, CabClose, CabSeek, cpuUNKNOWN, &error);
    if (!fdi) return false;
    const std::unique_ptr<void, FdiDeleter> owner(fdi);
    std::string name(FileNamePart(cabinetPath));
    std::string folder(cabinetPath.substr(0, cabinetPath.size() - name.size()));
    Expansion x;
    x.destinationFor = &destinationFor;
    active = &x;
    const bool copied = ::FDICopy(fdi, name.data(), folder.data(), 0, Notify, nullptr, &x);
    active = nullptr;
    if (copied && !x.failed) return true;
    if (x.open) ::CloseHandle(AsHandle(x.open));
    // The system's expander may report the last file closed before it notices the damage.
    if (!x.lastOpened.empty()) {
        ::SetFileAttributesA(x.lastOpened.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(x.lastOpened.c_str());
    }
    return false;
}

}  // namespace velmo::platform
