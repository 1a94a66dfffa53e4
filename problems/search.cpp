// The search index (see search.h).
#include "problems/search.h"

#include <QHash>
#include <algorithm>

namespace zn::problems {

QString foldForSearch(const QString& text) {
    QString f = text.toCaseFolded();
    for (QChar& c : f)
        if (c == QChar(0x0451)) c = QChar(0x0435);  // ё -> е (Ё folds to ё first)
    return f;
}

namespace {

QString excerptOf(const QString& text) {
    constexpr int kChars = 80;
    QString one = text.simplified();
    if (one.size() > kChars) one = one.left(kChars) + QStringLiteral("…");
    return one;
}

}  // namespace

SearchIndex::SearchIndex(const BankRows& bank) {
    const TreePlaces places(bank);
    QHash<qint64, QString> answerText;  // question id -> its answers' texts
    for (const store::Answer& a : bank.answers) {
        QString& s = answerText[a.idvopr];
        s += a.otvet;
        s += u'\n';
    }
    for (const store::Question& q : bank.questions) {
        const int tp = places.topicPos(q.idtest);
        if (tp == 0) continue;
        Entry e;
        e.hit = {q.idtest, q.idvopr, q.id, tp, places.questionPos(q.id), excerptOf(q.vopros)};
        e.folded = foldForSearch(q.vopros + u'\n' + answerText.value(q.id) + q.img);
        entries_.push_back(std::move(e));
    }
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        return a.hit.topicPos != b.hit.topicPos ? a.hit.topicPos < b.hit.topicPos
                                                : a.hit.questionPos < b.hit.questionPos;
    });
}

std::vector<SearchHit> SearchIndex::find(const QString& query, size_t limit, size_t* total) const {
    std::vector<SearchHit> hits;
    size_t count = 0;
    const QString needle = foldForSearch(query.trimmed());
    if (!needle.isEmpty()) {
        for (const Entry& e : entries_) {
            if (!e.folded.contains(needle)) continue;
            if (hits.size() < limit) hits.push_back(e.hit);
            ++count;
        }
    }
    if (total) *total = count;
    return hits;
}

}  // namespace zn::problems
