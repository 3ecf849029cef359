#pragma once
// The texts the Dialogs object exchanges with the system's file dialogs: a script's filter, with
// "|" where the system wants its separators, and the list of names a multi-select dialog returns.

#include <string>
#include <string_view>
#include <vector>

namespace velmo::host {

// Every "|" becomes '\0'; the list then ends with one '\0' more than the text had (the string's own
// terminator is the list's last). An empty filter stays empty: the dialog offers no filter.
std::string SystemFilter(std::string_view scriptFilter);

// The '\0'-separated parts of a dialog's answer (the folder, then each name; or one full path when
// a single file was chosen). Empty parts are dropped.
std::vector<std::string> NameListParts(std::string_view names);

}  // namespace velmo::host
