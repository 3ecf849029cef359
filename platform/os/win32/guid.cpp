// Win32 GUIDs: CoCreateGuid, written in the registry form by StringFromGUID2.
#include "platform/guid.h"

#include <objbase.h>
#include <windows.h>

#include <iterator>

namespace velmo::platform {

std::u16string NewGuidText() {
    GUID guid{};
    if (FAILED(::CoCreateGuid(&guid))) return {};
    wchar_t text[40] = {};
    const int written = ::StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
    if (written <= 1) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(written - 1));
}

}  // namespace velmo::platform
