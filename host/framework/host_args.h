#pragma once
// The argument vector as host methods read it, and the text border with the operating system.
// Every reader checks presence and tag and answers "no" instead of converting or raising: a host
// method given the wrong arguments yields its failure result and changes nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "script/runtime/value.h"

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

class HostArgs {
public:
    // `args` is an argument vector: args[0] an Integer count n, args[1..n] the arguments.
    explicit HostArgs(script::Value* args) : args_(args) {}

    // A missing or malformed count reads as no arguments at all.
    uint32_t Count() const;
    // Arguments are numbered from 1, as in the vector; `index` is present when it is at most n.
    bool Has(uint32_t index) const { return index >= 1 && index <= Count(); }
    // The argument cell, or null when absent.
    const script::Value* At(uint32_t index) const { return Has(index) ? &args_[index] : nullptr; }
    bool IsTag(uint32_t index, script::Tag tag) const { return Has(index) && args_[index].Is(tag); }

    // Present and of exactly that tag, or nullopt: no conversion happens, so a Number where an
    // Integer is required, or an Integer where a String is required, is a mismatch.
    std::optional<int64_t> Integer(uint32_t index) const;
    std::optional<bool> Boolean(uint32_t index) const;
    // A String argument converted to the system's ANSI code page (a fresh buffer of the caller's).
    std::optional<std::string> Ansi(uint32_t index) const;
    std::optional<std::u16string_view> Text16Temp(uint32_t index) const;

    // `N` Integer arguments from `first` on, all required.
    template <size_t N>
    std::optional<std::array<int64_t, N>> RequiredIntegers(uint32_t first = 1) const {
        std::array<int64_t, N> values{};
        for (size_t i = 0; i < N; ++i) {
            const std::optional<int64_t> v = Integer(first + static_cast<uint32_t>(i));
            if (!v) return std::nullopt;
            values[i] = *v;
        }
        return values;
    }

private:
    script::Value* args_;  // not owned
};

// A String for the script made from ANSI text: a new owned string, empty for empty or absent text.
script::Value AnsiStringValue(script::Interpreter& interp, std::string_view ansi);
script::Value AnsiStringValue(script::Interpreter& interp, const char* ansiOrNull);

}  // namespace velmo::host
