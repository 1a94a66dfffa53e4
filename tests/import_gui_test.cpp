// The import and export dialogs in the running program: the file dialog's filter says what the
// file is, replace or add is asked, the report lists what will come in and what will not, and
// the export writes chosen topics to another program's format. The database is looked at
// afterwards.
#include <QAction>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "bulk/importui.h"
#include "formats/moodlexml.h"
#include "tests/import_testing.h"

namespace {

using zn::ModalAnswer;
using zn::ModalRequest;

class ImportDialogs : public edtest::ProgramTest {
  protected:
    void trigger(const char* objectName) {
        QAction* a = form().findChild<QAction*>(QString::fromLatin1(objectName));
        ASSERT_NE(a, nullptr) << objectName;
        a->trigger();
    }
    QString path(const QString& name) const { return work + u'/' + name; }
    int treeNodes() {
        int n = 0;
        for (QTreeWidgetItemIterator it(form().treeDb()); *it; ++it) ++n;
        return n;
    }
    // Runs the import of `file` chosen with filter `filter`, adding or replacing; the report's
    // texts are kept and it is answered with `accept`.
    void runImport(const QString& file, int filter, bool add, bool accept) {
        modal->push(ModalAnswer{zn::Ok, file, 0, filter});
        modal->push(ModalAnswer{zn::Ok, {}, add ? 0 : 1});
        modal->push(ModalAnswer{zn::Ok, {}, accept ? 1 : 0});
        modal->onRequest = [this](const ModalRequest& r) {
            if (r.kind != ModalRequest::Kind::Window) return;
            auto* report = qobject_cast<zn::ImportReportDialog*>(r.window);
            ASSERT_NE(report, nullptr);
            summary = report->summary()->toPlainText();
            problems = report->problems()->toPlainText();
            importEnabled = report->importButton()->isEnabled();
        };
        trigger("ToolButton2");
        modal->onRequest = nullptr;
    }
    QString summary, problems;
    bool importEnabled = false;
};

// Moodle XML added to the bank: the report names the topics with their numbers and every
// question left out with its name and why; "Импортировать" brings in what fits as one undoable
// command, and the tree shows it.
TEST_F(ImportDialogs, TheReportListsWhatComesInAndWhatNotThenImportsWhatFits) {
    startOn({edtest::topic("Алгебра", 2)});
    const QByteArray before = bulktest::bytesOf(db);
    const QString xml = path("вопросы.xml");
    bulktest::writeBytes(
        xml,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n"
        "<question type=\"category\"><category><text>$course$/Алгебра</text></category>"
        "</question>\n"
        "<question type=\"multichoice\"><name><text>Хороший</text></name>"
        "<questiontext format=\"html\"><text><![CDATA[<p>2+2?</p>]]></text></questiontext>"
        "<single>true</single>"
        "<answer fraction=\"100\"><text>4</text></answer>"
        "<answer fraction=\"0\"><text>5</text></answer></question>\n"
        "<question type=\"multichoice\"><name><text>Два верных</text></name>"
        "<questiontext format=\"html\"><text>Чётные?</text></questiontext>"
        "<single>false</single>"
        "<answer fraction=\"50\"><text>2</text></answer>"
        "<answer fraction=\"50\"><text>4</text></answer>"
        "<answer fraction=\"0\"><text>3</text></answer></question>\n"
        "<question type=\"essay\"><name><text>Эссе</text></name>"
        "<questiontext format=\"html\"><text>Опишите</text></questiontext></question>\n"
        "</quiz>\n");

    runImport(xml, 1, true, false);  // cancelled in the report
    EXPECT_TRUE(
        summary.contains(QStringLiteral("Тема 1 «Алгебра», есть в базе: вопросов 1 "
                                        "(номер 3)")))
        << summary.toStdString();
    EXPECT_TRUE(problems.contains(QStringLiteral("«Два верных»"))) << problems.toStdString();
    EXPECT_TRUE(problems.contains(QStringLiteral("«Эссе»"))) << problems.toStdString();
    EXPECT_TRUE(importEnabled);
    EXPECT_EQ(bulktest::bytesOf(db), before);
    ASSERT_GE(modal->calls().size(), 3u);
    EXPECT_EQ(modal->calls()[1].kind, ModalRequest::Kind::Choice);

    modal->clear();
    runImport(xml, 1, true, true);
    const auto qs = file().questionsOf(1);
    ASSERT_EQ(qs.size(), 3u);
    EXPECT_EQ(qs[2].vopros, QStringLiteral("2+2?"));
    EXPECT_EQ(qs[2].otvet, 1);
    EXPECT_EQ(treeNodes(), 4);
    EXPECT_EQ(dm().history.undoLabel(), QStringLiteral("добавление вопросов"));
    EXPECT_EQ(dm().undo(), QString());
    EXPECT_EQ(bulktest::bytesOf(db), before);
}

// The filter chosen says what the file is: the same ".txt" is read as GIFT or as Aiken; a file
// with nothing to import leaves "Импортировать" off.
TEST_F(ImportDialogs, TheFileDialogsFilterDecidesTheFormat) {
    startOn({edtest::topic("Одна", 1)});
    const QString txt = path("вопросы.txt");
    bulktest::writeBytes(txt, "Сколько?\nA) 1\nB) 2\nANSWER: B\n");
    runImport(txt, 2, true, true);  // GIFT: no answer block
    EXPECT_FALSE(importEnabled);
    EXPECT_EQ(file().questions.size(), 1u);
    runImport(txt, 3, true, true);  // Aiken
    EXPECT_TRUE(importEnabled);
    const edtest::Snapshot f = file();
    ASSERT_EQ(f.topics.size(), 2u);
    EXPECT_EQ(f.topics[1].tema, QStringLiteral("вопросы"));
    EXPECT_EQ(f.questionsOf(2).size(), 1u);
}

// Replace from Moodle XML: the bank holds the file's questions only, topics numbered from 1.
TEST_F(ImportDialogs, ReplacingWithAMoodleFile) {
    startOn({edtest::topic("Старая", 2), edtest::topic("Ещё", 1)});
    zn::formats::QuestionSet set;
    set.questions = {importtest::question("Новая", "Один"), importtest::question("Новая", "Два")};
    const QString xml = path("замена.xml");
    bulktest::writeBytes(xml, zn::formats::writeMoodleXml(set).bytes);
    runImport(xml, -1, false, true);  // the format from the file's contents
    EXPECT_EQ(bulktest::view(file()).first(), QStringLiteral("T 1 [Новая] count 2"));
    EXPECT_EQ(file().questions.size(), 2u);
    EXPECT_EQ(treeNodes(), 3);
}

// Export of chosen topics to Moodle XML: the topics dialog decides which are written; the file
// reads back into those topics' questions.
TEST_F(ImportDialogs, ExportWritesTheChosenTopicsToMoodleXml) {
    startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", 1), edtest::topic("Третья", 1)});
    const QString xml = path("выгрузка.xml");
    modal->push(ModalAnswer{zn::Ok, xml, 0, 1});
    modal->push(ModalAnswer{zn::Ok, {}, 1});
    modal->onRequest = [](const ModalRequest& r) {
        if (r.kind != ModalRequest::Kind::Window) return;
        auto* topics = qobject_cast<zn::ExportTopicsDialog*>(r.window);
        ASSERT_NE(topics, nullptr);
        ASSERT_EQ(topics->list()->count(), 3);
        topics->list()->item(1)->setCheckState(Qt::Unchecked);
    };
    trigger("ToolButton10");
    modal->onRequest = nullptr;
    const zn::formats::ReadResult back = zn::formats::readMoodleXml(bulktest::bytesOf(xml));
    ASSERT_EQ(back.questions.size(), 3u);
    EXPECT_EQ(back.questions[0].topic, QStringLiteral("Первая"));
    EXPECT_EQ(back.questions[2].topic, QStringLiteral("Третья"));
    EXPECT_EQ(back.questions[0].answers.size(), 3u);
    EXPECT_EQ(back.questions[0].correct, 2);
    ASSERT_FALSE(messages().empty());
    EXPECT_TRUE(messages().back().contains(QStringLiteral("Записано вопросов: 3")));
}

}  // namespace
