// Developer tool, not a test: draws a text box with spell checking, a misspelled word
// underlined and the box's context menu open on it, into OUTDIR/spell-menu.png, so that a person
// can look at the underline and the menu.
//   spell_shots OUTDIR
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xcb under Xvfb gives the platform's own
// look). Needs the Russian dictionary (tools/setup.sh installs it).
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <QTextBlock>
#include <QTranslator>
#include <QVBoxLayout>
#include <cstdio>

#include "spell/checker.h"
#include "spell/spellbox.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The box's own commands in Russian, as the program shows them.
    QTranslator qtRussian;
    if (qtRussian.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtRussian);
    if (argc != 2) {
        std::fputs("usage: spell_shots OUTDIR\n", stderr);
        return 2;
    }
    const QString out =
        QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("spell-menu.png"));
    // The settings of a person who has added nothing to the dictionary.
    QCoreApplication::setOrganizationName(QStringLiteral("ZnatokarSpellShots"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QDir::tempPath());

    zn::spell::Checker checker;
    if (checker.waitUntilLoaded() != zn::spell::Checker::State::Ready) {
        std::fprintf(stderr, "%s\n", qPrintable(checker.unavailableReason()));
        return 1;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Вопрос"));
    auto* layout = new QVBoxLayout(&window);
    auto* box = new QPlainTextEdit(&window);
    QFont font = box->font();
    font.setPointSize(12);
    box->setFont(font);
    QPalette cream = box->palette();
    cream.setColor(QPalette::Base, QColor(255, 251, 240));
    box->setPalette(cream);
    layout->addWidget(box);
    zn::spell::attachSpellChecking(box, checker);
    const QString text = QStringLiteral(
        "Электромонтёр должен проверить заземление электроустановки перед началом смены. "
        "Какой вапрос задаёт мастер участка стажёру, если ещё не выдан наряд-допуск?");
    box->setPlainText(text);
    window.resize(620, 260);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    QCoreApplication::processEvents();

    // The right button on the misspelled word's last letter, so the word stays in sight.
    QTextCursor at(box->document());
    at.setPosition(int(text.indexOf(QStringLiteral("вапрос"))) + 5);
    const QPoint pos = box->cursorRect(at).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, box->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(box->viewport(), &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) {
        std::fputs("spell_shots: the context menu did not open\n", stderr);
        return 1;
    }
    QCoreApplication::processEvents();

    // The window with the menu drawn where it stands on the screen.
    const QPixmap shot = window.grab();
    const QPixmap popup = menu->grab();
    const QPoint offset = menu->mapToGlobal(QPoint(0, 0)) - window.mapToGlobal(QPoint(0, 0));
    const QRect all = QRect(QPoint(0, 0), shot.size()).united(QRect(offset, popup.size()));
    QPixmap canvas(all.size());
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawPixmap(-all.topLeft(), shot);
    painter.drawPixmap(offset - all.topLeft(), popup);
    painter.end();
    menu->close();
    if (!canvas.save(out)) {
        std::fprintf(stderr, "spell_shots: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
