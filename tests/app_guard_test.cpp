// The general error report, the exception-catching application object and the modal seam.
#include <QAbstractButton>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "frame/guard.h"
#include "frame/modal.h"

using zn::Modal;
using zn::ModalAnswer;
using zn::ModalRequest;
using zn::MsgIcon;
using zn::ScriptedModal;

namespace {

// Throws from its event handler: stands for any widget whose handler fails.
class ThrowingObject : public QObject {
  public:
    int handled = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++handled;
            throw std::runtime_error("Cannot open file \"x.txt\". No such file or directory");
        }
        if (e->type() == QEvent::User + 1) {
            ++handled;
            return true;
        }
        return QObject::event(e);
    }
};

}  // namespace

class GuardTest : public QObject {
    Q_OBJECT

  private slots:
    void reportTextAppendsFullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ends with full stop") << "Done."
                                             << "Done.";
        QTest::newRow("exclamation sorts before") << "Stop!"
                                                  << "Stop!";
        QTest::newRow("bracket sorts before") << "Fehler (3)"
                                              << "Fehler (3)";
        QTest::newRow("comma sorts before") << "a,"
                                            << "a,";
        QTest::newRow("latin letter") << "'x' is not a valid integer value"
                                      << "'x' is not a valid integer value.";
        QTest::newRow("cyrillic letter")
            << QStringLiteral("Ошибка я") << QStringLiteral("Ошибка я.");
        QTest::newRow("digit") << "code 7"
                               << "code 7.";
        QTest::newRow("slash sorts after") << "path/"
                                           << "path/.";
        QTest::newRow("trailing blank") << "text "
                                        << "text ";
        QTest::newRow("trailing newline") << "text\n"
                                          << "text\n";
        QTest::newRow("quote sorts before") << "file \"a\""
                                            << "file \"a\"";
        QTest::newRow("question mark sorts after") << "why?"
                                                   << "why?.";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("full stop only") << "."
                                        << ".";
    }
    void reportTextAppendsFullStop() {
        QFETCH(QString, message);
        QFETCH(QString, expected);
        QCOMPARE(zn::errorReportText(message), expected);
    }

    void throwingCommandShowsOneStopBoxAndReturns() {
        ScriptedModal modal;
        bool after = false;
        QVERIFY(!zn::runGuarded([] { throw std::runtime_error("Файл не найден"); }));
        QVERIFY(zn::runGuarded([&] { after = true; }));
        QVERIFY(after);
        QCOMPARE(modal.calls().size(), size_t(1));
        const ModalRequest& box = modal.calls()[0];
        QCOMPARE(box.kind, ModalRequest::Kind::Message);
        QCOMPARE(box.icon, MsgIcon::Stop);
        QCOMPARE(box.caption, QStringLiteral("Знатокар"));
        QCOMPARE(box.text, QStringLiteral("Файл не найден."));
        QCOMPARE(box.buttons, unsigned(zn::Ok));
    }

    void nonStandardExceptionIsReportedToo() {
        ScriptedModal modal;
        QVERIFY(!zn::runGuarded([] { throw 42; }));
        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(modal.calls()[0].text, QStringLiteral("Unknown error."));
    }

    // An exception escaping an event handler is caught by the application object.
    void exceptionFromEventHandlerIsReportedAndAppGoesOn() {
        ScriptedModal modal;
        ThrowingObject target;
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::postEvent(&target, new QEvent(QEvent::Type(QEvent::User + 1)));
        QCoreApplication::processEvents();
        QCOMPARE(target.handled, 2);  // the second event was still delivered
        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(modal.calls()[0].icon, MsgIcon::Stop);
        QCOMPARE(modal.calls()[0].text,
                 QStringLiteral("Cannot open file \"x.txt\". No such file or directory."));
    }

    // A slot that throws while a click is delivered.
    void exceptionFromSlotIsReportedOnce() {
        ScriptedModal modal;
        QPushButton button(QStringLiteral("x"));
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, [&] {
            ++clicks;
            throw std::invalid_argument("bad value");
        });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
        QCOMPARE(modal.calls().size(), size_t(1));
        QCOMPARE(modal.calls()[0].text, QStringLiteral("bad value."));
    }

    void qtFilterFromPairForm_data() {
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("expected");
        QTest::newRow("database") << "Office Access (*.mdb)|*.mdb"
                                  << "Office Access (*.mdb)";
        QTest::newRow("text") << QStringLiteral("Текстовый документ (*.txt)|*.txt")
                              << QStringLiteral("Текстовый документ (*.txt)");
        QTest::newRow("pictures")
            << "All (*.bmp;*.png;*.png;*.jpg;*.jpeg;*.bmp)|*.bmp;*.png;*.png;*.jpg;*.jpeg;*.bmp|"
               "Portable Network Graphics (*.png)|*.png|JPEG Image File (*.jpg)|*.jpg|"
               "JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp"
            << "All (*.bmp *.png *.jpg *.jpeg);;Portable Network Graphics (*.png);;"
               "JPEG Image File (*.jpg);;JPEG Image File (*.jpeg);;Bitmaps (*.bmp)";
        QTest::newRow("description without patterns") << "Text|*.txt"
                                                      << "Text (*.txt)";
        QTest::newRow("missing pattern part") << "Anything"
                                              << "Anything (*)";
    }
    void qtFilterFromPairForm() {
        QFETCH(QString, pairs);
        QFETCH(QString, expected);
        QCOMPARE(Modal::qtFilter(pairs), expected);
    }

    void scriptedAnswersAreUsedInOrderThenDefaults() {
        ScriptedModal modal;
        ModalAnswer chosen;
        chosen.path = QStringLiteral("/tmp/other.mdb");
        modal.push(chosen);
        QCOMPARE(Modal::openFile(QString(), QStringLiteral("/tmp"), "Office Access (*.mdb)|*.mdb"),
                 QStringLiteral("/tmp/other.mdb"));
        QCOMPARE(Modal::saveFile(QString(), QStringLiteral("/tmp"), "Text (*.txt)|*.txt"),
                 QString());  // empty queue: cancelled
        QCOMPARE(Modal::message(MsgIcon::Question, "c", "t", zn::Yes | zn::No), unsigned(zn::Yes));
        QCOMPARE(modal.calls().size(), size_t(3));
        QCOMPARE(modal.calls()[0].kind, ModalRequest::Kind::OpenFile);
        QCOMPARE(modal.calls()[0].folder, QStringLiteral("/tmp"));
        QCOMPARE(modal.calls()[0].filter, QStringLiteral("Office Access (*.mdb)|*.mdb"));
        QCOMPARE(modal.calls()[1].kind, ModalRequest::Kind::SaveFile);
    }

    void nestedResponderIsRestored() {
        ScriptedModal outer;
        {
            ScriptedModal inner;
            Modal::plain(QStringLiteral("inner"));
            QCOMPARE(inner.calls().size(), size_t(1));
        }
        Modal::plain(QStringLiteral("outer"));
        QCOMPARE(outer.calls().size(), size_t(1));
        QCOMPARE(outer.calls()[0].text, QStringLiteral("outer"));
        QCOMPARE(outer.calls()[0].icon, MsgIcon::None);
        QCOMPARE(outer.calls()[0].caption, QStringLiteral("Знатокар"));
    }

    // Without a responder the real box appears: its icon, caption and button are checked and it
    // is closed by a click on OK from the event loop.
    void realMessageBoxHasTheIconOfItsKind_data() {
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("qtIcon");
        QTest::newRow("stop") << int(MsgIcon::Stop) << int(QMessageBox::Critical);
        QTest::newRow("exclamation") << int(MsgIcon::Exclamation) << int(QMessageBox::Warning);
        QTest::newRow("plain") << int(MsgIcon::None) << int(QMessageBox::NoIcon);
    }
    void realMessageBoxHasTheIconOfItsKind() {
        QFETCH(int, icon);
        QFETCH(int, qtIcon);
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        QString seenCaption, seenText;
        int buttons = -1;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seenIcon = box->icon();
            seenCaption = box->windowTitle();
            seenText = box->text();
            buttons = int(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        const unsigned pressed =
            Modal::message(MsgIcon(icon), QStringLiteral("Ошибка"), QStringLiteral("Нет имени"));
        QCOMPARE(pressed, unsigned(zn::Ok));
        QCOMPARE(int(seenIcon), qtIcon);
        QCOMPARE(seenCaption, QStringLiteral("Ошибка"));
        QCOMPARE(seenText, QStringLiteral("Нет имени"));
        QCOMPARE(buttons, 1);
    }

    // With no active window (the program not in front, a popup closing) a box still gets the
    // main window as its parent, so that it is shown in front of it; an open modal window
    // comes first.
    void realMessageBoxStaysInFrontOfTheProgram() {
        QMainWindow main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QApplication::setActiveWindow(nullptr);
        QWidget* parent = reinterpret_cast<QWidget*>(1);
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            parent = box ? box->parentWidget() : nullptr;
            if (auto* b = qobject_cast<QMessageBox*>(box)) b->button(QMessageBox::Ok)->click();
        });
        Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"), QStringLiteral("Пусто"));
        QCOMPARE(parent, static_cast<QWidget*>(&main));

        QDialog dialog(&main);
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, [&] {
                QWidget* box = QApplication::activeModalWidget();
                parent = box ? box->parentWidget() : nullptr;
                if (auto* b = qobject_cast<QMessageBox*>(box)) b->button(QMessageBox::Ok)->click();
                dialog.reject();
            });
            Modal::message(MsgIcon::Exclamation, QStringLiteral("Ошибка"), QStringLiteral("Имя"));
        });
        dialog.exec();
        QCOMPARE(parent, static_cast<QWidget*>(&dialog));
    }
};

int runGuardTests(int argc, char** argv) {
    GuardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_guard_test.moc"
