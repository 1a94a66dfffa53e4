// Tests of the spell checking (spell/): splitting text into words, the checker on small
// dictionaries of our own (ё and е, the dictionary's encoding, the personal word list kept in the
// settings) and on the system's Russian one (real words, corrections), the underlining of a
// document and of a box as it is typed in, the box's context menu, and the unknown words of a
// bank. The settings live in a temporary folder for the whole run.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <memory>

#include "spell/checker.h"
#include "spell/highlighter.h"
#include "spell/spellbox.h"
#include "spell/unknownwords.h"
#include "spell/words.h"
#include "tests/editor_testing.h"

namespace {

using namespace Qt::StringLiterals;
using zn::spell::Checker;
using zn::spell::Dictionary;

// The user's settings in a folder of the run, under an organisation of the tests.
class SettingsInTempFolder : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("ZnatokarSpellTests"));
        QCoreApplication::setApplicationName(QStringLiteral("spell_test"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    }

  private:
    QTemporaryDir dir_;
};
[[maybe_unused]] auto* const settingsEnvironment =
    ::testing::AddGlobalTestEnvironment(new SettingsInTempFolder);

std::vector<QString> wordsOf(const QString& text) {
    std::vector<QString> out;
    for (const auto& s : zn::spell::wordSpans(text)) out.push_back(text.mid(s.start, s.length));
    return out;
}

