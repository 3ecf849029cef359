// The Number class (being written: registration only for now).
#include "script/library/core_classes.h"

namespace velmo::script::library {

void RegisterNumberClass(Interpreter&) {}

}  // namespace velmo::script::library
