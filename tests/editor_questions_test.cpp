// The question editor page and the question commands: opening the page, its controls, checking
// and saving it, deleting a question with the renumbering of its topic, and pictures. Driven
// through the main window's actions and the page's controls, with the database looked at
// afterwards.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "editor/editorarea.h"
#include "editor/picture.h"
#include "editor/questioncommands.h"
#include "editor/questioneditor.h"
#include "frame/guard.h"
#include "frame/tform1.h"
#include "frame/tform9.h"
#include "store/tdatmod.h"
#include "tests/editor_testing.h"
#include "tests/support/faultenv.h"

namespace {

using edtest::Q;
using edtest::T;
using zn::ModalAnswer;
using zn::ModalRequest;
using zn::QuestionCommands;
using zn::QuestionDraft;

// A 5 x 3 GIF87a (two colours), made with ImageMagick: convert -size 5x3 xc:red -fill blue
// -draw "point 0,0" gif87:t.gif. Qt writes no GIF, so the test carries one.
const unsigned char kGif5x3[] = {0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x05, 0x00, 0x03, 0x00,
                                 0xf0, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0x2c,
                                 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x03, 0x00, 0x00, 0x02,
                                 0x04, 0x0c, 0x8e, 0x99, 0x05, 0x00, 0x3b};

// A question of `answers` answers "Ответ q.a" (the correct one `correct`).
Q question(const QString& text, int answers, int correct = 1, const QString& img = {}) {
    Q q;
    q.text = text;
    q.correct = correct;
    q.img = img;
    for (int a = 1; a <= answers; ++a)
        q.answers.push_back(text + QStringLiteral(" / ответ ") + QString::number(a));
    return q;
}

// The columns the editor never writes, read straight from the file.
std::optional<Q::Kept> keptOf(const QString& path, qint64 id) {
    auto db = jet::Database::open(path.toStdString());
    jet::Table& t = db->table("Voprosi");
    auto c = [&](const char* n) { return size_t(t.columnIndex(n)); };
    for (auto sc = t.scan(); sc.next();) {
        const jet::Row& r = sc.row();
        if (std::get<int64_t>(r[c("id")]) != id) continue;
        Q::Kept k;
        k.pokaz = std::get<int64_t>(r[c("pokaz")]);
        k.status = std::get<int64_t>(r[c("status")]);
        k.reiting = std::get<double>(r[c("reiting")]);
        k.vopros1 = QString::fromStdU16String(std::get<std::u16string>(r[c("vopros1")]));
        return k;
    }
    return std::nullopt;
}

// The helpers are public so that the table cases' lambdas can use them.
class Questions : public edtest::ProgramTest {
  public:
    zn::QuestionEditor& ed() { return p->editor()->questionEditor(); }

    void trigger(const char* objectName) {
        QAction* a = form().findChild<QAction*>(QString::fromLatin1(objectName));
        ASSERT_NE(a, nullptr) << objectName;
        a->trigger();
    }
    void selectTopic(int k) {
        form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(k - 1));
    }
    void selectQuestion(int k, int q) {
        form().treeDb()->setCurrentItem(form().treeDb()->topLevelItem(k - 1)->child(q - 1));
    }
    QStringList treeCaptions() {
        QStringList out;
        for (QTreeWidgetItemIterator it(form().treeDb()); *it; ++it) out << (*it)->text(0);
        return out;
    }
    int editorTab() { return form().pageControl()->indexOf(form().editorPage()); }
    QString tabCaption() { return form().pageControl()->tabText(editorTab()); }
    bool pageShown() {
        return form().isEditorTabVisible() &&
               form().pageControl()->currentWidget() == form().editorPage();
    }
    // Rows of the answer area the page shows (by its own state, whatever its parents').
    int visibleRows() {
        int n = 0;
        for (QWidget* row : ed().Pan) n += row->isHidden() ? 0 : 1;
        return n;
    }
    // The answer whose tick column shows, 0 for none; checks that at most one does and that
    // it is the one with the marked colour.
    int tickedAnswer() {
        int ticked = 0;
        for (int k = 1; k <= 6; ++k) {
            const bool shown = !ed().PanImg[size_t(k - 1)]->isHidden();
            const QColor base = ed().MemOtv[size_t(k - 1)]->palette().color(QPalette::Base);
            EXPECT_EQ(base, shown ? zn::QuestionEditor::markedAnswerColour()
                                  : zn::QuestionEditor::answerColour())
                << k;
            if (shown) {
                EXPECT_EQ(ticked, 0) << "two ticks";
                ticked = k;
            }
        }
        return ticked;
    }
    int checkedSelector() {
        int checked = 0;
        for (int k = 1; k <= 6; ++k)
            if (ed().RB[size_t(k - 1)]->isChecked()) checked = checked ? -1 : k;
        return checked;
    }
    // Types into the page: the question, the answers (from answer 1), the count and the mark.
    void type(const QString& text, const std::vector<QString>& answers, int marked) {
        ed().MemVopr->setPlainText(text);
        for (size_t i = 0; i < answers.size(); ++i) ed().MemOtv[i]->setPlainText(answers[i]);
        ed().TrBar->setValue(int(answers.size()));
        if (marked) ed().RB[size_t(marked - 1)]->click();
    }
    void save() { ed().BitBtn4->click(); }
    // Writes `image` into the data folder as `name` in the format its extension names.
    void writePicture(const QString& name, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = work + QStringLiteral("/data/") + name;
        const QString ext = name.section(u'.', -1).toLower();
        if (ext == u"gif") {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(reinterpret_cast<const char*>(kGif5x3), sizeof kGif5x3);
            return;
        }
        ASSERT_TRUE(image.save(path, ext == u"jpeg" ? "JPG" : ext.toUpper().toLatin1().data()));
    }
    // What the next picture window showed: its picture's size and its own size.
    void watchPictureWindow() {
        shownPicture = {};
        modal->onRequest = [this](const ModalRequest& r) {
            if (r.kind != ModalRequest::Kind::Window) return;
            auto* w = static_cast<zn::TForm9*>(r.window);
            shownPicture = w->image1()->pixmap().size();
            shownWindow = w->size();
        };
    }
    std::vector<ModalRequest> boxes(zn::MsgIcon icon) {
        std::vector<ModalRequest> out;
        for (const ModalRequest& r : modal->calls())
            if (r.kind == ModalRequest::Kind::Message && r.icon == icon) out.push_back(r);
        return out;
    }