TEST(WordSpans, SplitsRussianTextAsAReaderWould) {
    const struct {
        QString text;
        std::vector<QString> words;
    } cases[] = {
        {u"Кто-нибудь пришёл?"_s, {u"Кто-нибудь"_s, u"пришёл"_s}},
        {u"«Наряд-допуск» — документ."_s, {u"Наряд-допуск"_s, u"документ"_s}},
        {u"„Ёлка“ и \"ель\""_s, {u"Ёлка"_s, u"и"_s, u"ель"_s}},
        // Apostrophes join letters; as quotes they do not belong to the word.
        {u"д'Артаньян, O’Neil и 'цитата'"_s, {u"д'Артаньян"_s, u"O’Neil"_s, u"и"_s, u"цитата"_s}},
        // A hyphen at a word's end, a double hyphen and dashes separate.
        {u"из- -за слово--слово тёмное—светлое, 1941–1945"_s,
         {u"из"_s, u"за"_s, u"слово"_s, u"слово"_s, u"тёмное"_s, u"светлое"_s, u"1941"_s,
          u"1945"_s}},
        {u"10-й этаж, 1,8 м; H2O"_s, {u"10-й"_s, u"этаж"_s, u"1"_s, u"8"_s, u"м"_s, u"H2O"_s}},
        // Stress marks and soft hyphens stay inside their word; non-breaking hyphens join.
        {u"Стре\u0301лка пере\u00ADнос северо\u2011запад"_s,
         {u"Стре\u0301лка"_s, u"пере\u00ADнос"_s, u"северо\u2011запад"_s}},
        {u"а)б) (в) [г] {д}/е_ж…з\nи\tк"_s,
         {u"а"_s, u"б"_s, u"в"_s, u"г"_s, u"д"_s, u"е"_s, u"ж"_s, u"з"_s, u"и"_s, u"к"_s}},
        {u""_s, {}},
        {u" - « » "_s, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(wordsOf(c.text), c.words) << c.text.toStdString();
}

TEST(WordSpans, OnlyLettersAndNotNumbersOrLatinOrSingleLettersAreChecked) {
    using zn::spell::dictionaryForm;
    using zn::spell::isCheckedWord;
    EXPECT_EQ(dictionaryForm(u"Стре\u0301лка"), u"Стрелка"_s);
    EXPECT_EQ(dictionaryForm(u"пере\u00ADнос"), u"перенос"_s);
    EXPECT_EQ(dictionaryForm(u"е\u0308лка"), u"ёлка"_s);
    EXPECT_EQ(dictionaryForm(u"северо\u2011запад"), u"северо-запад"_s);
    EXPECT_EQ(dictionaryForm(u"д’Артаньян"), u"д'Артаньян"_s);
    for (const char16_t* w : {u"слово", u"Ёж", u"pH-метр", u"мoлоко" /* Latin o */})
        EXPECT_TRUE(isCheckedWord(w)) << QString::fromUtf16(w).toStdString();
    for (const char16_t* w : {u"в", u"x", u"10-й", u"H2O", u"5см", u"м²", u"pH", u"XIX", u"kg"})
        EXPECT_FALSE(isCheckedWord(w)) << QString::fromUtf16(w).toStdString();
}

// --- The checker on dictionaries of our own

// A Hunspell dictionary of `words` in the folder, written in `encoding` (the affix file's SET).
Dictionary smallDictionary(const QTemporaryDir& dir, const QStringList& words,
                           const char* encoding = "UTF-8") {
    const Dictionary d{dir.filePath(QStringLiteral("small.aff")),
                       dir.filePath(QStringLiteral("small.dic"))};
    QFile aff(d.affFile);
    EXPECT_TRUE(aff.open(QIODevice::WriteOnly));
    aff.write(QByteArray("SET ") + encoding + "\n");
    QFile dic(d.dicFile);
    EXPECT_TRUE(dic.open(QIODevice::WriteOnly));
    QStringEncoder encode(encoding);
    EXPECT_TRUE(encode.isValid());
    dic.write(QByteArray::number(words.size()) + "\n");
    for (const QString& w : words) dic.write(QByteArray(encode(w)) + "\n");
    return d;
}

std::unique_ptr<Checker> readyChecker(const Dictionary& d) {
    auto c = std::make_unique<Checker>(d);
    EXPECT_EQ(c->waitUntilLoaded(), Checker::State::Ready) << c->unavailableReason().toStdString();
    return c;
}

TEST(Checker, AcceptsTheYoAndYeSpellingsOfEveryWordWhicheverTheDictionaryHas) {
    QTemporaryDir dir;
    // One spelling each: "ёлка" and "трёхзвёздный" with ё, "зеленый" and "еще" with е.
    auto c =
        readyChecker(smallDictionary(dir, {u"ёлка"_s, u"трёхзвёздный"_s, u"зеленый"_s, u"еще"_s}));
    for (const char16_t* w : {u"ёлка", u"елка", u"Елка", u"ЕЛКА", u"трёхзвёздный", u"трехзвездный",
                              u"трёхзвездный", u"зеленый", u"зелёный", u"ЗЕЛЁНЫЙ", u"еще", u"ещё"})
        EXPECT_FALSE(c->isMisspelled(w)) << QString::fromUtf16(w).toStdString();
    for (const char16_t* w : {u"ёлки", u"зилёный", u"ещо"})
        EXPECT_TRUE(c->isMisspelled(w)) << QString::fromUtf16(w).toStdString();
}

TEST(Checker, ReadsADictionaryInKoi8r) {
    QTemporaryDir dir;
    auto c = readyChecker(smallDictionary(dir, {u"корова"_s, u"молоко"_s}, "KOI8-R"));
    EXPECT_FALSE(c->isMisspelled(u"корова"));
    EXPECT_FALSE(c->isMisspelled(u"Молоко"));
    EXPECT_TRUE(c->isMisspelled(u"карова"));
    EXPECT_EQ(c->suggestions(u"карова"), QStringList{u"корова"_s});
}

TEST(Checker, HyphenatedWordsWithALatinPartAreJudgedByTheirRussianParts) {
    QTemporaryDir dir;
    auto c = readyChecker(smallDictionary(dir, {u"метр"_s, u"отдел"_s}));
    for (const char16_t* w : {u"pH-метр", u"IT-отдел", u"XIX-го", u"SMS-ку", u"Wi-Fi-метр"})
        EXPECT_FALSE(c->isMisspelled(w)) << QString::fromUtf16(w).toStdString();
    for (const char16_t* w : {u"pH-мерт", u"IT-отдле", u"pH-метр-мерт", u"XIX-гого"})
        EXPECT_TRUE(c->isMisspelled(w)) << QString::fromUtf16(w).toStdString();
}

TEST(Checker, MissingDictionaryFlagsNothingAndSaysWhichPackageBringsIt) {
    QTemporaryDir dir;
    Checker c(Dictionary{dir.filePath(QStringLiteral("none.aff")),
                         dir.filePath(QStringLiteral("none.dic"))});
    EXPECT_EQ(c.waitUntilLoaded(), Checker::State::Unavailable);
    EXPECT_TRUE(c.unavailableReason().contains(QStringLiteral("hunspell-ru")));
    EXPECT_FALSE(c.isMisspelled(u"карова"));
    EXPECT_TRUE(c.suggestions(u"карова").isEmpty());
}

TEST(Checker, PersonalWordsAreKeptInTheSettingsForTheNextChecker) {
    QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
    QTemporaryDir dir;
    const Dictionary d = smallDictionary(dir, {u"корова"_s});
    {
        auto c = readyChecker(d);
        int changes = 0;
        QObject::connect(c.get(), &Checker::personalWordsChanged, [&] { ++changes; });
        ASSERT_TRUE(c->isMisspelled(u"Знатокар"));  // the verdict is cached now
        c->addPersonalWord(u"Знатокар");
        c->addPersonalWord(u"Королё\u0301в");  // added in dictionary form
        EXPECT_EQ(changes, 2);
        EXPECT_FALSE(c->isMisspelled(u"Знатокар"));
        EXPECT_FALSE(c->isMisspelled(u"ЗНАТОКАР"));
        EXPECT_FALSE(c->isMisspelled(u"Королёв"));
        EXPECT_EQ(c->personalWords(), (QStringList{u"Знатокар"_s, u"Королёв"_s}));
    }
    EXPECT_EQ(QSettings().value(QLatin1String(Checker::kPersonalWordsKey)).toStringList(),
              (QStringList{u"Знатокар"_s, u"Королёв"_s}));
    auto again = readyChecker(d);
    EXPECT_FALSE(again->isMisspelled(u"Знатокар"));
    EXPECT_FALSE(again->isMisspelled(u"Королёв"));
    EXPECT_FALSE(again->isMisspelled(u"Королев"));  // ё and е hold for personal words too
    EXPECT_TRUE(again->isMisspelled(u"Знатакар"));
}

TEST(Checker, AddingAWordKeepsTheWordsAnotherRunningCopyAdded) {
    QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
    QTemporaryDir dir;
    const Dictionary d = smallDictionary(dir, {u"корова"_s});
    auto first = readyChecker(d);
    auto second = readyChecker(d);
    first->addPersonalWord(u"Знатокар");
    second->addPersonalWord(u"Испытар");
    EXPECT_EQ(QSettings().value(QLatin1String(Checker::kPersonalWordsKey)).toStringList(),
              (QStringList{u"Знатокар"_s, u"Испытар"_s}));
    EXPECT_FALSE(second->isMisspelled(u"Знатокар"));
}

// Checkers on one dictionary file share the loaded dictionary, each with its own personal
// words, capitalised as Hunspell takes dictionary words; a later checker still says loaded().
TEST(Checker, CheckersOnOneDictionaryKeepTheirPersonalWordsApart) {
    QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
    QTemporaryDir dir;
    const Dictionary d = smallDictionary(dir, {u"корова"_s});
    auto first = readyChecker(d);
    first->addPersonalWord(u"Знатокар");
    first->addPersonalWord(u"тестер");
    first->addPersonalWord(u"ЦНС");
    QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
    Checker second(d);
    QSignalSpy loaded(&second, &Checker::loaded);
    EXPECT_TRUE(loaded.wait(5000));
    EXPECT_EQ(second.state(), Checker::State::Ready);
    EXPECT_TRUE(second.isMisspelled(u"Знатокар"));
    EXPECT_FALSE(second.isMisspelled(u"корова"));
    const struct {
        const char16_t* word;
        bool right;
    } cases[] = {
        {u"Знатокар", true}, {u"ЗНАТОКАР", true}, {u"знатокар", false}, {u"тестер", true},
        {u"Тестер", true},   {u"ТЕСТЕР", true},   {u"тЕстер", false},   {u"Знатокар-тестер", true},
        {u"ЦНС", true},      {u"Цнс", false},     {u"цнс", false}};
    for (const auto& c : cases)
        EXPECT_EQ(first->isMisspelled(c.word), !c.right)
            << QString::fromUtf16(c.word).toStdString();
}

// --- The system's Russian dictionary, loaded once for the tests below

Checker* russian() {
    static std::unique_ptr<Checker> checker;
    if (!checker) {
        QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
        checker = std::make_unique<Checker>();
        checker->waitUntilLoaded();
    }
    return checker->state() == Checker::State::Ready ? checker.get() : nullptr;
}

#define NEED_RUSSIAN()                                                                          \
    Checker* ru = russian();                                                                    \
    if (!ru) {                                                                                  \
        GTEST_SKIP() << "no Russian Hunspell dictionary (tools/setup.sh installs hunspell-ru)"; \
    }                                                                                           \
    static_assert(true)

TEST(RussianChecker, KnowsRussianWordsAndFlagsTypos) {
    NEED_RUSSIAN();
    for (const char16_t* w : {u"Электромонтёр", u"электромонтер", u"ЕЩЁ", u"ещё", u"еще",
                              u"наряд-допуск", u"кто-нибудь", u"Москва", u"ДНК", u"стре\u0301лка",
                              u"пере\u00ADнос", u"pH-метр", u"10-й", u"T"})
        EXPECT_FALSE(ru->isMisspelled(w)) << QString::fromUtf16(w).toStdString();
    for (const char16_t* w : {u"карова", u"Вапрос", u"москва", u"мoлоко" /* Latin o */})
        EXPECT_TRUE(ru->isMisspelled(w)) << QString::fromUtf16(w).toStdString();
}

TEST(RussianChecker, SuggestsTheWordMeantForCommonTypos) {
    NEED_RUSSIAN();
    EXPECT_TRUE(ru->suggestions(u"вапрос").contains(u"вопрос"_s));
    EXPECT_TRUE(ru->suggestions(u"Карова").contains(u"Корова"_s));
    EXPECT_TRUE(ru->suggestions(u"электромантер").contains(u"электромонтер"_s));
    EXPECT_LE(ru->suggestions(u"карова", 3).size(), 3);
}

// --- Underlining

// The underlined words of `doc`, in order.
std::vector<QString> underlined(const QTextDocument& doc) {
    std::vector<QString> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (const QTextLayout::FormatRange& r : b.layout()->formats())
            if (r.format.underlineStyle() == QTextCharFormat::WaveUnderline) {
                EXPECT_EQ(r.format.underlineColor(), QColor(Qt::red));
                out.push_back(b.text().mid(r.start, r.length));
            }
    return out;
}

TEST(SpellHighlighter, UnderlinesExactlyTheMisspelledWords) {
    NEED_RUSSIAN();
    QTextDocument doc;
    doc.setPlainText(
        u"Карова дала молоко, а электромонтёр — «наряд-допуск».\n"
        u"Вапрос 2: что такое pH-метр и H2O?\n\nЕщё одна строка без ашибок."_s);
    new zn::spell::SpellHighlighter(*ru, &doc);
    QCoreApplication::processEvents();  // a highlighter installed on a text starts at once after
    EXPECT_EQ(underlined(doc), (std::vector<QString>{u"Карова"_s, u"Вапрос"_s, u"ашибок"_s}));
}

// The underline is drawing only: the text, its undo history and its modified flag stay as
// they were, and the box says nothing changed.
TEST(SpellHighlighter, UnderliningIsNoEdit) {
    NEED_RUSSIAN();
    QPlainTextEdit box;
    box.setPlainText(u"Карова дала молоко"_s);
    box.document()->setModified(false);
    box.document()->clearUndoRedoStacks();
    int changes = 0;
    QObject::connect(&box, &QPlainTextEdit::textChanged, [&] { ++changes; });
    auto* highlighter = zn::spell::attachSpellChecking(&box, *ru);
    EXPECT_EQ(underlined(*box.document()), std::vector<QString>{u"Карова"_s});
    highlighter->refresh();
    box.moveCursor(QTextCursor::End);
    ru->addPersonalWord(u"Молоко");  // the whole text again, nothing new underlined
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(box.document()->isModified());
    EXPECT_FALSE(box.document()->isUndoAvailable());
    EXPECT_EQ(box.toPlainText(), u"Карова дала молоко"_s);
}

// Records, at each paint of a box's viewport, which words were underlined then: the last entry
// is what the person sees.
struct Paints : QObject {
    const QTextDocument* doc = nullptr;
    std::vector<std::vector<QString>> seen;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) seen.push_back(underlined(*doc));
        return false;
    }
};

