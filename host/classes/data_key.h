#pragma once
// The projector's data key: the text DataFile's loadAndDec and saveAndEnc encipher data files
// under. A packed application's start-up sets it from the application's settings; until then it
// is kDefaultDataKey, which is what `velmo run` uses. An empty key turns both methods off.

#include <string>
#include <string_view>

namespace velmo::host {

inline constexpr std::string_view kDefaultDataKey = "Velmo data";

void SetDataKey(std::string ansiKey);
const std::string& DataKey();

}  // namespace velmo::host
