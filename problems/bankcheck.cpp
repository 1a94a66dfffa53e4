// The problem check: reading the three tables and the rules of each kind (see bankcheck.h).
#include "problems/bankcheck.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QSet>
#include <algorithm>
#include <map>
#include <optional>

#include "formats/exchange.h"
#include "jet/database.h"
#include "jet/error.h"
#include "preview/datafiles.h"
#include "problems/spelling.h"

namespace zn::problems {

namespace {

QString trimmed(const QString& s) {
    return zn::trimmedText(s);
}

// "1, 2, 5" of at most `limit` numbers, then "…".
QString numberList(const std::vector<qint64>& numbers, size_t limit = 8) {
    QStringList parts;
    for (size_t i = 0; i < numbers.size() && i < limit; ++i) parts << QString::number(numbers[i]);
    if (numbers.size() > limit) parts << QStringLiteral("…");
    return parts.join(QStringLiteral(", "));
}

// What is wrong with `numbers` as 1..n: empty when nothing is.
QString numberingFault(std::vector<qint64> numbers) {
    std::sort(numbers.begin(), numbers.end());
    const qint64 n = qint64(numbers.size());
    std::vector<qint64> missing, repeated, outside;
    for (size_t i = 0; i < numbers.size(); ++i) {
        const qint64 v = numbers[i];
        if (i > 0 && numbers[i - 1] == v) {
            if (repeated.empty() || repeated.back() != v) repeated.push_back(v);
        } else if (v < 1 || v > n) {
            outside.push_back(v);
        }
    }
    for (qint64 k = 1, i = 0; k <= n; ++k) {
        while (i < n && numbers[size_t(i)] < k) ++i;
        if (i >= n || numbers[size_t(i)] != k) missing.push_back(k);
    }
    if (missing.empty() && repeated.empty() && outside.empty()) return {};
    QStringList parts;
    if (!missing.empty()) parts << QStringLiteral("нет номеров ") + numberList(missing);
    if (!repeated.empty()) parts << QStringLiteral("повторяются ") + numberList(repeated);
    if (!outside.empty()) parts << QStringLiteral("лишние номера ") + numberList(outside);
    return QStringLiteral("номера не идут подряд от 1 до ") + QString::number(n) +
           QStringLiteral(": ") + parts.join(QStringLiteral("; "));
}

// `text` with every control character but the line breaks as a blank (the exchange file's
// check then reports only what the control character kind does not).
QString withoutControls(QString text) {
    for (QChar& c : text)
        if (c != u'\r' && c != u'\n' && exchange::controlCharacter(QString(c), true)) c = u' ';
    return text;
}

}  // namespace

QString kindName(Kind kind) {
    switch (kind) {
        case Kind::WrongCorrectAnswer:
            return QStringLiteral("Неверный номер правильного ответа");
        case Kind::AnswerCountDiffers:
            return QStringLiteral("Число ответов не совпадает");
        case Kind::AnswerCountRange:
            return QStringLiteral("Ответов меньше 2 или больше 6");
        case Kind::EmptyQuestion:
            return QStringLiteral("Пустой вопрос");
        case Kind::EmptyAnswer:
            return QStringLiteral("Пустой ответ");
        case Kind::ControlCharacters:
            return QStringLiteral("Управляющие символы в тексте");
        case Kind::PictureName:
            return QStringLiteral("Имя рисунка не имя файла");
        case Kind::MissingPicture:
            return QStringLiteral("Нет рисунка");
        case Kind::UnreadablePicture:
            return QStringLiteral("Рисунок не читается");
        case Kind::TopicNumbers:
            return QStringLiteral("Нумерация тем");
        case Kind::QuestionNumbers:
            return QStringLiteral("Нумерация вопросов");
        case Kind::StoredCount:
            return QStringLiteral("Неверное число вопросов темы");
        case Kind::OrphanQuestion:
            return QStringLiteral("Вопрос без темы");
        case Kind::OrphanAnswer:
            return QStringLiteral("Ответ без вопроса");
        case Kind::TooManyTopics:
            return QStringLiteral("Больше 14 тем");
        case Kind::ExchangeHazard:
            return QStringLiteral("Не переносится в файл обмена");
        case Kind::UnknownWord:
            return QStringLiteral("Неизвестное слово");
    }
    return {};
}

QString kindCode(Kind kind) {
    switch (kind) {
        case Kind::WrongCorrectAnswer:
            return QStringLiteral("wrong-answer");
        case Kind::AnswerCountDiffers:
            return QStringLiteral("answer-count");
        case Kind::AnswerCountRange:
            return QStringLiteral("answer-range");
        case Kind::EmptyQuestion:
            return QStringLiteral("empty-question");
        case Kind::EmptyAnswer:
            return QStringLiteral("empty-answer");
        case Kind::ControlCharacters:
            return QStringLiteral("control-characters");
        case Kind::PictureName:
            return QStringLiteral("picture-name");
        case Kind::MissingPicture:
            return QStringLiteral("missing-picture");
        case Kind::UnreadablePicture:
            return QStringLiteral("unreadable-picture");
        case Kind::TopicNumbers:
            return QStringLiteral("topic-numbers");
        case Kind::QuestionNumbers:
            return QStringLiteral("question-numbers");
        case Kind::StoredCount:
            return QStringLiteral("stored-count");
        case Kind::OrphanQuestion:
            return QStringLiteral("orphan-question");
        case Kind::OrphanAnswer:
            return QStringLiteral("orphan-answer");
        case Kind::TooManyTopics:
            return QStringLiteral("too-many-topics");
        case Kind::ExchangeHazard:
            return QStringLiteral("exchange");
        case Kind::UnknownWord:
            return QStringLiteral("unknown-word");
    }
    return {};
}

TreePlaces::TreePlaces(const BankRows& bank) {
    std::vector<const zn::Topic*> topics;
    for (const zn::Topic& t : bank.topics) topics.push_back(&t);
    std::stable_sort(topics.begin(), topics.end(), [](const auto* a, const auto* b) {
        return a->numtema != b->numtema ? a->numtema < b->numtema : a->id < b->id;
    });
    for (size_t i = 0; i < topics.size(); ++i)
        if (i == 0 || topics[i - 1]->numtema != topics[i]->numtema)
            topicPos_.emplace_back(topics[i]->numtema, int(i + 1));

    std::vector<const zn::Question*> questions;
    for (const zn::Question& q : bank.questions)
        if (topicPos(q.idtest) > 0) questions.push_back(&q);
    std::stable_sort(questions.begin(), questions.end(), [](const auto* a, const auto* b) {
        if (a->idtest != b->idtest) return a->idtest < b->idtest;
        return a->idvopr != b->idvopr ? a->idvopr < b->idvopr : a->id < b->id;
    });
    int place = 0;
    for (size_t i = 0; i < questions.size(); ++i) {
        place = i > 0 && questions[i - 1]->idtest == questions[i]->idtest ? place + 1 : 1;
        questionPos_.emplace_back(questions[i]->id, place);
    }
    std::sort(questionPos_.begin(), questionPos_.end());
}

namespace {
int lookup(const std::vector<std::pair<qint64, int>>& v, qint64 key) {
    auto it = std::lower_bound(v.begin(), v.end(), std::make_pair(key, 0));
    return it != v.end() && it->first == key ? it->second : 0;
}
}  // namespace

int TreePlaces::topicPos(qint64 numtema) const {
    return lookup(topicPos_, numtema);
}

int TreePlaces::questionPos(qint64 questionId) const {
    return lookup(questionPos_, questionId);
}

std::vector<Problem> check(const BankRows& bank, const QString& dataFolder,
                           PictureVerdicts* verdicts, SpellingCheck* spelling) {
    std::vector<Problem> out;
    const TreePlaces places(bank);

    QHash<qint64, const zn::Topic*> topicByNumber;
    for (const zn::Topic& t : bank.topics)
        if (!topicByNumber.contains(t.numtema)) topicByNumber.insert(t.numtema, &t);
    QHash<qint64, int> questionCount;  // per topic number
    QHash<qint64, const zn::Question*> questionById;
    for (const zn::Question& q : bank.questions) {
        ++questionCount[q.idtest];
        if (!questionById.contains(q.id)) questionById.insert(q.id, &q);
    }
    QHash<qint64, std::vector<const zn::Answer*>> answersOf;  // by question id
    for (const zn::Answer& a : bank.answers) answersOf[a.idvopr].push_back(&a);

    auto questionProblem = [&](Kind kind, const zn::Question& q, const QString& what) {
        out.push_back(Problem{kind, q.idtest, q.idvopr, q.id, what, places.topicPos(q.idtest),
                              places.questionPos(q.id)});
    };
    auto topicProblem = [&](Kind kind, const zn::Topic& t, const QString& what) {
        out.push_back(Problem{kind, t.numtema, 0, t.id, what, places.topicPos(t.numtema), 0});
    };

    // --- Questions: the correct answer, the answers, texts and pictures.
    QHash<QString, Kind> pictureFault;  // resolved path -> fault (UnreadablePicture: none)
    QHash<QString, bool> pictureSeen;
    for (const zn::Question& q : bank.questions) {
        static const std::vector<const zn::Answer*> none;
        auto found = answersOf.constFind(q.id);
        const auto& answers = found == answersOf.constEnd() ? none : *found;
        const qint64 n = qint64(answers.size());
        const bool marked = std::any_of(answers.begin(), answers.end(),
                                        [&](const auto* a) { return a->idotv == q.otvet; });
        if (q.otvet < 1 || q.otvet > q.kolotvet || !marked) {
            QString why;
            if (q.otvet < 1)
                why = QStringLiteral("правильный ответ не отмечен (номер ") +
                      QString::number(q.otvet) + QStringLiteral(")");
            else if (q.otvet > q.kolotvet)
                why = QStringLiteral("правильный ответ %1, а ответов %2")
                          .arg(q.otvet)
                          .arg(q.kolotvet);
            else
                why = QStringLiteral("нет ответа с номером %1").arg(q.otvet);
            questionProblem(Kind::WrongCorrectAnswer, q, why);
        }
        if (q.kolotvet != n)
            questionProblem(
                Kind::AnswerCountDiffers, q,
                QStringLiteral("записано ответов: %1, есть: %2").arg(q.kolotvet).arg(n));
        if (n < kMinAnswers || n > kMaxAnswers)
            questionProblem(Kind::AnswerCountRange, q,
                            QStringLiteral("ответов: %1 (нужно от 2 до 6)").arg(n));
        if (trimmed(q.vopros).isEmpty())
            questionProblem(Kind::EmptyQuestion, q, QStringLiteral("текст вопроса пуст"));
        std::vector<const zn::Answer*> sorted = answers;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto* a, const auto* b) { return a->idotv < b->idotv; });
        for (const zn::Answer* a : sorted)
            if (trimmed(a->otvet).isEmpty())
                out.push_back(Problem{Kind::EmptyAnswer, q.idtest, q.idvopr, a->id,
                                      QStringLiteral("ответ %1 пуст").arg(a->idotv),
                                      places.topicPos(q.idtest), places.questionPos(q.id)});

