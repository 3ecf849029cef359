// A test tool, built with the tests only (it lives here because only platform/ may speak Win32):
// reads back what the system says about another process's top-level window, for the wine tests of
// the runtime's real window (tests/tools/frame_windows_test.sh): `window_probe CAPTION [X,Y ...] [@X,Y ...]` prints its styles,
// rectangles, state, region (and whether each window-relative point X,Y lies inside it), whether
// its tray icon (id 128) exists, the class and client size of its movie window (child id 0x459),
// and the colour on the screen at each screen point @X,Y. With the
// caption "-" it only reads the screen. `!ID` posts the system command ID to the window, as its
// system menu does. Exit status 1 when no window has that caption.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_probe CAPTION [X,Y ...]\n");
        return 64;
    }
    for (int i = 2; i < argc; ++i) {
        int x = 0, y = 0;
        if (argv[i][0] != '@' || std::sscanf(argv[i] + 1, "%d,%d", &x, &y) != 2) continue;
        const HDC screen = ::GetDC(nullptr);
        const COLORREF c = ::GetPixel(screen, x, y);
        ::ReleaseDC(nullptr, screen);
        std::printf("pixel %d,%d %02X%02X%02X\n", x, y, GetRValue(c), GetGValue(c), GetBValue(c));
    }
    if (std::strcmp(argv[1], "-") == 0) return 0;
    const HWND w = ::FindWindowA(nullptr, argv[1]);
    if (!w) {
        std::printf("no window\n");
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        unsigned id = 0;
        if (argv[i][0] == '!' && std::sscanf(argv[i] + 1, "%i", reinterpret_cast<int*>(&id)) == 1)
            ::PostMessageA(w, WM_SYSCOMMAND, id, 0);
    }
    RECT r, c;
    ::GetWindowRect(w, &r);
    ::GetClientRect(w, &c);
    std::printf("style 0x%lX\n", static_cast<unsigned long>(::GetWindowLongA(w, GWL_STYLE)));
    std::printf("extended 0x%lX\n", static_cast<unsigned long>(::GetWindowLongA(w, GWL_EXSTYLE)));
    std::printf("window %ld,%ld %ldx%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::printf("client %ldx%ld\n", c.right, c.bottom);
    POINT origin{0, 0};
    ::ClientToScreen(w, &origin);
    std::printf("origin %ld,%ld\n", origin.x, origin.y);
    if (const HWND movie = ::GetDlgItem(w, 0x459)) {
        char name[64] = {};
        ::GetClassNameA(movie, name, sizeof name);
        RECT m;
        ::GetClientRect(movie, &m);
        std::printf("movie %s %ldx%ld\n", name, m.right, m.bottom);
    } else {
        std::printf("movie none\n");
    }
    std::printf("topmost %d\n", (::GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0);
    std::printf("state %s\n", !::IsWindowVisible(w) ? "hidden"
                              : ::IsIconic(w)       ? "minimized"
                              : ::IsZoomed(w)       ? "maximized"
                                                    : "visible");
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    const bool hasRegion = ::GetWindowRgn(w, region) != ERROR;
    std::printf("region %s\n", hasRegion ? "set" : "none");
    for (int i = 2; i < argc; ++i) {
        int x = 0, y = 0;
        if (argv[i][0] == '@' || argv[i][0] == '!' || std::sscanf(argv[i], "%d,%d", &x, &y) != 2) continue;
        const bool inside = hasRegion ? ::PtInRegion(region, x, y) != FALSE : true;
        std::printf("point %d,%d %s\n", x, y, inside ? "inside" : "outside");
    }
    ::DeleteObject(region);
    // Modifying nothing succeeds exactly when the icon exists.
    NOTIFYICONDATAA tray;
    std::memset(&tray, 0, sizeof tray);
    tray.cbSize = NOTIFYICONDATAA_V2_SIZE;
    tray.hWnd = w;
    tray.uID = 128;
    std::printf("tray %d\n", ::Shell_NotifyIconA(NIM_MODIFY, &tray) ? 1 : 0);
    return 0;
}