    QSize shownPicture, shownWindow;
};

// --- Opening the page

TEST_F(Questions, AddingOpensAnEmptyPageForTheNextNumber) {
    startOn({edtest::topic("Первая", 5), T{"Вторая", {question("С картинкой", 4, 2, "p.png")}}});
    writePicture("p.png", QSize(30, 20));
    // Editing a question with a picture first: its name stays in the box for the next add.
    selectQuestion(2, 1);
    trigger("Butvop2");
    ASSERT_EQ(ed().EdImage->text(), QStringLiteral("p.png"));

    trigger("Butvop1");
    EXPECT_EQ(ed().QuestionAddMode, 1);
    EXPECT_EQ(ed().QuestionEditMode, 0);
    EXPECT_EQ(ed().lbTema->text(), QStringLiteral("2"));
    EXPECT_EQ(ed().lbVopros->text(), QStringLiteral("2"));
    EXPECT_EQ(ed().edTema->text(), QStringLiteral("Вторая"));
    EXPECT_EQ(ed().TrBar->value(), 3);
    EXPECT_EQ(visibleRows(), 3);
    EXPECT_TRUE(ed().MemVopr->toPlainText().isEmpty());
    for (QPlainTextEdit* m : ed().MemOtv) EXPECT_TRUE(m->toPlainText().isEmpty());
    EXPECT_EQ(checkedSelector(), 1);
    EXPECT_EQ(tickedAnswer(), 1);
    EXPECT_TRUE(ed().RadioButton2->isChecked());
    EXPECT_TRUE(ed().GrImage->isHidden());
    EXPECT_TRUE(ed().EdImage->isHidden());
    EXPECT_TRUE(ed().BitBtn3->isHidden());
    EXPECT_TRUE(pageShown());
    EXPECT_EQ(tabCaption(), QStringLiteral("Добавление вопроса"));
    // "С изображением": the name is the edited question's, the thumbnail empty.
    ed().RadioButton1->click();
    EXPECT_EQ(ed().EdImage->text(), QStringLiteral("p.png"));
    EXPECT_TRUE(ed().Image7->pixmap().isNull());
    EXPECT_FALSE(ed().GrImage->isHidden());

    // From a topic node of 5 questions: number 6.
    selectTopic(1);
    trigger("Butvop1");
    EXPECT_EQ(ed().lbTema->text(), QStringLiteral("1"));
    EXPECT_EQ(ed().lbVopros->text(), QStringLiteral("6"));
    EXPECT_TRUE(modal->calls().empty());
}

TEST_F(Questions, EditingFillsThePageFromTheFile) {
    struct Case {
        Q q;
        int count;  // TrBar
        int ticked;
    } cases[] = {
        {question("Четыре ответа", 4, 2), 4, 2}, {question("Один ответ", 1, 1), 2, 1},
        {question("Семь ответов", 7, 7), 6, 0},  {question("Ответ ноль", 3, 0), 3, 0},
        {question("Ответ восемь", 3, 8), 3, 0},
    };
    T topic{"Тема", {}};
    for (const Case& c : cases) topic.questions.push_back(c.q);
    topic.questions[0].text = QStringLiteral("  \t Четыре ответа\r\nвторая строка \r\n");
    topic.questions[0].answers[1] = QStringLiteral("\r\n  второй  ");
    startOn({topic});
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        selectQuestion(1, int(i) + 1);
        trigger("Butvop2");
        EXPECT_EQ(ed().QuestionEditMode, 1);
        EXPECT_EQ(ed().QuestionAddMode, 0);
        EXPECT_EQ(ed().lbVopros->text(), QString::number(i + 1));
        EXPECT_EQ(ed().TrBar->value(), cases[i].count);
        EXPECT_EQ(visibleRows(), cases[i].count);
        EXPECT_EQ(tickedAnswer(), cases[i].ticked);
        EXPECT_EQ(checkedSelector(), cases[i].ticked);
        EXPECT_FALSE(ed().PanOtv->isHidden());
        EXPECT_FALSE(ed().GroupBox4->isHidden());
        EXPECT_TRUE(pageShown());
        EXPECT_EQ(tabCaption(), QStringLiteral("Редактирование вопроса"));
    }
    // Trimmed texts, inner line breaks kept; the second box of a one-answer question empty.
    selectQuestion(1, 1);
    trigger("Butvop2");
    EXPECT_EQ(ed().MemVopr->toPlainText(), QStringLiteral("Четыре ответа\nвторая строка"));
    EXPECT_EQ(ed().MemOtv[1]->toPlainText(), QStringLiteral("второй"));
    selectQuestion(1, 2);
    trigger("Butvop2");
    EXPECT_TRUE(ed().MemOtv[1]->toPlainText().isEmpty());
    // "Скрыть" then "Редактировать вопрос" again: the file's contents, not the unsaved ones.
    ed().MemVopr->setPlainText(QStringLiteral("не сохранено"));
    ed().BitBtn7->click();
    EXPECT_FALSE(form().isEditorTabVisible());
    EXPECT_EQ(form().pageControl()->currentWidget(), form().previewPage());
    trigger("Butvop2");
    EXPECT_EQ(ed().MemVopr->toPlainText(), QStringLiteral("Один ответ"));
}