        // Texts: line breaks belong in question and answer texts, in nothing else.
        auto control = [](const QString& text, bool lineBreaks) {
            const std::optional<char16_t> c = exchange::controlCharacter(text, lineBreaks);
            return c ? QStringLiteral("код %1").arg(int(*c)) : QString();
        };
        if (const QString c = control(q.vopros, true); !c.isEmpty())
            questionProblem(Kind::ControlCharacters, q,
                            QStringLiteral("в тексте вопроса управляющий символ (%1)").arg(c));
        for (const zn::Answer* a : sorted)
            if (const QString c = control(a->otvet, true); !c.isEmpty())
                out.push_back(Problem{
                    Kind::ControlCharacters, q.idtest, q.idvopr, a->id,
                    QStringLiteral("в ответе %1 управляющий символ (%2)").arg(a->idotv).arg(c),
                    places.topicPos(q.idtest), places.questionPos(q.id)});

        const QString picture = trimmed(q.img);
        const bool plainName = picture.isEmpty() || exchange::isPlainFileName(picture);
        if (!plainName)
            questionProblem(Kind::PictureName, q,
                            QStringLiteral("имя рисунка «%1» не имя файла папки данных: в нём "
                                           "папка, диск или управляющий символ")
                                .arg(picture));
        if (!picture.isEmpty() && plainName && !dataFolder.isEmpty()) {
            const QString path = dataFilePath(dataFolder, picture);
            if (!pictureSeen.contains(path)) {
                const QFileInfo info(path);
                Kind fault = Kind::UnreadablePicture;
                bool bad = false;
                if (!info.isFile()) {
                    fault = Kind::MissingPicture;
                    bad = true;
                } else {
                    const qint64 size = info.size();
                    const qint64 modified = info.lastModified().toMSecsSinceEpoch();
                    const auto known =
                        verdicts ? verdicts->byPath.constFind(path)
                                 : QHash<QString, PictureVerdicts::Verdict>::const_iterator();
                    if (verdicts && known != verdicts->byPath.constEnd() && known->size == size &&
                        known->modified == modified) {
                        bad = !known->readable;
                    } else {
                        QImageReader reader(path);
                        bad = !reader.canRead();
                        if (verdicts) verdicts->byPath.insert(path, {size, modified, !bad});
                    }
                }
                pictureSeen.insert(path, bad);
                pictureFault.insert(path, fault);
            }
            if (pictureSeen.value(path)) {
                const Kind fault = pictureFault.value(path);
                questionProblem(
                    fault, q,
                    fault == Kind::MissingPicture
                        ? QStringLiteral("файла «%1» нет в папке данных").arg(picture)
                        : QStringLiteral("файл «%1» не читается как рисунок").arg(picture));
            }
        }
    }

    for (const zn::Topic& t : bank.topics)
        if (const auto c = exchange::controlCharacter(t.tema, false))
            topicProblem(
                Kind::ControlCharacters, t,
                QStringLiteral("в названии темы управляющий символ (код %1)").arg(int(*c)));

    // --- Numbering and counts.
    {
        std::vector<qint64> numbers;
        for (const zn::Topic& t : bank.topics) numbers.push_back(t.numtema);
        const QString fault = numberingFault(numbers);
        if (!fault.isEmpty())
            out.push_back(
                Problem{Kind::TopicNumbers, 0, 0, 0, QStringLiteral("Темы: ") + fault, 0, 0});
    }
    {
        QHash<qint64, std::vector<qint64>> numbersOf;
        for (const zn::Question& q : bank.questions) numbersOf[q.idtest].push_back(q.idvopr);
        QSet<qint64> done;
        for (const zn::Topic& t : bank.topics) {
            if (done.contains(t.numtema)) continue;
            done.insert(t.numtema);
            const QString fault = numberingFault(numbersOf.value(t.numtema));
            if (!fault.isEmpty())
                topicProblem(Kind::QuestionNumbers, t, QStringLiteral("Вопросы темы: ") + fault);
        }
        for (const zn::Topic& t : bank.topics) {
            const int count = questionCount.value(t.numtema);
            if (t.kolvopr != count)
                topicProblem(
                    Kind::StoredCount, t,
                    QStringLiteral("записано вопросов: %1, есть: %2").arg(t.kolvopr).arg(count));
        }
    }

    // --- Rows without their owner.
    for (const zn::Question& q : bank.questions)
        if (!topicByNumber.contains(q.idtest))
            questionProblem(Kind::OrphanQuestion, q,
                            QStringLiteral("нет темы с номером %1").arg(q.idtest));
    for (const zn::Answer& a : bank.answers)
        if (!questionById.contains(a.idvopr))
            out.push_back(Problem{
                Kind::OrphanAnswer, 0, 0, a.id,
                QStringLiteral("ответ %1 вопроса с id %2, которого нет").arg(a.idotv).arg(a.idvopr),
                0, 0});

    if (bank.topics.size() > size_t(kShownTopics))
        out.push_back(Problem{Kind::TooManyTopics, 0, 0, 0,
                              QStringLiteral("тем: %1, программа тестирования покажет первые 14")
                                  .arg(bank.topics.size()),
                              0, 0});

    // --- The exchange file. Only what the kinds above do not already report: each topic number
    // once, questions of existing topics, answers numbered 1..n in their order (at most 6).
    {
        exchange::Bank x;
        QHash<qint64, qint64> topicIdOf;
        std::vector<const zn::Topic*> topics;
        for (const zn::Topic& t : bank.topics) topics.push_back(&t);
        std::stable_sort(topics.begin(), topics.end(), [](const auto* a, const auto* b) {
            return a->numtema != b->numtema ? a->numtema < b->numtema : a->id < b->id;
        });
        for (const zn::Topic* t : topics) {
            if (topicIdOf.contains(t->numtema)) continue;
            topicIdOf.insert(t->numtema, t->id);
            exchange::TopicLine line = exchange::topicLine(*t);
            line.tema = withoutControls(line.tema);
            x.topics.push_back(std::move(line));
        }
        std::map<std::pair<qint64, qint64>, qint64> questionIdOf;
        x.questions.reserve(bank.questions.size());
        for (const zn::Question& q : bank.questions) {
            if (!topicIdOf.contains(q.idtest)) continue;
            questionIdOf.emplace(std::make_pair(q.idtest, q.idvopr), q.id);
            // As the export would write it, less what the kinds above report: control
            // characters, a correct answer out of range, a picture name that is not a file name.
            exchange::QuestionBlock b = exchange::questionBlock(q);
            b.vopros = withoutControls(b.vopros);
            b.otvet = 1;
            if (!exchange::isPlainFileName(trimmed(b.img))) b.img.clear();
            std::vector<const zn::Answer*> answers = answersOf.value(q.id);
            std::stable_sort(answers.begin(), answers.end(),
                             [](const auto* a, const auto* b) { return a->idotv < b->idotv; });
            for (const zn::Answer* a : answers) {
                if (b.answers.size() >= size_t(exchange::kMaxAnswers)) break;
                exchange::AnswerLine line = exchange::answerLine(*a);
                line.idotv = qint64(b.answers.size() + 1);
                line.otvet = withoutControls(line.otvet);
                b.answers.push_back(std::move(line));
            }
            if (b.answers.empty()) b.answers.push_back({1, QStringLiteral("-"), 0});
            b.kolotvet = qint64(b.answers.size());
            x.questions.push_back(std::move(b));
        }
        for (const exchange::Hazard& h : exchange::readBackHazards(x)) {
            if (h.question < 0) {
                out.push_back(Problem{Kind::ExchangeHazard, h.topic, 0, topicIdOf.value(h.topic),
                                      QStringLiteral("Тема: ") + h.what, places.topicPos(h.topic),
                                      0});
            } else {
                auto it = questionIdOf.find({h.topic, h.question});
                const qint64 id = it == questionIdOf.end() ? 0 : it->second;
                out.push_back(Problem{Kind::ExchangeHazard, h.topic, h.question, id, h.what,
                                      places.topicPos(h.topic), places.questionPos(id)});
            }
        }
    }

    std::stable_sort(out.begin(), out.end(),
                     [](const Problem& a, const Problem& b) { return a.kind < b.kind; });
    // The last kind, in its own order.
    if (spelling) {
        std::vector<Problem> words = spelling->problems(bank, places);
        out.insert(out.end(), std::make_move_iterator(words.begin()),
                   std::make_move_iterator(words.end()));
    }
    return out;
}

std::vector<int> countByKind(const std::vector<Problem>& problems) {
    std::vector<int> counts(size_t(kKindCount), 0);
    for (const Problem& p : problems) ++counts[size_t(p.kind)];
    return counts;
}

QString problemLine(const Problem& p) {
    QString description = p.description;
    description.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
    return kindCode(p.kind) + u'\t' + QString::number(p.topic) + u'\t' +
           QString::number(p.question) + u'\t' + QString::number(p.rowId) + u'\t' + description;
}

}  // namespace zn::problems
