#pragma once
// The script host of the running application: start-up, installer hooks and
// idle work run their modules through the command channel, so they share its
// one engine and its module cache.

#include "shell/command_channel.h"
#include "shell/script_host.h"

namespace velmo::shell {

class EngineScriptHost final : public ScriptHost {
public:
    explicit EngineScriptHost(CommandChannel& channel) : channel_(channel) {}

    // Runs as "Velmo_Run" would, with `module` as the bytes of `name` unless it
    // is cached already.
    ScriptRun RunModule(const std::string& name, std::span<const uint8_t> module) override;
    // "Velmo_Quit".
    void DestroyEngine() override;

private:
    CommandChannel& channel_;  // not owned
};

}  // namespace velmo::shell
