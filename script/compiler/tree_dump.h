#pragma once
// A readable, deterministic text of a syntax tree, one node per line, for tests and `velmo parse`.

#include <string>
#include <string_view>

#include "script/compiler/syntax_tree.h"

namespace velmo::script::compiler {

// "statements:" then the main program, "functions:" then every definition in list order. Each node line
// is indentation, the role in its parent ("value: "), the kind name, its attributes (`name=value`) and
// "@LINE"; child nodes follow, indented two more spaces. Texts are quoted with \xHH for unprintable bytes.
std::string DumpTree(const SyntaxTree& tree);
// The same for one node and, when `withSiblings`, the nodes linked after it.
std::string DumpNode(const Node* node, bool withSiblings = false);

// Appends `text` in double quotes, with '"', '\\' and bytes outside printable ASCII as \xHH; the
// instruction listing quotes its strings the same way.
void AppendQuoted(std::string& out, std::string_view text);

}  // namespace velmo::script::compiler
