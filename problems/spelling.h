// The unknown-words part of the problem check: the words of the questions and answers that the
// spell checker underlines, as problems of their own kind (Kind::UnknownWord), so that the panel
// lists them and goes to their questions as it does for every other problem. The check itself
// (spell/unknownwords.h) groups spellings of a word; this turns each group into lines.
#pragma once

#include <QString>
#include <vector>

#include "problems/bankcheck.h"
#include "spell/unknownwords.h"

namespace zn::spell {
class Checker;
}

namespace zn::problems {

class SpellingCheck {
  public:
    // `checker` must outlive the check.
    explicit SpellingCheck(spell::Checker& checker) : checker_(checker) {}

    // One problem of kind UnknownWord per unknown word and question it appears in: the words in
    // Russian alphabetical order, each word's questions in the tree's order. The description
    // names the word, where in the question it is ("вопрос", "ответ 2", "ответы 2, 4") and, when
    // the word is in more than one question, in how many. The topic, question and row id are
    // the question's. Waits for the checker's dictionary when it is still loading; nothing when
    // there is none. The texts' verdicts are kept for the next check.
    std::vector<Problem> problems(const BankRows& bank, const TreePlaces& places);

    // Why unknown words are not looked for (the dictionary is missing), for the person; empty
    // when they are.
    QString unavailableReason() const;

  private:
    spell::Checker& checker_;
    spell::TextVerdicts kept_;
};

}  // namespace zn::problems
