// The Date class (being written: registration only for now).
#include "script/library/core_classes.h"

namespace velmo::script::library {

void RegisterDateClass(Interpreter&) {}

}  // namespace velmo::script::library
