#pragma once
// File-type association: which program opens files of an extension. On Windows the keys live under
// HKEY_CLASSES_ROOT; the headless system keeps the same keys in a store of its own, the profile
// "Velmo" / "File types" (profile.h), with one section per key path and the key's default value
// stored under the empty value name, so that what an application wrote can be read back.

#include <optional>
#include <string>

namespace velmo::platform {

// The default text value of the key `keyPath` ("\"-separated, below the root of file types); none
// when the key or its value does not exist or holds no text.
std::optional<std::string> ReadFileTypeValue(const std::string& keyPath);
// Creates the key if needed and sets its default value; false (last error set) when refused.
[[nodiscard]] bool WriteFileTypeValue(const std::string& keyPath, const std::string& text);

// Makes `exePath` open files of `extension` (".abc") as the type `typeName`:
//   1. "<typeName>\DefaultIcon" := "<exePath>,1";
//   2. "<typeName>\shell\open\command" := "<exePath> \"%1\"", only when step 1 succeeded;
//   3. only when step 2 succeeded: the extension's own key names `typeName`, unless it already names
//      another type (a non-empty value that differs from the extension text itself).
// False when a step failed; the steps already done stay.
bool AssociateFileType(const std::string& extension, const std::string& typeName, const std::string& exePath);

}  // namespace velmo::platform