TEST_F(Questions, TheControlsFollowTheirRules) {
    startOn({edtest::topic("Тема", 1)});
    trigger("Butvop1");
    type(QStringLiteral("В"), {"1", "2", "3", "4", "5"}, 0);
    EXPECT_EQ(visibleRows(), 5);
    // Moving the count from 5 to 2 and back keeps the hidden rows' texts.
    ed().TrBar->setValue(2);
    EXPECT_EQ(visibleRows(), 2);
    ed().TrBar->setValue(5);
    EXPECT_EQ(visibleRows(), 5);
    EXPECT_EQ(ed().MemOtv[4]->toPlainText(), QStringLiteral("5"));
    // The count's label is blue and bold, the others black and regular.
    for (int n = 2; n <= 6; ++n) {
        QLabel* label = ed().lb[size_t(n - 2)];
        EXPECT_EQ(label->font().bold(), n == 5) << n;
        EXPECT_EQ(label->palette().color(QPalette::WindowText),
                  n == 5 ? QColor(Qt::blue) : QColor(Qt::black))
            << n;
    }
    // Marking: one at a time; clicking the marked one leaves it marked.
    ed().RB[3]->click();
    EXPECT_EQ(checkedSelector(), 4);
    EXPECT_EQ(tickedAnswer(), 4);
    ed().RB[3]->click();
    EXPECT_EQ(checkedSelector(), 4);
    // The picture switch: one of the two, the picture row with it.
    ed().RadioButton1->click();
    EXPECT_FALSE(ed().RadioButton2->isChecked());
    EXPECT_FALSE(ed().EdImage->isHidden());
    ed().EdImage->setText(QStringLiteral("x.png"));
    ed().RadioButton2->click();
    EXPECT_TRUE(ed().EdImage->isHidden());
    EXPECT_EQ(ed().EdImage->text(), QStringLiteral("x.png"));
    // A tree selection empties the name box and shows the answer area, nothing else.
    ed().PanOtv->hide();
    selectTopic(1);
    EXPECT_TRUE(ed().EdImage->text().isEmpty());
    EXPECT_FALSE(ed().PanOtv->isHidden());
    EXPECT_EQ(ed().MemVopr->toPlainText(), QStringLiteral("В"));
    EXPECT_EQ(ed().QuestionAddMode, 1);
    EXPECT_TRUE(pageShown());
}

TEST_F(Questions, ClickingTheLabelOfTheCurrentCountChangesNothing) {
    startOn({edtest::topic("Тема", 1)});
    trigger("Butvop1");
    ed().TrBar->setValue(4);
    int changes = 0;
    QObject::connect(ed().TrBar, &QSlider::valueChanged, [&] { ++changes; });
    ed().lb4Click();
    EXPECT_EQ(changes, 0);
    ed().lb6Click();
    EXPECT_EQ(ed().TrBar->value(), 6);
    EXPECT_EQ(visibleRows(), 6);
    EXPECT_EQ(changes, 1);
}

// --- Checking and saving

TEST_F(Questions, AnIncompletePageGetsOneBoxPerMissingItemAndNothingIsWritten) {
    startOn({edtest::topic("Тема", 2)});
    const auto bytes = zntest::readFile(db.toStdString());
    trigger("Butvop1");
    ed().RadioButton1->click();
    ed().EdImage->setText(QStringLiteral(" \t"));
    ed().MemVopr->setPlainText(QStringLiteral(" \n \t "));
    ed().TrBar->setValue(2);
    ed().RB[0]->setChecked(false);
    modal->clear();
    save();
    std::vector<QString> shown;
    for (const ModalRequest& r : modal->calls()) {
        EXPECT_EQ(r.caption, QStringLiteral("Ошибка"));
        EXPECT_EQ(r.icon, zn::MsgIcon::Exclamation);
        EXPECT_EQ(r.buttons, unsigned(zn::Ok));
        shown.push_back(r.text);
    }
    EXPECT_EQ(shown, (std::vector<QString>{
                         "Не заполнено поле \"Изображение\"", "Не заполнено поле \"Вопрос\"",
                         "Не заполнено поле \"Ответ 1\"", "Не заполнено поле \"Ответ 2\"",
                         "Необходимо выбрать правильный ответ"}));
    EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);
    EXPECT_TRUE(pageShown());
    EXPECT_EQ(ed().MemVopr->toPlainText(), QStringLiteral(" \n \t "));
}