// Underlines that change with no edit (the dictionary loaded, a word added) are drawn at once,
// whenever the loading ends.
TEST(SpellHighlighter, ABoxIsDrawnAgainWhenItsUnderlinesChangeWithoutAnEdit) {
    QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
    QTemporaryDir dir;
    const Dictionary small = smallDictionary(dir, {u"дала"_s, u"молоко"_s});
    QPlainTextEdit box;
    box.setPlainText(u"Карова дала молоко"_s);
    box.setTextInteractionFlags(Qt::NoTextInteraction);  // no blinking cursor to draw
    Paints paints;
    paints.doc = box.document();
    box.viewport()->installEventFilter(&paints);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    Checker c(small);
    zn::spell::attachSpellChecking(&box, c);
    c.waitUntilLoaded();
    QTest::qWait(30);  // loaded() is delivered, the box drawn
    ASSERT_FALSE(paints.seen.empty());
    EXPECT_EQ(paints.seen.back(), std::vector<QString>{u"Карова"_s});
    const size_t before = paints.seen.size();
    c.addPersonalWord(u"Карова");
    QTest::qWait(30);
    ASSERT_GT(paints.seen.size(), before);
    EXPECT_TRUE(paints.seen.back().empty());
}

TEST(SpellHighlighter, TextShownBeforeTheDictionaryLoadedIsUnderlinedOnceItHas) {
    QTemporaryDir dir;
    Checker c(smallDictionary(dir, {u"корова"_s}));
    QTextDocument doc;
    doc.setPlainText(u"корова карова"_s);
    new zn::spell::SpellHighlighter(c, &doc);
    if (c.state() == Checker::State::Loading) {
        EXPECT_TRUE(underlined(doc).empty());
    }
    int loaded = 0;
    QObject::connect(&c, &Checker::loaded, [&] { ++loaded; });
    for (int i = 0; i < 200 && loaded == 0; ++i) QTest::qWait(10);
    ASSERT_EQ(loaded, 1);
    EXPECT_EQ(underlined(doc), std::vector<QString>{u"карова"_s});
    QTest::qWait(20);
    EXPECT_EQ(loaded, 1);
}

