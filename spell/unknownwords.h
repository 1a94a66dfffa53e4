// The unknown-words check of a whole bank: every word of the questions and answers that the
// spell checker would underline, grouped by word, with the questions where each appears. Pure
// code over the rows as values; the problem list shows its result.
//
// On large-test.mdb (4,200 questions, 16,858 answers) it takes about 90 ms of CPU with the
// dictionary loaded, and about 13 ms when the texts' verdicts are kept from the check before
// (bench/spell_bench.cpp).
#pragma once

#include <QHash>
#include <QString>
#include <vector>

#include "store/values.h"

namespace zn::spell {

class Checker;

// One text a word appears in.
struct WordPlace {
    qint64 questionId = 0;  // Voprosi.id of the question
    qint64 topic = 0;       // its idtest (the topic's numtema)
    qint64 question = 0;    // its idvopr (its number in the topic)
    qint64 answer = 0;      // idotv of the answer; 0: the question's own text
    friend bool operator==(const WordPlace&, const WordPlace&) = default;
};

// A word the dictionary does not know. Spellings that differ only in capitals or in ё/е
// ("Карова", "карова") are one word.
struct UnknownWord {
    QString word;                   // the spelling met first, in the order of `places`
    int occurrences = 0;            // how many times it appears in all
    std::vector<WordPlace> places;  // each text once, by topic, question, then answer number
};

// What the check found in each text, kept by the caller between checks of one checker (as the
// problem list keeps PictureVerdicts): a text met again is not split and looked up again. Each
// check keeps only the texts it met. The texts share their characters with the rows' strings.
struct TextVerdicts {
    quint64 generation = 0;  // the checker's generation() the verdicts hold for
    // A text -> its misspelled words (dictionary form), in order; empty for most texts.
    QHash<QString, std::vector<QString>> misspelled;
};

// The unknown words of the bank, in Russian alphabetical order. The texts are read in the order
// the tree shows them: questions by idtest, idvopr (then id), each question's text before its
// answers by idotv. Answers whose idvopr is no question's id are not read (the problem check
// reports them as orphans).
// Waits for the checker's dictionary if it is still loading; with no dictionary the result is
// empty. `kept` (may be null) holds the verdicts of the check before with this checker.
std::vector<UnknownWord> findUnknownWords(const std::vector<zn::Question>& questions,
                                          const std::vector<zn::Answer>& answers, Checker& checker,
                                          TextVerdicts* kept = nullptr);

// Where the word appears, for a line of the problem list, by topic.question numbers: "вопрос
// 1.2; ответ 3 вопроса 1.5", the first `maxPlaces` texts, then "; … (всего N)" when there are
// more.
QString describePlaces(const UnknownWord& word, int maxPlaces = 5);

}  // namespace zn::spell
