#include "platform/common/sheet_values.h"

#include <cstdint>
#include <cstdio>

#include "platform/environment.h"
#include "platform/files.h"

namespace velmo::platform {

SheetControl* SheetDescription::Find(int id) {
    for (SheetPage& page : pages)
        for (SheetControl& control : page.controls)
            if (id != 0 && control.id == id) return &control;
    return nullptr;
}

const SheetControl* SheetDescription::Find(int id) const { return const_cast<SheetDescription*>(this)->Find(id); }

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Decimal digits only (or "0x" and hexadecimal digits where `hex` allows), no sign, at most
// 0xFFFFFFFF: nothing a control's value can hold is larger.
std::optional<uint32_t> ParseNumber(std::string_view text, bool hex) {
    int base = 10;
    if (hex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t n = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        n = n * base + digit;
        if (n > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<uint32_t>(n);
}

const SheetControl* SpinOf(const SheetDescription& sheet, int editId) {
    for (const SheetPage& page : sheet.pages)
        for (const SheetControl& control : page.controls)
            if (control.kind == SheetControlKind::Spin && control.buddy == editId) return &control;
    return nullptr;
}

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

}  // namespace

SheetValuesParse ParseSheetValues(std::string_view text) {
    SheetValues result;
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view word = TrimLineEnd(line);
        if (word.empty() || word[0] == '#') continue;
        if (EqualNoCase(word, "OK") || EqualNoCase(word, "Cancel")) {
            result.ok = EqualNoCase(word, "OK");
            return {std::move(result), {}};
        }
        // The value keeps its blanks: a caption may end in one.
        const size_t equals = line.find('=');
        const std::optional<uint32_t> id =
            equals == std::string_view::npos ? std::nullopt : ParseNumber(line.substr(0, equals), false);
        if (!id || *id == 0 || *id > 0xFFFF)
            return {std::nullopt, "line " + std::to_string(lineNumber) + ": not ID=VALUE, OK or Cancel"};
        result.values.emplace_back(static_cast<int>(*id), std::string(line.substr(equals + 1)));
    }
    return {std::move(result), {}};  // no closing line: Cancel
}

std::optional<std::string> CheckSheetValue(const SheetDescription& sheet, const SheetControl& control,
                                           const std::string& value) {
    switch (control.kind) {
        case SheetControlKind::GroupBox:
        case SheetControlKind::Label: return std::nullopt;
        case SheetControlKind::Radio:
        case SheetControlKind::Check:
            if (value == "0" || value == "1") return value;
            return std::nullopt;
        case SheetControlKind::Edit:
        case SheetControlKind::EditableList:
            // No edit holds a NUL: the text would end there.
            if (control.maxLength && value.size() > control.maxLength) return std::nullopt;
            if (value.find('\0') != std::string::npos) return std::nullopt;
            return value;
        case SheetControlKind::NumberEdit: {
            const std::optional<uint32_t> n = ParseNumber(value, false);
            if (!n) return std::nullopt;
            if (const SheetControl* spin = SpinOf(sheet, control.id))
                if (*n < static_cast<uint32_t>(spin->minimum) || *n > static_cast<uint32_t>(spin->maximum))
                    return std::nullopt;
            return std::to_string(*n);
        }
        case SheetControlKind::Spin: {
            const SheetControl* buddy = sheet.Find(control.buddy);
            if (!buddy || buddy->kind != SheetControlKind::NumberEdit) return std::nullopt;
            return CheckSheetValue(sheet, *buddy, value);
        }
        case SheetControlKind::List: {
            const std::optional<uint32_t> n = ParseNumber(value, false);
            if (!n || *n >= control.items.size()) return std::nullopt;
            return std::to_string(*n);
        }
        case SheetControlKind::HotKey: {
            const std::optional<uint32_t> n = ParseNumber(value, true);
            if (!n || *n > 0xFFFF) return std::nullopt;
            return std::to_string(*n);
        }
        case SheetControlKind::Colour: {
            if (value.size() != 7 || value[0] != '#') return std::nullopt;
            const std::optional<uint32_t> n = ParseNumber("0x" + value.substr(1), true);
            if (!n) return std::nullopt;
            char text[8];
            std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(*n));
            return std::string(text);
        }
    }
    return std::nullopt;
}

SheetValuesLoad LoadSheetValuesFromEnvironment() {
    SheetValuesLoad load;
    const std::optional<std::string> path = GetEnvironment(kSheetValuesVariable);
    if (!path || path->empty()) {
        load.notes.push_back(std::string("no values file (") + kSheetValuesVariable + "): Cancel");
        return load;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(*path, bytes)) {
        load.notes.push_back("values file \"" + *path + "\" cannot be read: Cancel");
        return load;
    }
    SheetValuesParse parse =
        ParseSheetValues(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!parse.values) {
        load.notes.push_back("values file \"" + *path + "\" refused, " + parse.error + ": Cancel");
        return load;
    }
    load.notes.push_back("values from \"" + *path + "\"");
    load.values = std::move(parse.values);
    return load;
}

bool SetSheetValue(SheetDescription& sheet, int id, const std::string& value) {
    SheetControl* control = sheet.Find(id);
    if (!control) return false;
    const std::optional<std::string> checked = CheckSheetValue(sheet, *control, value);
    if (!checked) return false;
    if (control->kind == SheetControlKind::Spin) return SetSheetValue(sheet, control->buddy, *checked);
    if (control->kind == SheetControlKind::Radio && *checked == "1" && control->group != 0)
        for (SheetPage& page : sheet.pages)
            for (SheetControl& other : page.controls)
                if (other.kind == SheetControlKind::Radio && other.group == control->group) other.value = "0";
    control->value = *checked;
    return true;
}

SheetResult AnswerSheetFromEnvironment(SheetDescription& sheet) {
    SheetValuesLoad load = LoadSheetValuesFromEnvironment();
    SheetResult result;
    result.notes = std::move(load.notes);
    if (!load.values) return result;
    for (const auto& [id, value] : load.values->values) {
        if (!sheet.Find(id)) result.notes.push_back("no control " + std::to_string(id));
        else if (!SetSheetValue(sheet, id, value))
            result.notes.push_back("control " + std::to_string(id) + " refuses \"" + value + "\"");
    }
    result.ok = load.values->ok;
    return result;
}

}  // namespace velmo::platform
