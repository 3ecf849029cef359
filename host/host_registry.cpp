#include "host/host_registry.h"

#include <initializer_list>

namespace velmo::host {

namespace {

// The order is fixed: Dialogs, Shell, MCI, FlashPlayer, MovieClip, the global host functions,
// Window, Menu, Application (with its sub-object classes), DirectX, Encryption, DiskInfo,
// DesktopToy, DataFile. A class adds its routine at its place here and nowhere else.
const std::initializer_list<RegisterHostClassFn> kRegistrationOrder = {};

}  // namespace

void RegisterHostClasses(script::Interpreter& interp) {
    for (const RegisterHostClassFn registerClass : kRegistrationOrder) registerClass(interp);
}

}  // namespace velmo::host
