#include "shell/engine_script_host.h"

namespace velmo::shell {

ScriptRun EngineScriptHost::RunModule(const std::string& name, std::span<const uint8_t> module) {
    // Inside one dispatch, as the command itself would be: a close asked for
    // meanwhile waits.
    const CommandChannel::NestingScope scope(channel_);
    return channel_.RunModuleBytes(name, module);
}

void EngineScriptHost::DestroyEngine() { channel_.DispatchMovieCommand("Velmo_Quit", ""); }

}  // namespace velmo::shell
