#include "host/make_engine.h"

#include <array>

#include "host/classes/application_object.h"
#include "host/classes/data_file_object.h"
#include "host/classes/desktop_toy_object.h"
#include "host/classes/dialogs_object.h"
#include "host/classes/direct_x_object.h"
#include "host/classes/disk_info_object.h"
#include "host/classes/dll_object.h"
#include "host/classes/encryption_object.h"
#include "host/classes/flash_player_object.h"
#include "host/classes/global_functions.h"
#include "host/classes/mci_object.h"
#include "host/classes/shell_object.h"
#include "host/classes/movie_clip_object.h"
#include "host/classes/menu_object.h"
#include "host/classes/window_object.h"
#include "host/framework/host_registry.h"
#include "script/compiler/compiler.h"
#include "script/library/core_classes.h"

namespace velmo::host {

namespace {

script::CompileOutcome Outcome(script::compiler::CompileResult result) {
    return {result.ok, std::move(result.module), std::move(result.diagnostics), std::move(result.messages)};
}

// The host classes, registered in this order after the core library: Dialogs, Shell, MCI,
// FlashPlayer, MovieClip, the global host functions, Window, Menu, Application (with its sub-object
// classes), DirectX, Encryption, DiskInfo, DesktopToy, DataFile, and then Dll. A class (host/classes/) adds its
// row at its place here and nowhere else.
constexpr std::array<HostClassEntry, 15> kHostClasses = {{
    {"Dialogs", &RegisterDialogsClass},
    {"Shell", &RegisterShellClass},
    {"MCI", &RegisterMciClass},
    {"FlashPlayer", &RegisterFlashPlayerClass},
    {"MovieClip", &RegisterMovieClipClass},
    {"global host functions", &RegisterGlobalHostFunctions},
    {"Window", &RegisterWindowClass},
    {"Menu", &RegisterMenuClass},
    {"Application", &RegisterApplicationClass},
    {"DirectX", &RegisterDirectXClass},
    {"Encryption", &RegisterEncryptionClass},
    {"DiskInfo", &RegisterDiskInfoClass},
    {"DesktopToy", &RegisterDesktopToyClass},
    {"DataFile", &RegisterDataFileClass},
    {"Dll", &RegisterDllClass},
}};

// The registration order is part of the engine's contract: later classes may look up earlier
// ones (the Object prototype, the Array class) while they register.
void RegisterClasses(script::Interpreter& interp) {
    using namespace script::library;
    RegisterGlobalFunctions(interp);
    RegisterDateClass(interp);
    RegisterMathClass(interp);
    RegisterArrayClass(interp);
    RegisterBooleanClass(interp);
    RegisterFunctionClass(interp);
    RegisterNumberClass(interp);
    RegisterStringClass(interp);
    RegisterObjectClass(interp);
    RegisterRegExpClass(interp);
    RegisterHostClasses(interp, kHostClasses);
}

}  // namespace

std::unique_ptr<script::Engine> MakeEngine(const script::EngineOptions& options) {
    script::CompileHook compiler;
    compiler.text = [](std::string_view text, std::string_view name, uint32_t flags) {
        return Outcome(script::compiler::CompileString(text, flags, name));
    };
    compiler.file = [](const std::string& path, uint32_t flags) {
        return Outcome(script::compiler::CompileFile(path, flags));
    };
    return script::CreateEngine(options, std::move(compiler), &RegisterClasses);
}

}  // namespace velmo::host
