// The String class (being written: registration only for now).
#include "script/library/core_classes.h"

namespace velmo::script::library {

void RegisterStringClass(Interpreter&) {}

}  // namespace velmo::script::library
