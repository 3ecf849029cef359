#include "tools/command_line.h"

#include <cstdio>

namespace velmo::tools {

namespace {

const OptionSpec* FindOption(const CommandSpec& spec, std::string_view name) {
    for (const OptionSpec& option : spec.options)
        if (name == option.name) return &option;
    return nullptr;
}

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// One option argument at args[i] (advancing i past a separate value); an error text on failure.
std::optional<std::string> TakeOption(const CommandSpec& spec, const Args& args, size_t& i, ParsedCommandLine& out) {
    const std::string& arg = args[i];
    std::string name = arg, value;
    bool hasInlineValue = false;
    if (arg.starts_with("--")) {
        if (const size_t equals = arg.find('='); equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasInlineValue = true;
        }
    } else if (arg.size() > 2) {  // -oFILE
        name = arg.substr(0, 2);
        value = arg.substr(2);
        hasInlineValue = true;
    }
    const OptionSpec* option = FindOption(spec, name);
    if (!option) return "unknown option '" + (hasInlineValue && arg.starts_with("--") ? name : arg) + "'";
    if (!option->value && hasInlineValue) return "option '" + name + "' takes no value";
    if (option->value && !hasInlineValue) {
        if (i + 1 >= args.size()) return "option '" + name + "' needs a value (" + option->value + ")";
        value = args[++i];
    }
    out.options.emplace_back(name, value);
    return std::nullopt;
}

}  // namespace

bool ParsedCommandLine::Has(std::string_view name) const {
    for (const auto& [n, v] : options)
        if (n == name) return true;
    return false;
}

std::string ParsedCommandLine::Value(std::string_view name) const {
    std::string value;
    for (const auto& [n, v] : options)
        if (n == name) value = v;
    return value;
}

ParseOutcome ParseCommandLine(const CommandSpec& spec, const Args& args) {
    ParsedCommandLine line;
    bool optionsEnded = false;
    std::optional<size_t> dashes;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            dashes = line.operands.size();
            continue;
        }
        if (optionsEnded || !IsOption(arg)) {
            line.operands.push_back(arg);
            if (spec.firstOperandEndsOptions) optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(CommandUsage(spec, true).c_str(), stdout);
            return {std::nullopt, 0};
        }
        if (std::optional<std::string> error = TakeOption(spec, args, i, line))
            return {std::nullopt, UsageError(spec, *error)};
    }
    line.operandsBeforeDashes = dashes.value_or(line.operands.size());
    return {std::move(line), 0};
}

std::string CommandUsage(const CommandSpec& spec, bool withOptions) {
    std::string text = std::string("usage: velmo ") + spec.name;
    if (!spec.options.empty()) text += " [OPTIONS]";
    if (*spec.operands) text += std::string(" ") + spec.operands;
    text += "\n";
    if (!withOptions) return text;
    text += std::string(spec.summary) + "\n";
    if (spec.options.empty()) return text;
    text += "\noptions:\n";
    for (const OptionSpec& option : spec.options) {
        std::string left = std::string("  ") + option.name + (option.value ? std::string(" ") + option.value : "");
        if (left.size() < 22) left.resize(22, ' ');
        else left += "\n" + std::string(22, ' ');
        text += left + option.help + "\n";
    }
    text += "  -h, --help            show this text\n";
    return text;
}

int UsageError(const CommandSpec& spec, const std::string& text) {
    std::fprintf(stderr, "velmo: %s: %s\n%s", spec.name, text.c_str(), CommandUsage(spec, false).c_str());
    return kExitUsage;
}

}  // namespace velmo::tools