// Types `text` into `w` as a keyboard would (QTest::keyClicks takes ASCII only).
void type(QWidget* w, const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, c == u' ' ? Qt::Key_Space : Qt::Key_unknown,
                            QString(c), Qt::NoModifier);
}

// A box with spell checking, shown.
struct Box {
    QPlainTextEdit edit;
    explicit Box(Checker& c) {
        zn::spell::attachSpellChecking(&edit, c);
        edit.resize(400, 200);
        edit.show();
    }
    std::vector<QString> underlined() const { return ::underlined(*edit.document()); }
    // The viewport point in the middle of the text's `n`th character.
    QPoint pointAt(int n) const {
        QTextCursor c(edit.document());
        c.setPosition(n);
        return edit.cursorRect(c).center() + QPoint(3, 0);
    }
};

TEST(SpellBox, TheWordBeingTypedIsUnderlinedOnlyWhenTheCursorLeavesIt) {
    NEED_RUSSIAN();
    Box box(*ru);
    type(&box.edit, u"Карова"_s);
    EXPECT_TRUE(box.underlined().empty());
    type(&box.edit, u" дала вапрос"_s);
    EXPECT_EQ(box.underlined(), std::vector<QString>{u"Карова"_s});
    // Moving the cursor away by a click or a key.
    box.edit.moveCursor(QTextCursor::Start);
    EXPECT_EQ(box.underlined(), (std::vector<QString>{u"Карова"_s, u"вапрос"_s}));
    // Correcting a word in its middle: it is the word being typed, until the cursor leaves it.
    box.edit.moveCursor(QTextCursor::Right);
    QTest::keyClick(&box.edit, Qt::Key_Right);
    QTest::keyClick(&box.edit, Qt::Key_Backspace);
    type(&box.edit, u"о"_s);
    EXPECT_EQ(box.edit.toPlainText(), u"Корова дала вапрос"_s);
    EXPECT_EQ(box.underlined(), std::vector<QString>{u"вапрос"_s});
    // A pasted or loaded text is checked at once, wherever the cursor is.
    box.edit.setPlainText(u"карова"_s);
    box.edit.moveCursor(QTextCursor::End);
    EXPECT_EQ(box.underlined(), std::vector<QString>{u"карова"_s});
    box.edit.insertPlainText(u" и вапрос"_s);
    EXPECT_EQ(box.underlined(), (std::vector<QString>{u"карова"_s, u"вапрос"_s}));
}

