// The search index (see search.h).
#include "problems/search.h"

#include <QHash>
#include <algorithm>

namespace zn::problems {

QString foldForSearch(const QString& text) {
    // Latin and Cyrillic letters are folded here directly (the bulk of a bank's text), other
    // characters by Qt's simple case folding; one character in, one out.
    QString f(text.size(), Qt::Uninitialized);
    QChar* out = f.data();
    const QChar* in = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = in[i].unicode();
        if (c < 0x80) {
            if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
        } else if (c >= 0x0410 && c <= 0x042F) {  // А..Я
            c = char16_t(c + 0x20);
        } else if (c == 0x0401 || c == 0x0451) {  // Ё ё
            c = 0x0435;
        } else if (c >= 0x0400 && c <= 0x040F) {  // Ѐ..Џ
            c = char16_t(c + 0x50);
        } else if (!(c >= 0x0430 && c <= 0x045F) && !QChar::isSurrogate(c)) {
            c = char16_t(QChar::toCaseFolded(char32_t(c)));
        }
        out[i] = QChar(c);
    }
    return f;
}

namespace {

QString excerptOf(const QString& text) {
    constexpr int kChars = 80;
    QString one = text.left(4 * kChars).simplified();
    if (one.size() > kChars) one = one.left(kChars) + QStringLiteral("…");
    return one;
}

}  // namespace

SearchIndex::SearchIndex(const BankRows& bank) {
    const TreePlaces places(bank);
    QHash<qint64, QString> answerText;  // question id -> its answers' texts
    for (const zn::Answer& a : bank.answers) {
        QString& s = answerText[a.idvopr];
        s += a.otvet;
        s += u'\n';
    }
    for (const zn::Question& q : bank.questions) {
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
