// The headless user interface's desktop: the in-memory model, with no user.
#include "platform/common/model_desktop.h"

namespace velmo::platform {

std::unique_ptr<Desktop> MakeDesktop() { return std::make_unique<ModelDesktop>(); }

}  // namespace velmo::platform
