// Collecting the unknown words of a bank.
#include "spell/unknownwords.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <algorithm>

#include "spell/checker.h"
#include "spell/words.h"

namespace zn::spell {

std::vector<UnknownWord> findUnknownWords(const std::vector<zn::Question>& questions,
                                          const std::vector<zn::Answer>& answers, Checker& checker,
                                          TextVerdicts* kept) {
    std::vector<UnknownWord> words;
    if (checker.waitUntilLoaded() != Checker::State::Ready) return words;
    TextVerdicts before;
    if (kept && kept->generation == checker.generation()) before.misspelled.swap(kept->misspelled);
    TextVerdicts now;
    now.generation = checker.generation();
    now.misspelled.reserve(qsizetype(questions.size() + answers.size()));

    std::vector<const zn::Question*> order;
    order.reserve(questions.size());
    QHash<qint64, std::vector<const zn::Answer*>> answersOf;
    for (const auto& q : questions) {
        order.push_back(&q);
        answersOf[q.id];
    }
    for (const auto& a : answers) {
        auto it = answersOf.find(a.idvopr);
        if (it != answersOf.end()) it->push_back(&a);
    }
    std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
        return std::tie(a->idtest, a->idvopr, a->id) < std::tie(b->idtest, b->idvopr, b->id);
    });

    // The misspelled words of a text, from the check before when it met the text.
    auto misspelledIn = [&](const QString& text) -> const std::vector<QString>& {
        auto known = now.misspelled.constFind(text);
        if (known != now.misspelled.constEnd()) return *known;
        auto old = before.misspelled.find(text);
        if (old != before.misspelled.end()) return *now.misspelled.insert(text, std::move(*old));
        std::vector<QString> found;
        for (const WordSpan& s : wordSpans(text)) {
            const QStringView word = QStringView(text).mid(s.start, s.length);
            if (checker.isMisspelled(word)) found.push_back(dictionaryForm(word));
        }
        return *now.misspelled.insert(text, std::move(found));
    };

    QHash<QString, size_t> byKey;  // group key -> index in words
    auto scan = [&](const QString& text, const WordPlace& place) {
        for (const QString& form : misspelledIn(text)) {
            const QString key = groupKey(form);
            auto it = byKey.find(key);
            if (it == byKey.end()) {
                it = byKey.insert(key, words.size());
                words.push_back({form, 0, {}});
            }
            UnknownWord& w = words[*it];
            ++w.occurrences;
            if (w.places.empty() || !(w.places.back() == place)) w.places.push_back(place);
        }
    };
    for (const zn::Question* q : order) {
        scan(q->vopros, {q->id, q->idtest, q->idvopr, 0});
        auto& own = answersOf[q->id];
        std::stable_sort(own.begin(), own.end(),
                         [](const auto* a, const auto* b) { return a->idotv < b->idotv; });
        for (const zn::Answer* a : own) scan(a->otvet, {q->id, q->idtest, q->idvopr, a->idotv});
    }

    if (kept) *kept = std::move(now);

    QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(words.begin(), words.end(), [&](const UnknownWord& a, const UnknownWord& b) {
        return collator.compare(a.word, b.word) < 0;
    });
    return words;
}

QString describePlaces(const UnknownWord& word, int maxPlaces) {
    QStringList parts;
    for (const WordPlace& p : word.places) {
        if (parts.size() == maxPlaces) break;
        const QString number = QString::number(p.topic) + u'.' + QString::number(p.question);
        parts << (p.answer == 0 ? QStringLiteral("вопрос ") + number
                                : QStringLiteral("ответ %1 вопроса %2").arg(p.answer).arg(number));
    }
    QString text = parts.join(QStringLiteral("; "));
    if (qsizetype(word.places.size()) > parts.size())
        text += QStringLiteral("; … (всего %1)").arg(word.places.size());
    return text;
}

}  // namespace zn::spell
