// Unknown words as problems of the bank (see spelling.h).
#include "problems/spelling.h"

#include "spell/checker.h"

namespace zn::problems {

namespace {

// "в 2 вопросах", "в 21 вопросе".
QString inQuestions(qsizetype n) {
    const bool one = n % 10 == 1 && n % 100 != 11;
    return QStringLiteral("в %1 %2").arg(n).arg(one ? QStringLiteral("вопросе")
                                                    : QStringLiteral("вопросах"));
}

// Where in its question a word is: "вопрос", "ответ 3", "вопрос, ответы 2, 4".
QString partsOfQuestion(const std::vector<spell::WordPlace>& places, size_t from, size_t to) {
    bool inQuestion = false;
    QStringList answers;
    for (size_t i = from; i < to; ++i) {
        if (places[i].answer == 0)
            inQuestion = true;
        else
            answers << QString::number(places[i].answer);
    }
    QStringList parts;
    if (inQuestion) parts << QStringLiteral("вопрос");
    if (!answers.isEmpty())
        parts << (answers.size() == 1 ? QStringLiteral("ответ ") : QStringLiteral("ответы ")) +
                     answers.join(QStringLiteral(", "));
    return parts.join(QStringLiteral(", "));
}

}  // namespace

std::vector<Problem> SpellingCheck::problems(const BankRows& bank, const TreePlaces& places) {
    std::vector<Problem> out;
    const std::vector<spell::UnknownWord> words =
        spell::findUnknownWords(bank.questions, bank.answers, checker_, &kept_);
    for (const spell::UnknownWord& w : words) {
        // The places come question by question: one line per run of one question's texts.
        std::vector<std::pair<size_t, size_t>> runs;
        for (size_t i = 0; i < w.places.size();) {
            size_t j = i + 1;
            while (j < w.places.size() && w.places[j].questionId == w.places[i].questionId) ++j;
            runs.emplace_back(i, j);
            i = j;
        }
        const QString total =
            runs.size() > 1 ? QStringLiteral(" (всего %1)").arg(inQuestions(qsizetype(runs.size())))
                            : QString();
        for (const auto& [from, to] : runs) {
            const spell::WordPlace& at = w.places[from];
            out.push_back(Problem{Kind::UnknownWord, at.topic, at.question, at.questionId,
                                  QStringLiteral("«%1»: %2%3")
                                      .arg(w.word, partsOfQuestion(w.places, from, to), total),
                                  places.topicPos(at.topic), places.questionPos(at.questionId)});
        }
    }
    return out;
}

QString SpellingCheck::unavailableReason() const {
    return checker_.unavailableReason();
}

}  // namespace zn::problems
