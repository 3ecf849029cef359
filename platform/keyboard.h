#pragma once
// The system's names of keys, as its keyboard layout spells them for the user ("F4", "Insert",
// "Num 0"): the hot key a script reads back is written with them.

#include <cstdint>
#include <string>

namespace velmo::platform {

// The name of the key whose virtual-key code is `virtualKey`, taken through the key's scan code;
// `extended` names the key of the extended block that shares that scan code (Insert, not Num 0).
// Empty when the layout has no key for the code.
std::string KeyName(uint32_t virtualKey, bool extended);

}  // namespace velmo::platform