// The checks as a table over drafts, without widgets.
TEST(QuestionChecks, MessagesInOrder) {
    QuestionDraft full;
    full.mode = QuestionDraft::Mode::Add;
    full.question = QStringLiteral("Вопрос");
    full.answers = {"1", "2", "3", "4", "5", "6"};
    full.answerCount = 3;
    full.marked = 1;
    const QString noPicture = QStringLiteral("Не заполнено поле \"Изображение\"");
    const QString noMark = QStringLiteral("Необходимо выбрать правильный ответ");
    struct Case {
        const char* what;
        std::function<void(QuestionDraft&)> change;
        QStringList messages;
    } cases[] = {
        {"complete", [](QuestionDraft&) {}, {}},
        {"blanks and line breaks only",
         [](QuestionDraft& d) { d.question = QStringLiteral(" \r\n\t\v\x01 "); },
         {"Не заполнено поле \"Вопрос\""}},
        {"no picture check without a picture", [](QuestionDraft& d) { d.picture = QString(); }, {}},
        {"picture name empty",
         [](QuestionDraft& d) {
             d.withPicture = true;
             d.picture = QStringLiteral("  ");
         },
         {noPicture}},
        {"answers above N are not looked at",
         [](QuestionDraft& d) { d.answers[3] = d.answers[4] = d.answers[5] = QString(); },
         {}},
        {"answer 3 of 3 empty",
         [](QuestionDraft& d) { d.answers[2] = QString(); },
         {"Не заполнено поле \"Ответ 3\""}},
        {"answer 6 of 6 empty",
         [](QuestionDraft& d) {
             d.answerCount = 6;
             d.answers[5] = QStringLiteral("\r\n");
         },
         {"Не заполнено поле \"Ответ 6\""}},
        {"only RB5 with N = 3", [](QuestionDraft& d) { d.marked = 5; }, {noMark}},
        {"none marked", [](QuestionDraft& d) { d.marked = 0; }, {noMark}},
        {"a picture name of 10 characters fits",
         [](QuestionDraft& d) {
             d.withPicture = true;
             d.picture = QStringLiteral(" abcdef.png ");
         },
         {}},
        {"a picture name over 10 characters, in order with the others",
         [](QuestionDraft& d) {
             d.withPicture = true;
             d.picture = QStringLiteral("abcdefg.jpeg");
             d.question = QString();
         },
         {"Имя файла изображения \"abcdefg.jpeg\" длиннее 10 символов (в нём 12): в базе оно "
          "не поместится. Переименуйте файл.",
          "Не заполнено поле \"Вопрос\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QuestionDraft d = full;
        c.change(d);
        EXPECT_EQ(QuestionCommands::check(d), c.messages);
    }
}

// The commands need no window and no tree: a data module, a feedback and a rebuild callback.
// The question counts are right in the file after each command even with no tree to rebuild.
TEST(QuestionCommandsAlone, SaveAndDeleteOnADataModule) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bank.mdb"));
    edtest::makeBank(path, {edtest::topic("Первая", 2), edtest::topic("Вторая", 1)});
    struct Recorder : zn::Feedback {
        QStringList boxes;
        void message(Box kind, const QString& text) override {
            EXPECT_EQ(kind, Box::Error);
            boxes << text;
        }
    } feedback;
    int rebuilt = 0;
    {
        zn::TDatMod dm;
        dm.connectTo(path);
        dm.qrtema.open();
        QuestionCommands commands(dm, feedback, [&] { ++rebuilt; });
        QuestionDraft d = *commands.draftForNew();
        EXPECT_EQ(d.topicNumber, 1);
        EXPECT_EQ(d.questionNumber, 3);
        EXPECT_FALSE(commands.save(d));
        EXPECT_EQ(feedback.boxes.size(), 4);  // the question and answers 1..3
        EXPECT_EQ(rebuilt, 0);
        d.question = QStringLiteral("Третий");
        d.answers = {"а", "б", "в", "", "", ""};
        EXPECT_TRUE(commands.save(d));
        EXPECT_EQ(rebuilt, 1);
        // The first question of topic 1 goes; the new one becomes number 2.
        dm.qrtema.first();
        dm.qrvoprosi.first();
        commands.deleteQuestion();
        EXPECT_EQ(rebuilt, 2);
    }
    const auto f = edtest::readBank(path);
    std::vector<std::pair<qint64, QString>> got;
    for (const auto& q : f.questionsOf(1)) got.emplace_back(q.idvopr, q.vopros);
    EXPECT_EQ(got, (std::vector<std::pair<qint64, QString>>{{1, "Вопрос 1.2"}, {2, "Третий"}}));
    EXPECT_EQ(f.topics[0].kolvopr, 2);
    EXPECT_EQ(f.topics[1].kolvopr, 1);
    EXPECT_TRUE(zntest::readersAgree(path.toStdString()));
}

TEST(QuestionChecks, TrimmingTakesCodes0To32AtBothEndsOnly) {
    using namespace std::string_literals;
    EXPECT_EQ(zn::trimmedText(QString::fromStdU16String(u"\0\x01 \t\r\nа\r\nб \x20\0"s)),
              QStringLiteral("а\r\nб"));
    // A no-break space (160) is text.
    EXPECT_EQ(zn::trimmedText(QString::fromUtf16(u"\u00a0x\u00a0")),
              QString::fromUtf16(u"\u00a0x\u00a0"));
    EXPECT_EQ(zn::trimmedText(QStringLiteral(" \r\n ")), QString());
}

TEST_F(Questions, AnEditSavedWithFewerAnswersKeepsWhatTheEditorNeverWrites) {
    T topic = edtest::topic("Тема", 3);
    topic.questions[1] = question("Пять ответов", 5, 4, "p.png");
    topic.questions[1].kept = Q::Kept{7, 3, 2.5, QStringLiteral("служебное")};
    startOn({topic, edtest::topic("Другая", 1)});
    const auto before = file();
    const zn::Question old = before.questionsOf(1)[1];
    selectQuestion(1, 2);
    writePicture("p.png", QSize(8, 8));
    trigger("Butvop2");
    ed().MemVopr->setPlainText(QStringLiteral("  Новый текст\nвторая строка\n\n"));
    ed().TrBar->setValue(3);
    ed().MemOtv[0]->setPlainText(QStringLiteral("\tпервый "));
    ed().RB[1]->click();
    ed().RadioButton2->click();  // "Без изображения": img is written empty, whatever the box holds
    EXPECT_EQ(ed().EdImage->text(), QStringLiteral("p.png"));
    save();
    EXPECT_TRUE(modal->calls().empty());

    const auto after = file();
    ASSERT_EQ(after.questions.size(), before.questions.size());
    const zn::Question q = after.questionsOf(1)[1];
    EXPECT_EQ(q.id, old.id);
    EXPECT_EQ(q.idtest, 1);
    EXPECT_EQ(q.idvopr, 2);
    EXPECT_EQ(q.vopros, QStringLiteral("Новый текст\r\nвторая строка"));
    EXPECT_EQ(q.otvet, 2);
    EXPECT_EQ(q.kolotvet, 3);
    EXPECT_EQ(q.img, QString());
    const auto kept = keptOf(db, q.id);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->pokaz, 7);
    EXPECT_EQ(kept->status, 3);
    EXPECT_EQ(kept->reiting, 2.5);
    EXPECT_EQ(kept->vopros1, QStringLiteral("служебное"));
    const auto answers = after.answersOf(q.id);
    ASSERT_EQ(answers.size(), 3u);
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(answers[size_t(k - 1)].idotv, k);
    EXPECT_EQ(answers[0].otvet, QStringLiteral("первый"));
    EXPECT_EQ(answers[1].otvet, QStringLiteral("Пять ответов / ответ 2"));
    EXPECT_EQ(after.answers.size(), before.answers.size() - 2);
    // No other question or answer changed.
    for (const auto& a : before.answers)
        if (a.idvopr != q.id) {
            auto it = std::find_if(after.answers.begin(), after.answers.end(),
                                   [&](const auto& b) { return b.id == a.id; });
            ASSERT_NE(it, after.answers.end());
            EXPECT_EQ(it->otvet, a.otvet);
        }
    // The page is hidden, the tree rebuilt on its first node, the bar at 0.
    EXPECT_FALSE(form().isEditorTabVisible());
    EXPECT_EQ(form().treeDb()->currentItem(), form().treeDb()->topLevelItem(0)->child(0));
    EXPECT_EQ(form().progBar1()->value(), 0);
}