TEST(SpellBox, ACorrectionReplacesTheWordAsOneUndoStep) {
    NEED_RUSSIAN();
    Box box(*ru);
    box.edit.setPlainText(u"Вот карова дала молоко"_s);
    QMenu menu;
    auto* standard = menu.addAction(QStringLiteral("Копировать"));
    ASSERT_TRUE(zn::spell::addSpellActions(menu, box.edit, *ru, box.pointAt(6)));
    const QList<QAction*> actions = menu.actions();
    ASSERT_GE(actions.size(), 4);
    EXPECT_EQ(actions[0]->objectName(), u"SpellSuggestion"_s);
    EXPECT_EQ(actions.last(), standard);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions[actions.size() - 3]->text(), u"Добавить в словарь"_s);
    QAction* korova = nullptr;
    for (QAction* a : actions)
        if (a->text() == u"корова"_s) korova = a;
    ASSERT_TRUE(korova);
    korova->trigger();
    EXPECT_EQ(box.edit.toPlainText(), u"Вот корова дала молоко"_s);
    EXPECT_TRUE(box.underlined().empty());
    box.edit.undo();
    EXPECT_EQ(box.edit.toPlainText(), u"Вот карова дала молоко"_s);
    box.edit.redo();
    EXPECT_EQ(box.edit.toPlainText(), u"Вот корова дала молоко"_s);

    // A right word, the place after the text (its last word is right): nothing is added.
    QMenu other;
    EXPECT_FALSE(zn::spell::addSpellActions(other, box.edit, *ru, box.pointAt(13)));
    EXPECT_FALSE(zn::spell::addSpellActions(other, box.edit, *ru, QPoint(390, 190)));
    EXPECT_TRUE(other.actions().isEmpty());
}

