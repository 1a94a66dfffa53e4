// The question commands: the drafts the editor page opens with, the checks, the save and the
// deletion with renumbering.
#include "editor/questioncommands.h"

#include <algorithm>

#include "store/tdatmod.h"
#include "store/values.h"

namespace zn {

namespace {

using Mode = QuestionDraft::Mode;

bool hasCurrentRow(const Dataset& d) {
    return d.isOpen() && d.recNo() > 0;
}

// Where the tree selection left the topic and question cursors, by row id.
struct Selection {
    std::optional<qint64> topicId;
    std::optional<qint64> questionId;
};

Selection selectionOf(const TDatMod& dm) {
    Selection s;
    if (hasCurrentRow(dm.qrtema)) s.topicId = dm.qrtema.asInteger("id");
    if (hasCurrentRow(dm.qrvoprosi)) s.questionId = dm.qrvoprosi.asInteger("id");
    return s;
}

// Puts the cursors back where the selection had them, so that the commands that act on the
// current rows act on what the tree shows selected. Best effort: a failure to move leaves the
// error that is on its way to the user as the one reported.
void restoreSelection(TDatMod& dm, const Selection& s) noexcept {
    try {
        if (s.topicId && dm.qrtema.isOpen()) dm.qrtema.locate(QStringLiteral("id"), *s.topicId);
        if (s.questionId && dm.qrvoprosi.isOpen())
            dm.qrvoprosi.locate(QStringLiteral("id"), *s.questionId);
    } catch (...) {
    }
}

int clampCount(int n) {
    return std::clamp(n, QuestionDraft::kMinAnswers, QuestionDraft::kMaxAnswers);
}

// K: the marked answer when it is among the first N, else 0.
int correctAnswer(const QuestionDraft& d) {
    const int n = clampCount(d.answerCount);
    return d.marked >= 1 && d.marked <= n ? d.marked : 0;
}

}  // namespace

QuestionCommands::QuestionCommands(TDatMod& dm, Feedback& feedback, std::function<void()> treeObnov)
    : dm_(dm), fb_(feedback), treeObnov_(std::move(treeObnov)) {}

int QuestionCommands::nextQuestionNumber() {
    // qrvoprosi is ordered by idvopr: its last row holds the highest number.
    qint64 highest = 0;
    if (dm_.qrvoprosi.isOpen())
        for (dm_.qrvoprosi.first(); !dm_.qrvoprosi.eof(); dm_.qrvoprosi.next())
            highest = std::max(highest, dm_.qrvoprosi.asInteger("idvopr"));
    return int(highest + 1);
}

std::optional<QuestionDraft> QuestionCommands::draftForNew() const {
    if (!hasCurrentRow(dm_.qrtema)) return std::nullopt;
    const zn::Topic topic = zn::topicAt(dm_.qrtema);
    QuestionDraft d;
    d.mode = Mode::Add;
    d.topicId = topic.id;
    d.topicNumber = topic.numtema;
    // Shown when the page opens; the save numbers the question anew when it writes it.
    d.questionNumber = (dm_.qrvoprosi.isOpen() ? dm_.qrvoprosi.recordCount() : 0) + 1;
    d.topicName = topic.tema;
    d.answerCount = 3;
    d.marked = 1;
    return d;
}

std::optional<QuestionDraft> QuestionCommands::draftOfCurrent() const {
    if (!hasCurrentRow(dm_.qrvoprosi)) return std::nullopt;
    const zn::Question q = zn::questionAt(dm_.qrvoprosi);
    QuestionDraft d;
    d.mode = Mode::Edit;
    d.questionId = q.id;
    d.topicId = hasCurrentRow(dm_.qrtema) ? dm_.qrtema.asInteger("id") : 0;
    d.topicNumber = q.idtest;
    d.questionNumber = q.idvopr;
    d.topicName = dm_.qrtema.asString("tema");
    d.question = zn::trimmedText(q.vopros);
    // Walking qrotveti leaves it on its first row, as the page's filling does.
    const std::vector<zn::Answer> answers = zn::answersOf(dm_.qrotveti);
    for (size_t k = 0; k < answers.size() && k < d.answers.size(); ++k)
        d.answers[k] = zn::trimmedText(answers[k].otvet);
    d.answerCount = clampCount(int(std::min<size_t>(answers.size(), 1000)));
    d.marked = q.otvet >= 1 && q.otvet <= QuestionDraft::kMaxAnswers ? int(q.otvet) : 0;
    d.withPicture = !q.img.isEmpty();
    d.picture = q.img;
    return d;
}

QStringList QuestionCommands::check(const QuestionDraft& d) {
    QStringList out;
    const auto missing = [](const QString& field) {
        return QStringLiteral("Не заполнено поле \"%1\"").arg(field);
    };
    if (d.withPicture) {
        const QString name = zn::trimmedText(d.picture);
        if (name.isEmpty())
            out << missing(QStringLiteral("Изображение"));
        else if (name.size() > zn::kMaxPictureName)
            out << QStringLiteral(
                       "Имя файла изображения \"%1\" длиннее %2 символов (в нём %3): "
                       "в базе оно не поместится. Переименуйте файл.")
                       .arg(name)
                       .arg(zn::kMaxPictureName)
                       .arg(name.size());
    }
    if (zn::trimmedText(d.question).isEmpty()) out << missing(QStringLiteral("Вопрос"));
    const int n = clampCount(d.answerCount);
    for (int k = 1; k <= n; ++k)
        if (zn::trimmedText(d.answers[size_t(k - 1)]).isEmpty())
            out << missing(QStringLiteral("Ответ ") + QString::number(k));
    if (correctAnswer(d) == 0) out << QStringLiteral("Необходимо выбрать правильный ответ");
    return out;
}

bool QuestionCommands::locateQuestion(qint64 id, qint64 topicNumber) {
    if (!dm_.qrtema.isOpen() || id <= 0) return false;
    const QString idColumn = QStringLiteral("id");
    // Locating the row even when it is current re-queries its answers.
    if (hasCurrentRow(dm_.qrvoprosi) && dm_.qrvoprosi.asInteger("id") == id)
        return dm_.qrvoprosi.locate(idColumn, id);
    if (dm_.qrtema.locate(QStringLiteral("numtema"), topicNumber) && dm_.qrvoprosi.isOpen() &&
        dm_.qrvoprosi.locate(idColumn, id))
        return true;
    // Its topic was renumbered meanwhile.
    for (dm_.qrtema.first(); !dm_.qrtema.eof(); dm_.qrtema.next())
        if (dm_.qrvoprosi.isOpen() && dm_.qrvoprosi.locate(idColumn, id)) return true;
    return false;
}

void QuestionCommands::clearAnswers() {
    while (dm_.qrotveti.isOpen() && dm_.qrotveti.recordCount() > 0) {
        dm_.qrotveti.first();
        dm_.qrotveti.remove();
    }
}

void QuestionCommands::rebuildTree() {
    if (treeObnov_) treeObnov_();
}

bool QuestionCommands::save(const QuestionDraft& d, const std::function<void()>& afterCommit) {
    if (d.mode == Mode::None) return false;
    const Selection selection = selectionOf(dm_);

    // What the page was opened for, found again; the cursors then stand on it.
    bool found = false;
    try {
        if (d.mode == Mode::Edit)
            found = locateQuestion(d.questionId, d.topicNumber);
        else
            found = dm_.qrtema.isOpen() && d.topicId > 0 &&
                    dm_.qrtema.locate(QStringLiteral("id"), d.topicId);
    } catch (...) {
        restoreSelection(dm_, selection);
        throw;
    }
    if (!found) {
        restoreSelection(dm_, selection);
        fb_.message(Feedback::Box::Error,
                    d.mode == Mode::Edit
                        ? QStringLiteral("Вопрос, открытый для редактирования, уже удалён из "
                                         "базы, поэтому записать его нельзя.")
                        : QStringLiteral("Тема, в которую добавлялся вопрос, уже удалена из "
                                         "базы, поэтому записать вопрос нельзя."));
        return false;
    }
    if (const QStringList messages = check(d); !messages.isEmpty()) {
        restoreSelection(dm_, selection);
        for (const QString& m : messages) fb_.message(Feedback::Box::Error, m);
        return false;
    }

    const int n = clampCount(d.answerCount);
    const auto writeQuestion = [&] {
        dm_.qrvoprosi.setString("vopros", zn::trimmedText(d.question));
        dm_.qrvoprosi.setInteger("otvet", correctAnswer(d));
        dm_.qrvoprosi.setInteger("kolotvet", n);
        dm_.qrvoprosi.setString("img", d.withPicture ? zn::trimmedText(d.picture) : QString());
        dm_.qrvoprosi.post();
    };
    const QString label =
        d.mode == Mode::Edit
            ? QStringLiteral("изменение вопроса %1 темы %2")
                  .arg(dm_.qrvoprosi.asInteger("idvopr"))
                  .arg(dm_.qrtema.asInteger("numtema"))
            : QStringLiteral("добавление вопроса в тему %1").arg(dm_.qrtema.asInteger("numtema"));
    try {
        dm_.write(label, [&] {
            if (d.mode == Mode::Edit) {
                dm_.qrvoprosi.edit();
                writeQuestion();
            } else {
                const int number = nextQuestionNumber();
                const qint64 topic = dm_.qrtema.asInteger("numtema");
                dm_.qrvoprosi.insert();
                dm_.qrvoprosi.setInteger("idtest", topic);
                dm_.qrvoprosi.setInteger("idvopr", number);
                writeQuestion();
                // Re-queries the answers for the new row's key.
                dm_.qrvoprosi.locate(QStringLiteral("id"), dm_.qrvoprosi.asInteger("id"));
            }
            const qint64 key = dm_.qrvoprosi.asInteger("id");
            // The stored answers go, however many there were: a question saved with fewer
            // answers keeps no stale rows (and a new one inherits none left under its id).
            clearAnswers();
            for (int k = 1; k <= n; ++k) {
                dm_.qrotveti.insert();
                dm_.qrotveti.setInteger("idvopr", key);
                dm_.qrotveti.setInteger("idotv", k);
                dm_.qrotveti.setString("otvet", zn::trimmedText(d.answers[size_t(k - 1)]));
                dm_.qrotveti.post();
            }
            dm_.recountQuestions();
        });
    } catch (...) {
        restoreSelection(dm_, selection);
        throw;
    }
    if (afterCommit) afterCommit();
    rebuildTree();
    fb_.progressPosition(0);
    return true;
}

void QuestionCommands::deleteQuestion() {
    if (!hasCurrentRow(dm_.qrvoprosi)) return;
    const qint64 id = dm_.qrvoprosi.asInteger("id");
    const QString label = QStringLiteral("удаление вопроса %1 темы %2")
                              .arg(dm_.qrvoprosi.asInteger("idvopr"))
                              .arg(dm_.qrtema.asInteger("numtema"));
    dm_.write(label, [&] {
        // Locating it re-queries its answers, whatever moved qrotveti since.
        dm_.qrvoprosi.locate(QStringLiteral("id"), id);
        clearAnswers();
        dm_.qrvoprosi.remove();
        // The topic's remaining questions in ascending idvopr order (equal numbers in the order
        // the database returns them) become 1..n; rows whose number is right stay unwritten.
        dm_.qrvoprosi.close();
        dm_.qrvoprosi.open();
        fb_.progressPosition(0);
        fb_.progressMax(dm_.qrvoprosi.recordCount());
        qint64 counter = 1;
        for (dm_.qrvoprosi.first(); !dm_.qrvoprosi.eof(); dm_.qrvoprosi.next(), ++counter) {
            if (dm_.qrvoprosi.isNull("idvopr") || dm_.qrvoprosi.asInteger("idvopr") != counter) {
                dm_.qrvoprosi.edit();
                dm_.qrvoprosi.setInteger("idvopr", counter);
                dm_.qrvoprosi.post();
            }
            fb_.progressStep();
        }
        dm_.qrvoprosi.first();
        dm_.recountQuestions();
    });
    rebuildTree();
    fb_.progressPosition(0);
}

}  // namespace zn
