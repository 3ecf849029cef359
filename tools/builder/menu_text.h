#pragma once
// The text form of a menu definition that a project keeps (docs/menu.md): one statement per line,
// UTF-8, "#" starting a comment line.
//
//     popup "&File"
//         item open "&Open..." "Ctrl+O"
//         separator
//         item quit "E&xit"
//     end
//     item help "&Help" "F1"
//
// A name is a bare word (letters, digits, "_", "-", ".", "$") or a quoted text; captions and key
// texts are quoted, with \" and \\ as the only escapes. Key texts must be ones the runtime reads
// (platform/common/accelerator_text.h).

#include <string>
#include <string_view>
#include <vector>

#include "shell/menu_definition.h"

namespace velmo::builder {

// The items of the definition, texts in the 8-bit code page. Throws ManifestError naming
// `fileName` and the line.
std::vector<shell::MenuDefinitionItem> ParseMenuText(std::string_view text, const std::string& fileName);

}  // namespace velmo::builder
