// The Math class (being written: registration only for now).
#include "script/library/core_classes.h"

namespace velmo::script::library {

void RegisterMathClass(Interpreter&) {}

}  // namespace velmo::script::library
