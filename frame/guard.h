// The program's general error report: every command runs inside runGuarded, which turns an
// exception escaping the command into a stop box (application title, message, one OK button)
// shown through the modal seam. The program then goes on; whatever the command had already
// written stays written.
#pragma once

#include <QString>
#include <exception>
#include <functional>

namespace zn {

// The report's text for `message`: a "." is appended when the last character sorts after "."
// (UTF-16 code units); an empty message stays empty.
QString errorReportText(const QString& message);

// The message of the exception currently being handled: what() read as UTF-8 for
// std::exception, a fixed text for anything else. REQUIRES: called inside a catch block.
QString currentExceptionMessage();

// Shows the general error report for `message` (formatted by errorReportText).
void reportError(const QString& message);

// What runs after a command failed and before its error is shown: the program cancels every
// pending insert or edit of the data module there, so that nothing a failed command left half
// made is stored by a later movement, and opens the database again when another program
// replaced or changed the file under the command. It returns the text to show instead of the
// command's own error when it knows the real cause better (empty: the error's own). Replaces
// the previous one; empty: nothing.
void setFailureCleanup(std::function<QString()> cleanup);

// Runs `command`; an exception escaping it is reported and swallowed (after the failure
// cleanup). Returns false when the command ended with an exception.
bool runGuarded(const std::function<void()>& command);

}  // namespace zn
