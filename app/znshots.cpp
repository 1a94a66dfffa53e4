// Developer tool, not part of the product: brings the program up exactly as znatokar does, in
// the current directory (which must hold test.mdb and data/), and saves its windows as PNG
// files, for checking what a user sees under a real X server. tools/screenshots.sh prepares the
// working folder and runs it.
// Usage: znshots OUTDIR [TOPIC[/QUESTION]]
// With TOPIC (and QUESTION), that node is selected before the main window is saved.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTextBrowser>
#include <QTreeWidget>
#include <cstdio>

#include "app/startup.h"
#include "bulk/inforecords.h"
#include "bulk/tform5.h"
#include "editor/editorarea.h"
#include "editor/picture.h"
#include "editor/questioneditor.h"
#include "editor/tform4.h"
#include "editor/topiccommands.h"
#include "formats/exchange.h"
#include "frame/imagelist.h"
#include "frame/modal.h"
#include "frame/taboutbox.h"
#include "frame/tform1.h"
#include "frame/tform9.h"
#include "frame/znapplication.h"
#include "problems/problemsarea.h"
#include "problems/problemspanel.h"
#include "problems/searchbox.h"
#include "spell/checker.h"
#include "store/tdatmod.h"
#include "undo/undoarea.h"

namespace {

bool save(const QPixmap& pixmap, const QString& path) {
    if (!pixmap.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), pixmap.width(), pixmap.height());
    return true;
}

void settle() {
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
}

// The first question picture in DataFolder (the preview's background tiles are not pictures of
// questions), or a drawn one with a frame and a diagonal so stretching and clipping show.
QPixmap questionPicture(const QString& dataFolder) {
    const QDir data(dataFolder);
    for (const QString& name : data.entryList({"*.png", "*.jpg", "*.jpeg", "*.bmp"}, QDir::Files)) {
        QPixmap pixmap(data.filePath(name));
        if (!pixmap.isNull()) {
            std::printf("picture window: %s\n", qPrintable(data.filePath(name)));
            return pixmap;
        }
    }
    QPixmap pixmap(200, 120);
    pixmap.fill(QColor(200, 230, 255));
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::darkBlue, 3));
    p.drawRect(1, 1, 197, 117);
    p.drawLine(0, 0, 199, 119);
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("200 x 120"));
    return pixmap;
}

}  // namespace

