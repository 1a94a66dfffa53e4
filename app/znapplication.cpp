// Application object with the exception-catching notify().
#include "znapplication.h"

#include "guard.h"
#include "modal.h"

namespace zn {

ZnApplication::ZnApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(appTitle());
}

bool ZnApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportError(currentExceptionMessage());
    }
    return false;
}

}  // namespace zn
