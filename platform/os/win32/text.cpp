// Win32 8-bit text: the system's ANSI code page, converted by the system.
#include "platform/text.h"

#include <windows.h>

#include <climits>

namespace velmo::platform {

std::u16string AnsiToUtf16(std::string_view ansi) {
    if (ansi.empty() || ansi.size() > INT_MAX) return {};
    const int length = static_cast<int>(ansi.size());
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::u16string out(static_cast<size_t>(needed), u'\0');
    const int written =
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, reinterpret_cast<wchar_t*>(out.data()), needed);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text16) {
    if (text16.empty() || text16.size() > INT_MAX) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text16.data());
    const int length = static_cast<int>(text16.size());
    const int needed = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    const int written = ::WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), needed, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return out;
}

// lstrcmpiA stops at the first NUL; comparing the wide forms with CompareStringW keeps embedded
// NULs significant while folding case as lstrcmpiA does (user locale, linguistic rules).
bool AnsiEqualNoCase(std::string_view a, std::string_view b) {
    const std::u16string wa = AnsiToUtf16(a), wb = AnsiToUtf16(b);
    if (wa.size() > INT_MAX || wb.size() > INT_MAX) return false;
    if (wa.empty() || wb.empty()) return wa.empty() && wb.empty();
    return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, reinterpret_cast<const wchar_t*>(wa.data()),
                            static_cast<int>(wa.size()), reinterpret_cast<const wchar_t*>(wb.data()),
                            static_cast<int>(wb.size())) == CSTR_EQUAL;
}

}  // namespace velmo::platform
