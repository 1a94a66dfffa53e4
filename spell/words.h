// Words of a Russian text as the spell checker sees them: where each word of a text lies, the
// form of a word the dictionary is asked about, and which words are checked at all. Pure code
// over strings; the checker, the underlining and the bank's check all split text here, so a word
// is the same thing in the box and in the problem list.
#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace zn::spell {

// A word of a text: `length` UTF-16 code units from `start`.
struct WordSpan {
    int start = 0;
    int length = 0;
    int end() const { return start + length; }
    friend bool operator==(const WordSpan&, const WordSpan&) = default;
};

// The words of `text`, in order. A word is a run of letters and digits, with the combining marks
// and soft hyphens inside it (a stress mark over a vowel stays part of its word). A hyphen
// (-, U+2010, U+2011) or an apostrophe (', U+2019, U+02BC) joins the letters on both its sides
// into one word ("кто-нибудь", "д'Артаньян"); at either end of a word it is not part of it. Every
// other character separates words: blanks, punctuation, dashes, quotes of every kind («» „“ "),
// brackets, slashes, underscores.
std::vector<WordSpan> wordSpans(QStringView text);

// The span of `spans` that holds `position` (start <= position <= end, so the place just after
// a word's last letter belongs to it), or nullptr.
const WordSpan* spanAt(const std::vector<WordSpan>& spans, int position);

// The word as the dictionary is asked about it: stress marks (U+0300, U+0301) and soft hyphens
// removed, in Unicode composed form (е with a combining diaeresis becomes ё), hyphens U+2010 and
// U+2011 as "-" and apostrophes as "'".
QString dictionaryForm(QStringView word);

// Whether a word (in dictionary form) is looked up at all. Not checked: words with a digit,
// superscripts included ("10-й", "H2O", "5см", "м²"), words without a Cyrillic letter (Latin
// words, units and formulas: "pH", "kg", "XIX"), and words of one letter (the prepositions "в",
// "к", variables, list marks "а)").
// A word mixing Cyrillic and Latin letters in one part is checked: it is usually a Russian word
// typed with a Latin look-alike letter, which a search for the word would miss.
bool isCheckedWord(QStringView word);

// The key that groups spellings of one word: lower case, with ё read as е.
QString groupKey(QStringView word);

}  // namespace zn::spell