TEST_F(Questions, ANewQuestionJoinsItsTopicWithTheNextNumber) {
    struct Case {
        int existing;
        int number;
    } cases[] = {{0, 1}, {4, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.existing);
        p.reset();
        QFile::remove(db);
        startOn({edtest::topic("Первая", 2), edtest::topic("Вторая", c.existing)});
        selectTopic(2);
        trigger("Butvop1");
        EXPECT_EQ(ed().lbVopros->text(), QString::number(c.number));
        ed().RadioButton1->click();
        ed().EdImage->setText(QStringLiteral(" cat.png "));
        type(QStringLiteral("Новый вопрос"), {"а", "б", "в", "г"}, 3);
        save();
        EXPECT_TRUE(modal->calls().empty());
        const auto f = file();
        const auto qs = f.questionsOf(2);
        ASSERT_EQ(qs.size(), size_t(c.number));
        const zn::Question& q = qs.back();
        EXPECT_EQ(q.idvopr, c.number);
        EXPECT_EQ(q.vopros, QStringLiteral("Новый вопрос"));
        EXPECT_EQ(q.otvet, 3);
        EXPECT_EQ(q.kolotvet, 4);
        EXPECT_EQ(q.img, QStringLiteral("cat.png"));
        const auto answers = f.answersOf(q.id);
        ASSERT_EQ(answers.size(), 4u);
        EXPECT_EQ(answers[3].otvet, QStringLiteral("г"));
        EXPECT_EQ(f.topics[1].kolvopr, c.number);
        EXPECT_EQ(f.questionsOf(1).size(), 2u);
        EXPECT_EQ(form().treeDb()->topLevelItem(1)->childCount(), c.number);
    }
}

// The save writes what the page was opened for, whatever happened in the tree meanwhile.
TEST_F(Questions, TheSaveIsBoundToWhatThePageWasOpenedFor) {
    const std::vector<T> bank = {edtest::topic("Один", 3), edtest::topic("Два", 4),
                                 edtest::topic("Три", 2)};
    struct Case {
        const char* what;
        bool edit;
        int topic, question;  // what the page is opened on
        std::function<void(Questions&)> meanwhile;
        QString refused;              // the "Ошибка" box, empty: saved
        int savedTopic, savedNumber;  // where the saved question is then
    } cases[] = {
        {"edit, another question selected",
         true,
         1,
         2,
         [](Questions& t) { t.selectQuestion(2, 3); },
         {},
         1,
         2},
        {"add, another topic selected",
         false,
         2,
         0,
         [](Questions& t) { t.selectTopic(3); },
         {},
         2,
         5},
        {"edit, the question deleted", true, 2, 3, [](Questions& t) { t.trigger("Butvop3"); },
         "Вопрос, открытый для редактирования, уже удалён из базы, поэтому записать его нельзя.", 0,
         0},
        {"add, the topic deleted", false, 2, 0,
         [](Questions& t) {
             t.selectTopic(2);
             t.trigger("Buttem3");
         },
         "Тема, в которую добавлялся вопрос, уже удалена из базы, поэтому записать вопрос "
         "нельзя.",
         0, 0},
        {"edit, its topic renumbered",
         true,
         3,
         2,
         [](Questions& t) {
             t.selectTopic(1);
             t.trigger("Buttem3");
         },
         {},
         2,
         2},
        {"add, a question of the topic deleted",
         false,
         2,
         0,
         [](Questions& t) {
             t.selectQuestion(2, 2);
             t.trigger("N6");
         },
         {},
         2,
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        p.reset();
        QFile::remove(db);
        startOn(bank);
        qint64 editedId = 0;
        if (c.edit) {
            selectQuestion(c.topic, c.question);
            editedId = dm().qrvoprosi.asInteger("id");
            trigger("Butvop2");
        } else {
            selectTopic(c.topic);
            trigger("Butvop1");
        }
        ed().MemVopr->setPlainText(QStringLiteral("Сохраняемый"));
        ed().MemOtv[0]->setPlainText(QStringLiteral("а"));
        ed().MemOtv[1]->setPlainText(QStringLiteral("б"));
        ed().MemOtv[2]->setPlainText(QStringLiteral("в"));
        c.meanwhile(*this);
        ASSERT_TRUE(modal->calls().empty());
        const auto before = file();
        const QStringList tree = treeCaptions();
        const QTreeWidgetItem* selected = form().treeDb()->currentItem();
        save();
        const auto after = file();
        if (!c.refused.isEmpty()) {
            ASSERT_EQ(modal->calls().size(), 1u);
            EXPECT_EQ(modal->calls()[0].caption, QStringLiteral("Ошибка"));
            EXPECT_EQ(modal->calls()[0].text, c.refused);
            EXPECT_EQ(after.questions.size(), before.questions.size());
            EXPECT_EQ(after.answers.size(), before.answers.size());
            EXPECT_TRUE(pageShown());
            EXPECT_EQ(ed().MemVopr->toPlainText(), QStringLiteral("Сохраняемый"));
            EXPECT_EQ(treeCaptions(), tree);
            EXPECT_EQ(form().treeDb()->currentItem(), selected);
            continue;
        }
        EXPECT_TRUE(modal->calls().empty());
        const auto qs = after.questionsOf(c.savedTopic);
        auto it = std::find_if(qs.begin(), qs.end(), [](const zn::Question& q) {
            return q.vopros == QStringLiteral("Сохраняемый");
        });
        ASSERT_NE(it, qs.end());
        EXPECT_EQ(it->idvopr, c.savedNumber);
        if (c.edit) {
            EXPECT_EQ(it->id, editedId);
        }
        // Exactly one question carries the text: nothing landed elsewhere.
        EXPECT_EQ(std::count_if(after.questions.begin(), after.questions.end(),
                                [](const auto& q) { return q.vopros == u"Сохраняемый"; }),
                  1);
        // Every topic still numbered 1..n.
        for (const auto& t : after.topics) {
            const auto tq = after.questionsOf(t.numtema);
            for (size_t i = 0; i < tq.size(); ++i) EXPECT_EQ(tq[i].idvopr, qint64(i) + 1);
            EXPECT_EQ(t.kolvopr, qint64(tq.size()));
        }
    }
}

// Ids mean nothing in another database: a page opened before another database was opened is
// not saved into it.
TEST_F(Questions, APageOpenedOnAnotherDatabaseIsNotSaved) {
    startOn({edtest::topic("Первая", 2)});
    const QString other = work + QStringLiteral("/другая.mdb");
    edtest::makeBank(other, {edtest::topic("Чужая", 2)});
    const auto bytes = zntest::readFile(other.toStdString());
    const auto mine = zntest::readFile(db.toStdString());
    selectQuestion(1, 1);
    trigger("Butvop2");
    ed().MemVopr->setPlainText(QStringLiteral("Не туда"));
    modal->push(ModalAnswer{zn::Ok, other, 0});
    trigger("ToolButton9");
    modal->clear();
    save();
    ASSERT_EQ(modal->calls().size(), 1u);
    EXPECT_EQ(modal->calls()[0].caption, QStringLiteral("Ошибка"));
    EXPECT_TRUE(modal->calls()[0].text.contains(db)) << modal->calls()[0].text.toStdString();
    EXPECT_EQ(zntest::readFile(other.toStdString()), bytes);
    EXPECT_EQ(zntest::readFile(db.toStdString()), mine);
    EXPECT_TRUE(pageShown());
}

// A failed write leaves the file and the tree as they were, the page open with what was typed,
// and the cursors on the selected question (so the next command acts on it).
TEST_F(Questions, AFailedSaveChangesNothing) {
    edtest::makeBank(db, {edtest::topic("Один", 2), edtest::topic("Два", 3)});
    const auto bytes = zntest::readFile(db.toStdString());
    for (int k : {1, 2, 5}) {
        SCOPED_TRACE(k);
        zntest::FaultEnv env(0);
        restartThrough(env);
        selectQuestion(1, 1);
        trigger("Butvop2");
        selectQuestion(2, 3);
        const qint64 selectedId = dm().qrvoprosi.asInteger("id");
        const QStringList tree = treeCaptions();
        ed().MemVopr->setPlainText(QStringLiteral("Не запишется"));
        env = zntest::FaultEnv(k, false);
        modal->clear();
        save();
        ASSERT_EQ(boxes(zn::MsgIcon::Stop).size(), 1u);
        EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);
        EXPECT_EQ(treeCaptions(), tree);
        EXPECT_TRUE(pageShown());
        EXPECT_EQ(ed().MemVopr->toPlainText(), QStringLiteral("Не запишется"));
        EXPECT_EQ(dm().qrvoprosi.asInteger("id"), selectedId);
        p.reset();
    }
}

