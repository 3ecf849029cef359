#pragma once
// Resources read from an executable image file through the portable PE reader: on the headless
// platform always, on Windows once UseApplicationImage chose a file other than the running module.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmo::platform {

// As LoadImageResource (resources.h), from the image file at `path`. The parsed resource table of the
// last file read is kept, so that a start-up reading many resources parses the file once.
std::optional<std::vector<uint8_t>> LoadImageFileResource(const std::string& path, const std::string& name,
                                                          const std::string& type);

// Drops the kept table: the file may have been rewritten under the same name.
void ForgetImageFileResources();

}  // namespace velmo::platform