TEST(SpellBox, AddingToTheDictionaryRemovesTheUnderlineEverywhere) {
    QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
    QTemporaryDir dir;
    auto c = readyChecker(smallDictionary(dir, {u"корова"_s}));
    Box box(*c), other(*c);
    box.edit.setPlainText(u"корова Бурёнка"_s);
    other.edit.setPlainText(u"Буренка"_s);
    ASSERT_EQ(other.underlined(), std::vector<QString>{u"Буренка"_s});
    // A read-only box offers no corrections, only the dictionary.
    box.edit.setReadOnly(true);
    QMenu menu;
    ASSERT_TRUE(zn::spell::addSpellActions(menu, box.edit, *c, box.pointAt(9)));
    QAction* add = menu.findChild<QAction*>(QStringLiteral("SpellAddWord"));
    ASSERT_TRUE(add);
    EXPECT_FALSE(menu.findChild<QAction*>(QStringLiteral("SpellSuggestion")));
    add->trigger();
    EXPECT_EQ(c->personalWords(), QStringList{u"Бурёнка"_s});
    EXPECT_TRUE(box.underlined().empty());
    EXPECT_TRUE(other.underlined().empty());
}

TEST(SpellBox, TheRightButtonOpensTheBoxMenuWithTheSpellingOnTop) {
    NEED_RUSSIAN();
    Box box(*ru);
    box.edit.setPlainText(u"Вапрос"_s);
    const QPoint at = box.pointAt(2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, box.edit.viewport()->mapToGlobal(at));
    QApplication::sendEvent(box.edit.viewport(), &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->actions().first()->objectName(), u"SpellSuggestion"_s);
    QStringList suggestions;
    for (QAction* a : menu->findChildren<QAction*>(QStringLiteral("SpellSuggestion")))
        suggestions << a->text();
    EXPECT_TRUE(suggestions.contains(u"Вопрос"_s)) << suggestions.join(u' ').toStdString();
    EXPECT_TRUE(menu->findChild<QAction*>(QStringLiteral("SpellAddWord")));
    EXPECT_GT(menu->actions().size(), 6);  // the box's own commands follow
    menu->close();
}

