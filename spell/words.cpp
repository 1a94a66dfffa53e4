// Splitting Russian text into words, and the forms of a word the checker works with.
#include "spell/words.h"

namespace zn::spell {

namespace {

constexpr char16_t kSoftHyphen = 0x00AD;

bool isJoiner(char16_t c) {
    return c == u'-' || c == 0x2010 || c == 0x2011 || c == u'\'' || c == 0x2019 || c == 0x02BC;
}

// A character that starts a word or stands between joiners.
bool isWordChar(QChar c) {
    return c.isLetterOrNumber();
}

// A character that continues a word without starting one.
bool isInnerChar(QChar c) {
    return c.isMark() || c.unicode() == kSoftHyphen;
}

bool isCyrillic(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0400 && u <= 0x052F) || (u >= 0x1C80 && u <= 0x1C8F) ||
           (u >= 0x2DE0 && u <= 0x2DFF) || (u >= 0xA640 && u <= 0xA69F);
}

}  // namespace

std::vector<WordSpan> wordSpans(QStringView text) {
    std::vector<WordSpan> spans;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (!isWordChar(text[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        ++i;
        for (;;) {
            while (i < n && (isWordChar(text[i]) || isInnerChar(text[i]))) ++i;
            // A joiner belongs to the word only with a letter or digit right after it.
            if (i + 1 < n && isJoiner(text[i].unicode()) && isWordChar(text[i + 1])) {
                i += 2;
                continue;
            }
            break;
        }
        spans.push_back({int(start), int(i - start)});
    }
    return spans;
}

const WordSpan* spanAt(const std::vector<WordSpan>& spans, int position) {
    for (const WordSpan& s : spans) {
        if (s.start > position) break;
        if (position <= s.end()) return &s;
    }
    return nullptr;
}

QString dictionaryForm(QStringView word) {
    QString out;
    out.reserve(word.size());
    bool marks = false;
    for (QChar c : word) {
        const char16_t u = c.unicode();
        if (u == kSoftHyphen || u == 0x0300 || u == 0x0301) continue;
        if (u == 0x2010 || u == 0x2011)
            out += u'-';
        else if (u == 0x2019 || u == 0x02BC)
            out += u'\'';
        else {
            marks = marks || c.isMark();
            out += c;
        }
    }
    if (marks) out = out.normalized(QString::NormalizationForm_C);
    return out;
}

bool isCheckedWord(QStringView word) {
    int letters = 0;
    bool cyrillic = false;
    for (QChar c : word) {
        if (c.isNumber()) return false;
        if (c.isLetter()) {
            ++letters;
            cyrillic = cyrillic || isCyrillic(c);
        }
    }
    return cyrillic && letters > 1;
}

QString groupKey(QStringView word) {
    QString key = word.toString().toLower();
    key.replace(u'ё', u'е');
    return key;
}

}  // namespace zn::spell
