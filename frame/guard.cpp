// General error report: formatting rule and the guard around commands.
#include "frame/guard.h"

#include "frame/modal.h"

namespace zn {

QString errorReportText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
    return message;
}

QString currentExceptionMessage() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void reportError(const QString& message) {
    Modal::error(errorReportText(message));
}

namespace {

std::function<QString()>& failureCleanup() {
    static std::function<QString()> cleanup;
    return cleanup;
}

}  // namespace

void setFailureCleanup(std::function<QString()> cleanup) {
    failureCleanup() = std::move(cleanup);
}

bool runGuarded(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (...) {
        QString message = currentExceptionMessage();
        if (failureCleanup()) {
            try {
                if (QString better = failureCleanup()(); !better.isEmpty()) message = better;
            } catch (...) {
                // The command's own error is the one to show.
            }
        }
        reportError(message);
        return false;
    }
}

}  // namespace zn