// --- Deleting

TEST_F(Questions, DeletingQuestion2Of5RenumbersTheRestAndKeepsTheirAnswers) {
    T topic{"Тема", {}};
    for (int q = 1; q <= 5; ++q)
        topic.questions.push_back(question(QStringLiteral("В%1").arg(q), q % 5 + 2, q % 2 + 1));
    startOn({topic, edtest::topic("Другая", 2)});
    const auto before = file();
    selectQuestion(1, 2);
    modal->clear();
    trigger("Butvop3");
    EXPECT_TRUE(modal->calls().empty());
    const auto after = file();
    const auto old = before.questionsOf(1);
    const auto now = after.questionsOf(1);
    ASSERT_EQ(now.size(), 4u);
    for (size_t i = 0; i < now.size(); ++i) {
        const zn::Question& was = old[i < 1 ? i : i + 1];
        EXPECT_EQ(now[i].id, was.id);
        EXPECT_EQ(now[i].idvopr, qint64(i) + 1);
        EXPECT_EQ(now[i].vopros, was.vopros);
        EXPECT_EQ(now[i].otvet, was.otvet);
        const auto a = after.answersOf(was.id), b = before.answersOf(was.id);
        ASSERT_EQ(a.size(), b.size());
        for (size_t k = 0; k < a.size(); ++k) EXPECT_EQ(a[k].id, b[k].id);
    }
    EXPECT_TRUE(after.answersOf(old[1].id).empty());
    EXPECT_EQ(after.answers.size(), before.answers.size() - before.answersOf(old[1].id).size());
    EXPECT_EQ(after.topics[0].kolvopr, 4);
    EXPECT_EQ(form().treeDb()->topLevelItem(0)->childCount(), 4);
    EXPECT_EQ(form().treeDb()->currentItem(), form().treeDb()->topLevelItem(0)->child(0));
    EXPECT_EQ(form().progBar1()->value(), 0);
}

TEST_F(Questions, DeletingClosesEveryGapAndRepetition) {
    // Numbers 1, 2, 4, 4, 9: deleting number 2 leaves 1, 4, 4, 9, which become 1, 2, 3, 4 (of
    // the two 4s, the one stored first gets 2).
    T topic{"Тема", {}};
    for (int n : {1, 2, 4, 4, 9}) {
        Q q = question(QStringLiteral("Номер %1").arg(n), 2);
        q.number = n;
        topic.questions.push_back(q);
    }
    topic.questions[3].text = QStringLiteral("Вторая четвёрка");
    startOn({topic});
    selectQuestion(1, 2);
    trigger("N6");
    std::vector<std::pair<qint64, QString>> got;
    for (const auto& q : file().questionsOf(1)) got.emplace_back(q.idvopr, q.vopros);
    EXPECT_EQ(got, (std::vector<std::pair<qint64, QString>>{
                       {1, "Номер 1"}, {2, "Номер 4"}, {3, "Вторая четвёрка"}, {4, "Номер 9"}}));
}

TEST_F(Questions, DeletingTheOnlyQuestionLeavesTheTopicEmpty) {
    startOn({edtest::topic("Одна", 1), edtest::topic("Вторая", 1)});
    selectQuestion(1, 1);
    trigger("Butvop3");
    const auto f = file();
    ASSERT_EQ(f.topics.size(), 2u);
    EXPECT_EQ(f.topics[0].kolvopr, 0);
    EXPECT_TRUE(f.questionsOf(1).empty());
    EXPECT_EQ(f.questionsOf(2).size(), 1u);
    EXPECT_EQ(form().treeDb()->topLevelItem(0)->childCount(), 0);
}

