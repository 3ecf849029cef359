#pragma once
// The resources of the application image, looked up as the system's resource functions do: by
// type and name, each either a string (compared without regard to ASCII case) or "#n" for the
// number n.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmo::platform {

// The bytes of resource `name` of type `type`; nullopt with the last error set when the resource is
// missing or empty or cannot be read.
std::optional<std::vector<uint8_t>> LoadImageResource(const std::string& name, const std::string& type);

}  // namespace velmo::platform
