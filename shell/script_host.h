#pragma once
// The script engine as the shell sees it: load a compiled module image and run it, destroy the
// engine. The engine itself is created on first use by whoever implements this.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace velmo::shell {

struct ScriptRun {
    bool ran = false;                             // the module was loaded and run
    std::optional<bool> booleanCompletion;        // the completion value, when it was a Boolean
    std::optional<std::string> stringCompletion;  // the completion value in 8-bit text, when it was a string
    std::string note;                             // why it did not run, for the verbose log
};

class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual ScriptRun RunModule(const std::string& name, std::span<const uint8_t> module) = 0;
    virtual void DestroyEngine() = 0;
};

}  // namespace velmo::shell