// Editing and deleting act on a selected question only; adding needs a topic.
TEST_F(Questions, WithoutASelectedQuestionEditAndDeleteDoNothing) {
    startOn({});
    const auto bytes = zntest::readFile(db.toStdString());
    for (const char* name : {"Butvop2", "Butvop3", "N6"}) trigger(name);
    EXPECT_TRUE(modal->calls().empty());
    EXPECT_FALSE(form().isEditorTabVisible());
    // With no topic the button is off; run anyway, the command says why.
    EXPECT_FALSE(form().butvop1()->isEnabled());
    form().runCommand(zn::Command::AddQuestion);
    ASSERT_EQ(modal->calls().size(), 1u);
    EXPECT_EQ(modal->calls()[0].caption, QStringLiteral("Ошибка"));
    EXPECT_FALSE(form().isEditorTabVisible());
    EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);

    // A topic node selected: the commands are off, and run anyway they do nothing.
    p.reset();
    QFile::remove(db);
    startOn({edtest::topic("Тема", 3)});
    selectTopic(1);
    const auto bytes2 = zntest::readFile(db.toStdString());
    EXPECT_FALSE(form().butvop3()->isEnabled());
    form().runCommand(zn::TForm1::Command::DeleteQuestion);
    form().runCommand(zn::TForm1::Command::EditQuestion);
    EXPECT_FALSE(form().isEditorTabVisible());
    EXPECT_EQ(zntest::readFile(db.toStdString()), bytes2);
}

// --- Pictures

TEST_F(Questions, PicturesOfEachFormatLoadAtTheirOwnSize) {
    struct Case {
        QString name;
        QSize size;
    } cases[] = {
        {"a.bmp", {31, 17}},  {"b.png", {40, 25}}, {"c.jpg", {16, 16}},
        {"d.jpeg", {24, 12}}, {"e.gif", {5, 3}},   {"F.PNG", {9, 11}},
    };
    T topic{"Картинки", {}};
    for (const Case& c : cases) topic.questions.push_back(question(c.name, 2, 1, c.name));
    startOn({topic});
    for (const Case& c : cases) writePicture(c.name, c.size);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name.toStdString());
        selectQuestion(1, int(i) + 1);
        trigger("Butvop2");
        ASSERT_TRUE(boxes(zn::MsgIcon::Stop).empty())
            << boxes(zn::MsgIcon::Stop)[0].text.toStdString();
        EXPECT_TRUE(ed().RadioButton1->isChecked());
        EXPECT_FALSE(ed().GrImage->isHidden());
        EXPECT_EQ(ed().EdImage->text(), cases[i].name);
        EXPECT_EQ(ed().Image7->pixmap().size(), cases[i].size);
        watchPictureWindow();
        ed().Image7DblClick();
        EXPECT_EQ(shownPicture, cases[i].size);
        EXPECT_EQ(shownWindow, cases[i].size + QSize(7, 33));
        modal->clear();
    }
}

