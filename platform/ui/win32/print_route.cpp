#include "platform/ui/win32/print_route.h"

#include <commdlg.h>

#include <array>
#include <atomic>

#include "platform/movie_control.h"
#include "platform/os/win32/import_table.h"

namespace velmo::platform {

namespace {

std::atomic<bool> printDialogShown{true};

using PrintDialogFn = BOOL(WINAPI*)(LPPRINTDLGA);

PrintDialogFn RealPrintDialog() {
    static const PrintDialogFn real = [] {
        const HMODULE library = ::LoadLibraryW(L"comdlg32.dll");  // kept: the control imports it anyway
        return library ? win32::FunctionCast<PrintDialogFn>(::GetProcAddress(library, "PrintDlgA")) : nullptr;
    }();
    return real;
}

BOOL WINAPI RoutedPrintDialog(LPPRINTDLGA request) {
    if (request && !printDialogShown.load()) request->Flags |= PD_RETURNDEFAULT;
    const PrintDialogFn real = RealPrintDialog();
    return real ? real(request) : FALSE;
}

}  // namespace

void SetPrintDialogShown(bool shown) { printDialogShown.store(shown); }
bool PrintDialogShown() { return printDialogShown.load(); }

namespace win32 {

bool RoutePrintDialog(HMODULE module) {
    const PrintDialogFn real = RealPrintDialog();
    if (!real) return false;
    const std::array<ImportPatch, 1> patch = {
        {{FunctionCast<FARPROC>(real), FunctionCast<FARPROC>(&RoutedPrintDialog)}}};
    return PatchImports(module, patch);
}

}  // namespace win32

}  // namespace velmo::platform
