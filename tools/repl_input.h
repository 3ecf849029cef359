#pragma once
// When the prompt's input makes a whole entry: the brackets it opened are closed and no string or
// block comment is left open. The scan knows the dialect's strings and comments, so a bracket
// inside either does not count. (A line ending in a backslash is the prompt's own affair.)

#include <string_view>

namespace velmo::tools {

enum class EntryState { Complete, NeedsMore };

EntryState ScanEntry(std::string_view text);

}  // namespace velmo::tools