TEST_F(Questions, APictureThatCannotBeLoadedStopsTheOpening) {
    startOn({T{"Тема",
               {question("Нет файла", 4, 2, "none.png"), question("Неизвестный", 2, 1, "p.tif"),
                question("Испорчен", 2, 1, "bad.jpg"), question("Без картинки", 2, 1)}}});
    {
        QFile bad(work + QStringLiteral("/data/bad.jpg"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("not a picture at all");
    }
    writePicture("p.tif", QSize(4, 4));
    const QString data = form().session().dataFolder;
    struct Case {
        int question;
        QString message;
    } cases[] = {
        {2, "Unknown picture file extension (.tif)"},
        {3, "The picture file \"" + data + "bad.jpg\" cannot be read as JPEG: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question);
        // The page is hidden, or open on another question.
        const bool openBefore = c.question == 3;
        if (openBefore) {
            selectQuestion(1, 4);
            trigger("Butvop2");
            ed().EdImage->setText(QStringLiteral("прежнее"));
        }
        const QString caption = tabCaption();
        const int count = ed().TrBar->value();
        selectQuestion(1, c.question);
        ed().EdImage->setText(QStringLiteral("прежнее"));
        modal->clear();
        trigger("Butvop2");
        const auto stops = boxes(zn::MsgIcon::Stop);
        ASSERT_EQ(stops.size(), 1u);
        EXPECT_TRUE(stops[0].text.startsWith(c.message)) << stops[0].text.toStdString();
        EXPECT_EQ(ed().QuestionEditMode, 1);
        EXPECT_EQ(ed().EdImage->text(), QStringLiteral("прежнее"));
        EXPECT_TRUE(ed().PanOtv->isHidden());
        EXPECT_EQ(ed().TrBar->value(), count);
        EXPECT_EQ(form().isEditorTabVisible(), openBefore);
        EXPECT_EQ(tabCaption(), caption);
        // The half-filled page is not saved.
        const auto bytes = zntest::readFile(db.toStdString());
        modal->clear();
        ed().BitBtn4Click();
        ASSERT_EQ(modal->calls().size(), 1u);
        EXPECT_EQ(modal->calls()[0].caption, QStringLiteral("Ошибка"));
        EXPECT_EQ(zntest::readFile(db.toStdString()), bytes);
        form().setEditorTabVisible(false);
    }
    // The picture window: nothing with an empty name box; the file's error otherwise.
    selectQuestion(1, 4);
    trigger("Butvop1");
    modal->clear();
    zn::runGuarded([this] { ed().Image7DblClick(); });
    EXPECT_TRUE(modal->calls().empty());
    ed().EdImage->setText(QStringLiteral("none.bmp"));
    zn::runGuarded([this] { ed().Image7DblClick(); });
    ASSERT_EQ(modal->calls().size(), 1u);
    EXPECT_EQ(modal->calls()[0].icon, zn::MsgIcon::Stop);
    EXPECT_TRUE(modal->calls()[0].text.startsWith(QStringLiteral("Cannot open file")));
}

// A question whose picture file is missing opens all the same, saying so in the picture's
// place; the teacher chooses another picture, or none, and saves.
TEST_F(Questions, AQuestionWhosePictureIsMissingOpensAndTakesAnotherOrNone) {
    startOn({T{"Тема", {question("Нет файла", 3, 2, "none.png"), question("Второй", 2, 1, "")}}});
    writePicture("new.png", QSize(8, 6));
    for (bool another : {true, false}) {
        SCOPED_TRACE(another ? "another picture" : "no picture");
        selectQuestion(1, 1);
        modal->clear();
        trigger("Butvop2");
        EXPECT_TRUE(modal->calls().empty());
        ASSERT_TRUE(pageShown());
        if (another) {
            EXPECT_EQ(ed().Image7->text(), QStringLiteral("Рисунок «none.png» не найден"));
            EXPECT_EQ(ed().EdImage->text(), QStringLiteral("none.png"));
            ed().EdImage->setText(QStringLiteral("new.png"));
        } else {
            ed().RadioButton2->click();
        }
        save();
        EXPECT_TRUE(boxes(zn::MsgIcon::Exclamation).empty());
        EXPECT_EQ(file().questionsOf(1)[0].img, another ? QStringLiteral("new.png") : QString());
        if (another) {
            // Now found: the thumbnail shows it.
            selectQuestion(1, 1);
            trigger("Butvop2");
            EXPECT_TRUE(ed().Image7->text().isEmpty());
            EXPECT_FALSE(ed().Image7->pixmap().isNull());
            form().setEditorTabVisible(false);
            // Back to a missing one for the second round.
            QFile::rename(work + QStringLiteral("/data/new.png"), work + QStringLiteral("/data/x"));
        }
    }
}

// Tab and Shift+Tab move between the question and the answer boxes; a tab pasted in is kept.
TEST_F(Questions, TabMovesBetweenTheBoxesAndAPastedTabStays) {
    startOn({edtest::topic("Тема", 1)});
    selectTopic(1);
    trigger("Butvop1");
    QApplication::setActiveWindow(&form());
    ed().MemVopr->setFocus();
    QTest::keyClick(ed().MemVopr, Qt::Key_Tab);
    EXPECT_FALSE(ed().MemVopr->toPlainText().contains(u'\t'));
    EXPECT_FALSE(ed().MemVopr->hasFocus());
    ed().MemOtv[0]->setFocus();
    QTest::keyClick(ed().MemOtv[0], Qt::Key_Tab);
    EXPECT_FALSE(ed().MemOtv[0]->toPlainText().contains(u'\t'));
    QWidget* next = QApplication::focusWidget();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, ed().MemOtv[0]);
    QTest::keyClick(next, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), ed().MemOtv[0]);
    ed().MemOtv[0]->insertPlainText(QStringLiteral("а\tб"));
    type(QStringLiteral("Вопрос"), {QStringLiteral("а\tб"), QStringLiteral("в")}, 1);
    save();
    EXPECT_EQ(file().questionsOf(1).back().vopros, QStringLiteral("Вопрос"));
    EXPECT_EQ(file().answersOf(file().questionsOf(1).back().id).front().otvet,
              QStringLiteral("а\tб"));
}

TEST_F(Questions, ThePictureDialogPutsTheFileNameIntoTheBox) {
    startOn({edtest::topic("Тема", 1)});
    trigger("Butvop1");
    ed().RadioButton1->click();
    ed().EdImage->setText(QStringLiteral("old.png"));
    modal->push(ModalAnswer{zn::Ok, QStringLiteral("/home/учитель/pics/cat.png"), 0});
    ed().BitBtn3->click();
    ASSERT_EQ(modal->calls().size(), 1u);
    const ModalRequest& r = modal->calls()[0];
    EXPECT_EQ(r.kind, ModalRequest::Kind::OpenFile);
    EXPECT_EQ(r.folder, form().session().dataFolder);
    EXPECT_EQ(r.filter, QString::fromUtf16(zn::QuestionEditor::kPictureFilter));
    EXPECT_EQ(ed().EdImage->text(), QStringLiteral("cat.png"));
    EXPECT_TRUE(ed().Image7->pixmap().isNull());
    // Cancelled: the name stays.
    ed().BitBtn3->click();
    EXPECT_EQ(ed().EdImage->text(), QStringLiteral("cat.png"));
}

TEST(PictureFolder, ReplaceSubAndProvPath) {
    struct Case {
        QString source, oldPart, newPart, result;
    } cases[] = {
        {"/t/data/data/", "data/data/", "data/", "/t/data/"},
        {"/a/data/data/data/data/", "data/data/", "data/", "/a/data/data/"},
        {"aaaa", "aa", "b", "bb"},
        {"aaa", "aa", "b", "ba"},
        {"/t/Data/data/", "data/data/", "data/", "/t/Data/data/"},
        {"xyz", "", "q", "xyz"},
        {"", "a", "b", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zn::ReplaceSub(c.source, c.oldPart, c.newPart), c.result)
            << c.source.toStdString();
    QString folder = QStringLiteral("/srv/tests/data/data/");
    zn::ProvPath(folder);
    EXPECT_EQ(folder, QStringLiteral("/srv/tests/data/"));
    folder = QStringLiteral("/srv/DATA/data/");
    zn::ProvPath(folder);
    EXPECT_EQ(folder, QStringLiteral("/srv/DATA/data/"));
    EXPECT_EQ(zn::fileNameOfPath(QStringLiteral("/pics/cat.png")), QStringLiteral("cat.png"));
    EXPECT_EQ(zn::fileNameOfPath(QStringLiteral("cat.png")), QStringLiteral("cat.png"));
    EXPECT_EQ(zn::fileNameOfPath(QStringLiteral("C:\\pics\\cat.png"), u'\\'),
              QStringLiteral("cat.png"));
}

// A program started in a folder named "data" has the data folder ".../data/data/"; the first
// use of the picture button corrects it.
TEST_F(Questions, ThePictureButtonCorrectsADoubledDataFolder) {
    const QString inner = work + QStringLiteral("/data");
    edtest::makeBank(inner + QStringLiteral("/test.mdb"), {edtest::topic("Тема", 1)});
    QDir::setCurrent(inner);
    db = inner + QStringLiteral("/test.mdb");
    start();
    EXPECT_EQ(form().session().dataFolder, inner + QStringLiteral("/data/"));
    trigger("Butvop1");
    ed().RadioButton1->click();
    ed().BitBtn3->click();  // cancelled
    EXPECT_EQ(form().session().dataFolder, inner + u'/');
}

}  // namespace
