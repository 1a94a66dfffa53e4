// Application object: the exception-catching notify() and Qt's Russian texts.
#include "frame/znapplication.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "frame/guard.h"
#include "frame/modal.h"

namespace zn {

ZnApplication::ZnApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(appTitle());
    // The user's settings (dialog folders and the like) live under this name.
    setOrganizationName(QStringLiteral("Znatokar"));
    setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    // The interface is Russian whatever the system's language: Qt's texts follow it, and so does
    // the default locale (the file dialogs name file types by it; their dates and sizes follow
    // the system's locale). qtbase holds the file dialogs, message box and button box buttons
    // and edit box menus. The program's own number conversions use the C locale explicitly.
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    qtTranslator_ = new QTranslator(this);
    qtTranslationLoaded_ =
        qtTranslator_->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (qtTranslationLoaded_) installTranslator(qtTranslator_);
}

ZnApplication::~ZnApplication() = default;

bool ZnApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportError(currentExceptionMessage());
    }
    return false;
}

}  // namespace zn
