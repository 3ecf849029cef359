#pragma once
// Registry housekeeping beyond the profile interface; declared without <windows.h> so that
// Windows-only tests can use it.

#include <string>

namespace velmo::platform::win32 {

// Removes HKEY_CURRENT_USER\Software\<key> with everything below it; false (last error set) when
// it cannot. `key` must not be empty: the whole Software key is never removed.
[[nodiscard]] bool RemoveUserSoftwareKey(const std::string& key);

}  // namespace velmo::platform::win32