int main(int argc, char** argv) {
    zn::ZnApplication app(argc, argv);
    app.setWindowIcon(zn::ImageList::appIcon());
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr,
                     "usage: znshots OUTDIR [TOPIC[/QUESTION]] (run in a folder with test.mdb and "
                     "data/)\n");
        return 2;
    }
    const QDir out(QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1])));
    if (!QDir().mkpath(out.path())) return 1;
    bool ok = true;

    // The start-up errors (and any later one) are printed instead of waiting for a click. A box
    // of choices (the start-up's, when test.mdb cannot be used) is shown as the program shows
    // it, saved, and answered with its last choice.
    zn::Modal::setResponder([&out, &ok](const zn::ModalRequest& r) {
        if (r.kind == zn::ModalRequest::Kind::Choice) {
            QMessageBox box(QMessageBox::Warning, r.caption, r.text);
            for (const QString& c : r.choices) box.addButton(c, QMessageBox::ActionRole);
            box.show();
            settle();
            ok &= save(box.grab(), out.filePath(QStringLiteral("startup-choice.png")));
            zn::ModalAnswer a;
            a.result = int(r.choices.size()) - 1;
            return a;
        }
        if (r.kind == zn::ModalRequest::Kind::Message)
            std::fprintf(stderr, "message box \"%s\": %s\n", qPrintable(r.caption),
                         qPrintable(r.text));
        return zn::ModalAnswer{};
    });

    zn::Program program;
    if (!program.create()) return ok ? 0 : 1;  // refused at start-up: its box was saved
    program.show();
    zn::TForm1& form1 = *program.form1();
    settle();
    if (argc == 3) {
        const QStringList parts = QString::fromLocal8Bit(argv[2]).split(u'/');
        QTreeWidgetItem* node = form1.treeDb()->topLevelItem(parts[0].toInt() - 1);
        if (node && parts.size() > 1) {
            node->setExpanded(true);
            node = node->child(parts[1].toInt() - 1);
        }
        if (!node) {
            std::fprintf(stderr, "no node %s\n", argv[2]);
            return 1;
        }
        form1.treeDb()->setCurrentItem(node);
        form1.treeDb()->scrollToItem(node);
        settle();
    }
    std::printf("status: \"%s\"; database: %s\n", qPrintable(form1.statusText()),
                qPrintable(program.session().databasePath));
    ok &= save(form1.grab(), out.filePath(QStringLiteral("main.png")));

    // The editor tab shown, and the preview focused so its focus border is visible.
    form1.setEditorTabVisible(true);
    form1.activateWindow();
    form1.hv()->setFocus();
    settle();
    ok &= save(form1.grab(), out.filePath(QStringLiteral("main-editor-tab.png")));
    form1.setEditorTabVisible(false);

    // The problem panel open beside the tree, its first problem selected; then a search in the
    // box above the tree ($ZN_SHOTS_SEARCH, default "а") with its result list.
    if (zn::ProblemsArea* problems = program.problems()) {
        problems->panelAction()->trigger();
        QTreeWidget* list = problems->panel().list();
        if (list->topLevelItemCount() > 0 && list->topLevelItem(0)->childCount() > 0)
            list->setCurrentItem(list->topLevelItem(0)->child(0));
        settle();
        std::printf("problems: %s\n", qPrintable(problems->panel().counts()->text()));
        ok &= save(form1.grab(), out.filePath(QStringLiteral("problems.png")));
        problems->panelAction()->trigger();
        const QString query = qEnvironmentVariableIsSet("ZN_SHOTS_SEARCH")
                                  ? qEnvironmentVariable("ZN_SHOTS_SEARCH")
                                  : QStringLiteral("а");
        problems->findAction()->trigger();
        problems->searchBox().edit()->setText(query);
        settle();
        ok &= save(form1.grab(), out.filePath(QStringLiteral("search.png")));
        problems->searchBox().edit()->clear();
        settle();
    }

    // The question editor page, opened as "Редактировать вопрос" opens it: a question of six
    // answers given a picture, and a question of two answers. The database's first question
    // with 6 answers and the first with 2 are used; the picture is the first of DataFolder.
    if (zn::EditorArea* editor = program.editor()) {
        zn::QuestionEditor& page = editor->questionEditor();
        QTreeWidget* tree = form1.treeDb();
        auto questionWith = [&](int answers) -> QTreeWidgetItem* {
            for (int t = 0; t < tree->topLevelItemCount(); ++t)
                for (int q = 0; q < tree->topLevelItem(t)->childCount(); ++q) {
                    QTreeWidgetItem* node = tree->topLevelItem(t)->child(q);
                    tree->setCurrentItem(node);
                    if (program.datMod()->qrotveti.recordCount() == answers) return node;
                }
            return nullptr;
        };
        if (QTreeWidgetItem* six = questionWith(6)) {
            tree->setCurrentItem(six);
            form1.runCommand(zn::TForm1::Command::EditQuestion);
            page.RadioButton1->setChecked(true);
            const QDir data(program.session().dataFolder);
            const QStringList pictures = data.entryList({"p*.png", "p*.jpg"}, QDir::Files);
            if (!pictures.isEmpty()) {
                page.EdImage->setText(pictures.first());
                page.Image7->setPixmap(QPixmap::fromImage(
                    zn::loadPicture(zn::pictureFilePath(data.path() + u'/', pictures.first()))));
            }
            settle();
            ok &= save(form1.grab(), out.filePath(QStringLiteral("editor-6-answers.png")));
        }
        if (QTreeWidgetItem* two = questionWith(2)) {
            tree->setCurrentItem(two);
            form1.runCommand(zn::TForm1::Command::EditQuestion);
            settle();
            ok &= save(form1.grab(), out.filePath(QStringLiteral("editor-2-answers.png")));

            // Spell checking: a question with a misspelled word, underlined,
            // with its context menu open on it (drawn where it stands over the window).
            zn::spell::Checker* checker = program.spellChecker();
            if (checker && checker->waitUntilLoaded() == zn::spell::Checker::State::Ready) {
                QPlainTextEdit* box = page.MemVopr;
                box->setFocus();
                box->setPlainText(
                    QStringLiteral("Кто выдаёт наряд-допуск? Какой вапрос задаёт мастер участка "
                                   "стажёру перед началом смены?"));
                box->moveCursor(QTextCursor::End);
                settle();
                // The menu opens just under the word, so that its underline stays in sight.
                QTextCursor at(box->document());
                at.setPosition(int(box->toPlainText().indexOf(QStringLiteral("вапрос"))) + 2);
                const QRect word = box->cursorRect(at);
                const QPoint pos = word.center();
                QContextMenuEvent event(
                    QContextMenuEvent::Mouse, pos,
                    box->viewport()->mapToGlobal(word.bottomLeft() + QPoint(0, 6)));
                QApplication::sendEvent(box->viewport(), &event);
                settle();
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    const QPixmap window = form1.grab();
                    const QPixmap popup = menu->grab();
                    const QPoint offset =
                        menu->mapToGlobal(QPoint(0, 0)) - form1.mapToGlobal(QPoint(0, 0));
                    const QRect all = window.rect().united(QRect(offset, popup.size()));
                    QPixmap canvas(all.size());
                    canvas.fill(Qt::white);
                    QPainter painter(&canvas);
                    painter.drawPixmap(-all.topLeft(), window);
                    painter.drawPixmap(offset - all.topLeft(), popup);
                    painter.end();
                    menu->close();
                    ok &= save(canvas, out.filePath(QStringLiteral("editor-spelling.png")));
                } else {
                    std::fprintf(stderr, "the question box's context menu did not open\n");
                    ok = false;
                }
            } else {
                std::fprintf(stderr, "no spelling screenshot: %s\n",
                             checker ? qPrintable(checker->unavailableReason()) : "no checker");
            }
        }
        // A question whose picture file is missing, as the problem list finds it.
        if (zn::ProblemsArea* problems = program.problems()) {
            problems->panelAction()->trigger();
            settle();
            for (const auto& p : problems->panel().problems()) {
                if (p.kind != zn::problems::Kind::MissingPicture || p.questionPos < 1) continue;
                QTreeWidgetItem* node =
                    tree->topLevelItem(p.topicPos - 1)->child(p.questionPos - 1);
                problems->panelAction()->trigger();
                tree->setCurrentItem(node);
                form1.runCommand(zn::TForm1::Command::EditQuestion);
                settle();
                ok &=
                    save(form1.grab(), out.filePath(QStringLiteral("editor-missing-picture.png")));
                break;
            }
            if (problems->panel().isVisible()) problems->panelAction()->trigger();
        }
        form1.setEditorTabVisible(false);
    }

    // The open dialog as "Открыть базу данных" shows it (Qt's own dialog, in Russian), and a
    // message box with the standard buttons.
    {
        QFileDialog dialog(&form1, QString(), QDir::currentPath(),
                           zn::Modal::qtFilter(QString::fromUtf16(zn::TForm1::kDatabaseFilter)));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.show();
        settle();
        ok &= save(dialog.grab(), out.filePath(QStringLiteral("open-dialog.png")));
        dialog.hide();
        QMessageBox box(QMessageBox::Question, zn::appTitle(),
                        QStringLiteral("Стандартные кнопки Qt:"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, &form1);
        box.show();
        settle();
        ok &= save(box.grab(), out.filePath(QStringLiteral("message-box.png")));
        box.hide();
    }

    // The secondary windows are shown modelessly here so they can be grabbed.
    zn::TAboutBox& aboutBox = *program.aboutBox();
    aboutBox.show();
    settle();
    ok &= save(aboutBox.grab(), out.filePath(QStringLiteral("about.png")));
    aboutBox.hide();

    // showPicture sizes the window and goes through the seam (answered above); show it by hand.
    zn::TForm9& form9 = *program.form9();
    form9.showPicture(questionPicture(program.session().dataFolder));
    form9.show();
    settle();
    ok &= save(form9.grab(), out.filePath(QStringLiteral("picture.png")));
    form9.hide();

    // The topic dialog as "Добавить тему" fills it.
    if (zn::EditorArea* editor = program.editor()) {
        zn::TForm4& form4 = editor->form4();
        form4.setWindowTitle(QStringLiteral("Добавление темы"));
        form4.lbTema->setText(QString::number(editor->topics().nextTopicNumber()));
        form4.Edit1->setText(QStringLiteral("Электробезопасность"));
        form4.show();
        settle();
        ok &= save(form4.grab(), out.filePath(QStringLiteral("topic-dialog.png")));
        form4.hide();
    }

    // The information records dialog as "Информационные записи базы теста" fills it.
    if (zn::TForm5* form5 = program.form5(); form5 && program.datMod()->tbSettings.isOpen()) {
        form5->setValues(zn::readInfoRecords(*program.datMod()).values);
        form5->show();
        settle();
        ok &= save(form5->grab(), out.filePath(QStringLiteral("info-records.png")));
        form5->hide();
    }

    // The import of a malformed file: its message, in the general error report's box. The file
    // has a topic whose name begins with a digit; nothing is changed.
    {
        const QString bad = QDir::current().filePath(QStringLiteral("неверный.txt"));
        QFile file(bad);
        if (file.open(QIODevice::WriteOnly))
            file.write(zn::exchange::toWindows1251(QStringLiteral(
                "01.Электробезопасность\r\n\r\n01.01.Вопрос?\r\n1\r\n1.Да\r\n2.Нет\r\n\r\n"
                "02.1 класс\r\n\r\n")));
        file.close();
        QString reported;
        auto previous = zn::Modal::setResponder([&](const zn::ModalRequest& r) {
            if (r.kind == zn::ModalRequest::Kind::OpenFile) return zn::ModalAnswer{zn::Ok, bad, 0};
            if (r.kind == zn::ModalRequest::Kind::Message) reported = r.text;
            return zn::ModalAnswer{};
        });
        form1.runCommand(zn::TForm1::Command::Import);
        zn::Modal::setResponder(previous);
        std::printf("import message: %s\n", qPrintable(reported));
        QMessageBox box(QMessageBox::Critical, zn::appTitle(), reported, QMessageBox::Ok, &form1);
        box.show();
        settle();
        ok &= save(box.grab(), out.filePath(QStringLiteral("import-fault.png")));
        box.hide();
    }

    // Undo: a compaction (which takes a backup first), the "Правка" menu naming it, and the
    // list of backups "Восстановить из резервной копии…" shows.
    {
        form1.runCommand(zn::TForm1::Command::Compact);
        settle();
        ok &= save(form1.grab(), out.filePath(QStringLiteral("main-after-compaction.png")));
        if (QMenu* edit = form1.findChild<QMenu*>(QStringLiteral("MenuEdit"))) {
            edit->popup(form1.mapToGlobal(QPoint(60, 20)));
            settle();
            ok &= save(edit->grab(), out.filePath(QStringLiteral("menu-edit.png")));
            edit->hide();
        }
        zn::BackupsDialog backups(zn::listBackups(program.datMod()->Conn.fileName()), &form1);
        backups.show();
        settle();
        ok &= save(backups.grab(), out.filePath(QStringLiteral("backups.png")));
        backups.hide();
    }

    if (QScreen* screen = QGuiApplication::primaryScreen())
        ok &= save(screen->grabWindow(0), out.filePath(QStringLiteral("screen.png")));

    // The image list, enlarged, to check every icon at a glance.
    QPixmap sheet(zn::ImageList::kCount * 20 + 4, 44);
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        for (int i = 0; i < zn::ImageList::kCount; ++i) {
            p.drawPixmap(2 + i * 20, 2, zn::ImageList::pixmap(i));
            p.drawText(QRect(i * 20, 22, 20, 20), Qt::AlignCenter, QString::number(i));
        }
    }
    ok &= save(sheet, out.filePath(QStringLiteral("imagelist.png")));
    return ok ? 0 : 1;
}
