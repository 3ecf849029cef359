#pragma once
// Globally unique identifiers, in the 38-character registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".

#include <string>

namespace velmo::platform {

// A fresh GUID as UTF-16 text; empty if the system could not make one.
std::u16string NewGuidText();

}  // namespace velmo::platform
