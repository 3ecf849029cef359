#pragma once
// The projector's data key: the text DataFile's loadAndDec and saveAndEnc encipher data files
// under. It is kDefaultDataKey until the start-up of an application sets its own (the shell is to
// set it from the application's settings); `velmo run` keeps the default. An empty key turns both
// methods off.

#include <string>
#include <string_view>

namespace velmo::host {

inline constexpr std::string_view kDefaultDataKey = "Velmo data";

void SetDataKey(std::string ansiKey);
const std::string& DataKey();

}  // namespace velmo::host
