#include "platform/os/win32/import_table.h"

#include <cstdint>

namespace velmo::platform::win32 {

bool PatchImports(HMODULE module, std::span<const ImportPatch> patches) {
    if (!module) return false;
    auto* base = reinterpret_cast<uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return true;  // imports nothing
    for (auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk); slot->u1.Function != 0;
             ++slot) {
            for (const ImportPatch& patch : patches) {
                if (!patch.real || reinterpret_cast<FARPROC>(slot->u1.Function) != patch.real) continue;
                DWORD previous = 0;
                if (!::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &previous))
                    return false;
                slot->u1.Function = reinterpret_cast<ULONG_PTR>(patch.replacement);
                ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, previous, &previous);
                break;
            }
        }
    }
    return true;
}

}  // namespace velmo::platform::win32
