// The application object. Its notify() is the last line of the error guard: an exception that
// escapes any event handler or slot is shown as the general error report instead of ending
// the program. It also loads Qt's own Russian texts (file dialogs, standard buttons, context
// menus of edit boxes), so that nothing of the interface reads in English.
#pragma once

#include <QApplication>

class QTranslator;

namespace zn {

class ZnApplication : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ZnApplication)

  public:
    // The name of the desktop entry that starts the program (without ".desktop").
    static constexpr const char* kDesktopFileName = "ru.znatokar.Znatokar";

    ZnApplication(int& argc, char** argv);
    ~ZnApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;

    // Whether Qt's Russian translation was found and installed. Without it (the package with
    // Qt's translations missing) the standard texts stay English and the program still works.
    bool qtTranslationLoaded() const { return qtTranslationLoaded_; }

  private:
    QTranslator* qtTranslator_ = nullptr;
    bool qtTranslationLoaded_ = false;
};

}  // namespace zn
