#include "host/classes/dialog_text.h"

namespace velmo::host {

std::string SystemFilter(std::string_view scriptFilter) {
    if (scriptFilter.empty()) return {};
    std::string filter(scriptFilter);
    for (char& c : filter)
        if (c == '|') c = '\0';
    if (filter.back() != '\0') filter += '\0';
    return filter;
}

std::vector<std::string> NameListParts(std::string_view names) {
    std::vector<std::string> parts;
    while (!names.empty()) {
        const size_t end = names.find('\0');
        if (end != 0) parts.emplace_back(names.substr(0, end));
        if (end == std::string_view::npos) break;
        names.remove_prefix(end + 1);
    }
    return parts;
}

}  // namespace velmo::host
