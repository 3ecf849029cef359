// The Dialogs class: a static object without state whose methods show the system's standard
// dialogs owned by the main window (platform/dialogs.h; scripted from an answer file headless and
// under VELMO_NO_DIALOGS). A failed or cancelled file dialog leaves the text of its extended
// error code as the interpreter's error text.
#include "host/classes/dialogs_object.h"

#include <optional>
#include <string>

#include "host/classes/dialog_text.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "platform/dialogs.h"
#include "platform/last_error.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"

namespace velmo::host {

namespace {

using script::Tag;
using script::Value;

constexpr size_t kNameBuffer = 261, kMultiNameBuffer = 4096;
constexpr uint32_t kOpenFlags = 0x880004;  // explorer style, resizable, no read-only box
constexpr uint32_t kSaveFlags = 0x880024;  // the same with a hook that keeps the defaults
constexpr uint32_t kMultiSelect = 0x200;
constexpr uint32_t kBrowseFolders = 0x5, kBrowseComputers = 0x1004;

// A message-box text: absent is empty, a String as it is, anything else through ToString.
std::string BoxText(HostCall& call, uint32_t index, const char* absent) {
    if (!call.args.Has(index)) return absent;
    if (const std::optional<std::string> text = AnsiArg(call.args, index)) return *text;
    return platform::Utf16ToAnsi(script::ToText(call.interp, call.args[index]));
}

void MsgBox(HostCall& call) {
    const std::string text = BoxText(call, 1, "");
    const std::string caption = BoxText(call, 2, "Movora");
    const uint32_t type = static_cast<uint32_t>(call.args.Integer(3).value_or(0));
    call.ReturnInteger(platform::ShowMessageBox(ProjectorOf(call.interp).MainWindow(), text, caption, type));
}

platform::FileDialogRequest Request(HostCall& call, bool save) {
    platform::FileDialogRequest request;
    request.save = save;
    request.owner = ProjectorOf(call.interp).MainWindow();
    request.filter = SystemFilter(AnsiArg(call.args, 1).value_or(""));
    request.defaultExtension = AnsiArg(call.args, 2).value_or("");
    request.initialName = AnsiArg(call.args, 3).value_or("");
    request.flags = save ? kSaveFlags : kOpenFlags;
    request.bufferBytes = kNameBuffer;
    return request;
}

// Shows the dialog; the chosen names, or none with the error text set.
std::optional<std::string> Ask(HostCall& call, const platform::FileDialogRequest& request) {
    const platform::FileDialogAnswer answer = platform::ShowFileDialog(request);
    if (!answer.chosen) {
        script::SetErrorText(call.interp, platform::SystemErrorText(answer.error));
        return std::nullopt;
    }
    return answer.names;
}

void FileOpen(HostCall& call) {
    platform::FileDialogRequest request = Request(call, false);
    const bool multi = call.args.Boolean(4).value_or(false);
    if (multi) {
        request.flags |= kMultiSelect;
        request.bufferBytes = kMultiNameBuffer;
    }
    const std::optional<std::string> names = Ask(call, request);
    if (!names) return;
    if (!multi) return call.ReturnAnsi(*names);
    const std::vector<std::string> parts = NameListParts(*names);
    script::ArrayRecord* array = script::NewArray(call.interp, parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
        script::PutElement(call.interp, array, AnsiStringValue(call.interp, parts[i]), i);
    call.Return(Value::Array(array));
}

void FileSave(HostCall& call) {
    platform::FileDialogRequest request = Request(call, true);
    if (const std::optional<int64_t> extra = call.args.Integer(4)) request.flags |= static_cast<uint32_t>(*extra);
    if (const std::optional<std::string> names = Ask(call, request)) call.ReturnAnsi(*names);
}

void Browse(HostCall& call) {
    const std::string title = AnsiArg(call.args, 1).value_or("");
    const std::string initial = AnsiArg(call.args, 2).value_or("");
    const bool computers = call.args.Has(3) && script::ToBoolean(call.args[3]);
    const platform::FolderAnswer answer = platform::ShowFolderBrowser(
        ProjectorOf(call.interp).MainWindow(), title, initial, computers ? kBrowseComputers : kBrowseFolders);
    if (answer.chosen) call.ReturnAnsi(answer.path);
}

constexpr HostMember kMembers[] = {
    Method("msgBox", Failure::Undefined, &MsgBox),
    Method("fileOpen", Failure::False, &FileOpen),
    Method("fileSave", Failure::False, &FileSave),
    Method("browse", Failure::False, &Browse),
};

}  // namespace

void RegisterDialogsClass(script::Interpreter& interp) {
    HostClassSpec spec;
    spec.name = "Dialogs";
    spec.members = kMembers;
    spec.callIsConstruct = false;
    RegisterHostClass(interp, spec);
}

}  // namespace velmo::host
