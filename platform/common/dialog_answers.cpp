#include "platform/common/dialog_answers.h"

#include <cerrno>
#include <cstdlib>
#include <optional>

namespace velmo::platform {

namespace {

constexpr int kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7, kTryAgain = 10,
              kContinue = 11;

struct ButtonName {
    std::string_view name;
    int id;
};
constexpr ButtonName kButtonNames[] = {{"ok", 1},     {"cancel", 2}, {"abort", 3},    {"retry", 4},
                                       {"ignore", 5}, {"yes", 6},    {"no", 7},       {"close", 8},
                                       {"help", 9},   {"try", 10},   {"continue", 11}};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// A decimal number of at most nine digits (ids and codes are small); none otherwise.
std::optional<uint32_t> Number(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

std::vector<std::string> SplitBars(std::string_view text) {
    std::vector<std::string> parts;
    for (;;) {
        const size_t bar = text.find('|');
        parts.emplace_back(text.substr(0, bar));
        if (bar == std::string_view::npos) return parts;
        text.remove_prefix(bar + 1);
    }
}

DialogAnswer Read(std::string_view line) {
    DialogAnswer answer;
    const size_t space = line.find_first_of(" \t");
    const std::string keyword = Lower(line.substr(0, space));
    const std::string_view rest = space == std::string_view::npos ? std::string_view() : Trim(line.substr(space));
    const auto refuse = [&](std::string why) {
        answer = DialogAnswer{};
        answer.problem = std::move(why);
        return answer;
    };
    if (keyword == "cancel") return rest.empty() ? answer : refuse("cancel takes nothing after it");
    if (keyword == "button") {
        answer.kind = DialogAnswerKind::Button;
        if (const std::optional<uint32_t> id = Number(rest)) {
            answer.button = static_cast<int>(*id);
            return answer;
        }
        for (const ButtonName& b : kButtonNames)
            if (Lower(rest) == b.name) {
                answer.button = b.id;
                return answer;
            }
        return refuse("no such button: " + std::string(rest));
    }
    if (keyword == "error") {
        answer.kind = DialogAnswerKind::Error;
        if (const std::optional<uint32_t> code = Number(rest)) {
            answer.error = *code;
            return answer;
        }
        return refuse("error needs a decimal code");
    }
    if (keyword == "file" || keyword == "folder") {
        if (rest.empty()) return refuse(keyword + " needs a path");
        answer.kind = keyword == "file" ? DialogAnswerKind::File : DialogAnswerKind::Folder;
        answer.path = std::string(rest);
        return answer;
    }
    if (keyword == "files") {
        answer.kind = DialogAnswerKind::Files;
        answer.names = SplitBars(rest);
        for (const std::string& name : answer.names)
            if (name.empty()) return refuse("files needs a folder and names, none of them empty");
        return answer;
    }
    return refuse("not an answer: " + std::string(line));
}

}  // namespace

std::vector<DialogAnswer> ParseDialogAnswers(std::string_view text) {
    std::vector<DialogAnswer> answers;
    int number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') continue;
        DialogAnswer answer = Read(line);
        answer.line = number;
        answers.push_back(std::move(answer));
    }
    return answers;
}

std::vector<int> MessageBoxButtons(uint32_t type) {
    switch (type & 0xF) {
        case 1: return {kOk, kCancel};
        case 2: return {kAbort, kRetry, kIgnore};
        case 3: return {kYes, kNo, kCancel};
        case 4: return {kYes, kNo};
        case 5: return {kRetry, kCancel};
        case 6: return {kCancel, kTryAgain, kContinue};
        default: return {kOk};
    }
}

int DefaultMessageBoxButton(uint32_t type) {
    const std::vector<int> buttons = MessageBoxButtons(type);
    const size_t index = (type >> 8) & 0xF;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int CancelMessageBoxButton(uint32_t type) {
    const std::vector<int> buttons = MessageBoxButtons(type);
    if (buttons.size() == 1) return buttons.front();
    for (const int id : buttons)
        if (id == kCancel) return kCancel;
    return -1;
}

}  // namespace velmo::platform
