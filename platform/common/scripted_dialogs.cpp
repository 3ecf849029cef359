#include "platform/common/scripted_dialogs.h"

#include <cstdio>

#include "platform/action_record.h"
#include "platform/environment.h"
#include "platform/files.h"

namespace velmo::platform {

namespace {

// The extended error of a file dialog whose buffer cannot hold the chosen names.
constexpr uint32_t kBufferTooSmall = 0x3003;
constexpr uint32_t kAllowMultiSelect = 0x200;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// A filter list shown with its separators as '|', the way scripts write it.
std::string FilterText(const std::string& filter) {
    std::string shown = filter;
    while (!shown.empty() && shown.back() == '\0') shown.pop_back();
    for (char& c : shown)
        if (c == '\0') c = '|';
    return shown;
}

std::string Unmatched(const DialogAnswer& answer) {
    return " (answer of line " + std::to_string(answer.line) + " does not fit this dialog)";
}

}  // namespace

void ScriptedDialogs::UseAnswers(std::vector<DialogAnswer> answers) {
    answers_ = std::move(answers);
    next_ = 0;
    loaded_ = true;
}

DialogAnswer ScriptedDialogs::Next(bool& missing) {
    if (!loaded_) {
        loaded_ = true;
        const std::optional<std::string> path = GetEnvironment("VELMO_DIALOG_ANSWERS");
        std::vector<uint8_t> bytes;
        if (path && !path->empty()) {
            if (ReadWholeFile(*path, bytes))
                answers_ =
                    ParseDialogAnswers(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
            else NoteAction("dialog", "no answers: cannot read " + *path);
        }
        for (const DialogAnswer& a : answers_)
            if (!a.problem.empty()) NoteAction("dialog", "answer line " + std::to_string(a.line) + ": " + a.problem);
    }
    missing = next_ >= answers_.size();
    return missing ? DialogAnswer{} : answers_[next_++];
}

int ScriptedDialogs::Message(const std::string& text, const std::string& caption, uint32_t type) {
    bool missing = false;
    const DialogAnswer answer = Next(missing);
    int button = DefaultMessageBoxButton(type);
    std::string note;
    if (missing) note = " (no answer: default button)";
    else if (answer.kind == DialogAnswerKind::Button) button = answer.button;
    else if (answer.kind == DialogAnswerKind::Cancel && answer.problem.empty()) {
        const int cancel = CancelMessageBoxButton(type);
        if (cancel > 0) button = cancel;
        else note = " (cannot be cancelled: default button)";
    } else note = Unmatched(answer);
    NoteAction("dialog", "msgBox " + Quoted(caption) + " " + Quoted(text) + " type " + Hex(type) + " -> " +
                             std::to_string(button) + note);
    return button;
}

FileDialogAnswer ScriptedDialogs::FileDialog(const FileDialogRequest& request) {
    bool missing = false;
    const DialogAnswer answer = Next(missing);
    FileDialogAnswer result;
    std::string note;
    if (answer.kind == DialogAnswerKind::File) {
        result.chosen = true;
        result.names = answer.path;
    } else if (answer.kind == DialogAnswerKind::Files && (request.flags & kAllowMultiSelect)) {
        result.chosen = true;
        for (const std::string& name : answer.names) result.names += name + '\0';
        result.names.pop_back();
    } else if (answer.kind == DialogAnswerKind::Error) {
        result.error = answer.error;
    } else if (missing) {
        note = " (no answer)";
    } else if (answer.kind != DialogAnswerKind::Cancel || !answer.problem.empty()) {
        note = Unmatched(answer);
    }
    // The system's buffer holds the names and two ending zeros.
    if (result.chosen && result.names.size() + 2 > request.bufferBytes) {
        result = FileDialogAnswer{};
        result.error = kBufferTooSmall;
    }
    std::string outcome;
    if (result.chosen) {
        std::string shown = result.names;
        for (char& c : shown)
            if (c == '\0') c = '|';
        outcome = Quoted(shown);
    } else {
        outcome = result.error ? "error " + std::to_string(result.error) : "cancel";
    }
    NoteAction("dialog", std::string(request.save ? "fileSave" : "fileOpen") + " filter " +
                             Quoted(FilterText(request.filter)) + " ext " + Quoted(request.defaultExtension) +
                             " name " + Quoted(request.initialName) + " flags " + Hex(request.flags) + " -> " +
                             outcome + note);
    return result;
}

FolderAnswer ScriptedDialogs::FolderBrowser(const std::string& title, const std::string& initialFolder,
                                            uint32_t flags) {
    bool missing = false;
    const DialogAnswer answer = Next(missing);
    FolderAnswer result;
    std::string note;
    if (answer.kind == DialogAnswerKind::Folder) {
        result.chosen = true;
        result.path = answer.path;
    } else if (missing) {
        note = " (no answer)";
    } else if (answer.kind != DialogAnswerKind::Cancel || !answer.problem.empty()) {
        note = Unmatched(answer);
    }
    NoteAction("dialog", "browse " + Quoted(title) + " from " + Quoted(initialFolder) + " flags " + Hex(flags) +
                             " -> " + (result.chosen ? Quoted(result.path) : std::string("cancel")) + note);
    return result;
}

ScriptedDialogs& ProcessScriptedDialogs() {
    static ScriptedDialogs dialogs;
    return dialogs;
}

}  // namespace velmo::platform
