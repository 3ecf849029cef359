#pragma once
// The shell's error objects and their report. They are thrown by value and caught by const
// reference (nothing to leak or delete), and every one carries the text shown to the user.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace velmo::shell {

class ShellError {
public:
    explicit ShellError(std::string message) : message_(std::move(message)) {}
    virtual ~ShellError() = default;

    const std::string& Message() const { return message_; }

private:
    std::string message_;
};

// A failed system call, worded by the system, or one of the readers' own messages.
class SystemError : public ShellError {
public:
    explicit SystemError(std::string message) : ShellError(std::move(message)) {}
    // Built from the last system error.
    static SystemError FromLastError();
};

// A zlib failure; the message depends on the zlib return code.
class CompressionError : public SystemError {
public:
    explicit CompressionError(int zlibCode);
    int ZlibCode() const { return zlibCode_; }

private:
    int zlibCode_;
};

// Tells ReportError whether a main window exists and what its caption is; the main frame sets
// it while it lives. Without one, reports are not shown.
using MainWindowCaption = std::function<std::optional<std::string>()>;
void SetMainWindowCaptionSource(MainWindowCaption source);

// Shows `error` in a message box titled with the main window's caption (at most 259 characters of
// its text); shows nothing while there is no main window.
void ReportError(const ShellError& error);

}  // namespace velmo::shell
