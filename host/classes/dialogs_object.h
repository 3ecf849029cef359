#pragma once
// The Dialogs object: the message box, the open and save file dialogs and the folder browser.

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterDialogsClass(script::Interpreter& interp);

}  // namespace velmo::host
