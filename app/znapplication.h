// The application object. Its notify() is the last line of the error guard: an exception that
// escapes any event handler or slot is shown as the general error report instead of ending
// the program.
#pragma once

#include <QApplication>

namespace zn {

class ZnApplication : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ZnApplication)

  public:
    ZnApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace zn