// --- The unknown words of a bank

TEST(UnknownWords, GroupsSpellingsOfAWordWithEveryTextItAppearsIn) {
    NEED_RUSSIAN();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("test.mdb"));
    auto q = [](const QString& text, std::vector<QString> answers) {
        edtest::Q question;
        question.text = text;
        question.answers = std::move(answers);
        return question;
    };
    edtest::makeBank(
        path, {{u"Первая"_s,
                {q(u"Карова дала молоко?"_s, {u"Да"_s, u"Нет, карова не дала"_s}),
                 q(u"Что такое pH-метр?"_s, {u"Прибор"_s, u"Ашибка, а не карова"_s})}},
               {u"Вторая"_s, {q(u"Ещё вапрос: карова и КАРОВА?"_s, {u"Ответ"_s, u"Вапрос"_s})}}});
    const edtest::Snapshot bank = edtest::readBank(path);
    const auto words = zn::spell::findUnknownWords(bank.questions, bank.answers, *ru);
    ASSERT_EQ(words.size(), 3u);
    using P = zn::spell::WordPlace;
    auto id = [&](int topic, int n) { return bank.questionsOf(topic)[size_t(n - 1)].id; };
    // In Russian alphabetical order; the first spelling met names the word.
    EXPECT_EQ(words[0].word, u"Ашибка"_s);
    EXPECT_EQ(words[0].places, (std::vector<P>{P{id(1, 2), 1, 2, 2}}));
    EXPECT_EQ(words[1].word, u"вапрос"_s);
    EXPECT_EQ(words[1].occurrences, 2);
    EXPECT_EQ(words[1].places, (std::vector<P>{P{id(2, 1), 2, 1, 0}, P{id(2, 1), 2, 1, 2}}));
    EXPECT_EQ(words[2].word, u"Карова"_s);
    EXPECT_EQ(words[2].occurrences, 5);
    EXPECT_EQ(words[2].places, (std::vector<P>{P{id(1, 1), 1, 1, 0}, P{id(1, 1), 1, 1, 2},
                                               P{id(1, 2), 1, 2, 2}, P{id(2, 1), 2, 1, 0}}));
    EXPECT_EQ(zn::spell::describePlaces(words[2], 3),
              u"вопрос 1.1; ответ 2 вопроса 1.1; ответ 2 вопроса 1.2; … (всего 4)"_s);
    EXPECT_EQ(zn::spell::describePlaces(words[0]), u"ответ 2 вопроса 1.2"_s);
}

TEST(UnknownWords, VerdictsKeptFromTheCheckBeforeHoldUntilTheWordListGrows) {
    QSettings().remove(QLatin1String(Checker::kPersonalWordsKey));
    QTemporaryDir dir;
    auto c = readyChecker(smallDictionary(dir, {u"корова"_s, u"дала"_s, u"молоко"_s}));
    std::vector<zn::Question> questions{{1, 1, 1, u"Корова дала малако"_s, 1, 2, {}},
                                        {2, 1, 2, u"Малако"_s, 1, 2, {}}};
    std::vector<zn::Answer> answers{
        {1, 1, 1, u"Да"_s}, {2, 1, 2, u"Корова"_s}, {3, 2, 1, u"Да"_s}, {4, 2, 2, u"Корова"_s}};
    zn::spell::TextVerdicts kept;
    auto words = zn::spell::findUnknownWords(questions, answers, *c, &kept);
    ASSERT_EQ(words.size(), 2u);           // "Да" and "малако"
    EXPECT_EQ(kept.misspelled.size(), 4);  // each text once
    // A text changed: looked at afresh; the others come from the check before.
    questions[1].vopros = u"Малако и карова"_s;
    words = zn::spell::findUnknownWords(questions, answers, *c, &kept);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[1].word, u"карова"_s);
    EXPECT_EQ(kept.misspelled.size(), 4);  // the old text is dropped
    // A word added to the personal list: every text is looked at again.
    c->addPersonalWord(u"малако");
    words = zn::spell::findUnknownWords(questions, answers, *c, &kept);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].word, u"Да"_s);
    EXPECT_EQ(words[1].word, u"карова"_s);
}

}  // namespace
