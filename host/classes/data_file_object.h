#pragma once
// The DataFile object: named globals, with the objects and arrays they hold, saved to an INI-style
// file and loaded back, optionally enciphered under the projector's data key (data_key.h).

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterDataFileClass(script::Interpreter& interp);

}  // namespace velmo::host
