#pragma once
// The run folder: one folder per run under the user's temporary folder, named by a fresh GUID,
// holding every file taken from the attached package (below "_extra\") and removed at exit. Its
// path is process-wide, always ends with '\' and is empty while no run folder exists.

#include <string>

namespace velmo::shell {

inline constexpr size_t kMaxTempBaseChars = 260;

// The folder the run folder is made in: "TMP", else "TEMP" (each if set, non-empty and shorter than
// 260 characters), else the Windows directory; it always ends with '\'.
std::string TempBaseFolder();

// Creates the run folder. Throws SystemError (the run folder stays empty) on failure.
void CreateRunFolder();

const std::string& RunFolder();
// RunFolder() + "_extra\", or empty while there is no run folder.
std::string ExtraFolder();

// Deletes `folder` and everything below it; does nothing for an empty string or a missing path.
void RemoveFolderTree(const std::string& folder);

// Removes the run folder tree and forgets its path.
void RemoveRunFolder();

}  // namespace velmo::shell
