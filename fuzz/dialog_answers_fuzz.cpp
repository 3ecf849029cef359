// The dialog answer file over any bytes: every answer keeps its kind's invariants (a button or code
// only where read, files with a folder and no empty name, a problem only on a cancel), and the
// answers meet scripted dialogs without a fault whatever their kinds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/common/dialog_answers.h"
#include "platform/common/scripted_dialogs.h"

using namespace velmo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<DialogAnswer> answers = ParseDialogAnswers(text);
    int lastLine = 0;
    for (const DialogAnswer& a : answers) {
        if (a.line <= lastLine) __builtin_trap();
        lastLine = a.line;
        if (!a.problem.empty() && a.kind != DialogAnswerKind::Cancel) __builtin_trap();
        if (a.kind == DialogAnswerKind::Files)
            for (const auto& name : a.names)
                if (name.empty()) __builtin_trap();
        if ((a.kind == DialogAnswerKind::File || a.kind == DialogAnswerKind::Folder) && a.path.empty())
            __builtin_trap();
    }
    ScriptedDialogs dialogs;
    const size_t count = answers.size();
    dialogs.UseAnswers(std::move(answers));
    FileDialogRequest request;
    request.flags = size % 2 ? 0x200 : 0;
    request.bufferBytes = 16 + size % 300;
    for (size_t i = 0; i <= count; ++i) {
        switch (i % 3) {
            case 0: (void)dialogs.Message("t", "c", static_cast<uint32_t>(size)); break;
            case 1: {
                const FileDialogAnswer answer = dialogs.FileDialog(request);
                if (answer.chosen && answer.names.size() + 2 > request.bufferBytes) __builtin_trap();
                break;
            }
            default: (void)dialogs.FolderBrowser("t", "", 5); break;
        }
    }
    return 0;
}
