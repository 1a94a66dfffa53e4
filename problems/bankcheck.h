// The problem check of a whole bank: what keeps a question from being answered right in a test,
// and what other tools broke (numbering, counts, rows without their owner). Pure code: it reads
// the three tables through the engine and looks at the rows as values; no widgets, no dataset
// cursors move. The panel, the command-line tool and the tests all call it.
//
// The rows are read once with the engine's row reader (Table::scan) and grouped in hash maps;
// a bank of 4,200 questions and 17,000 answers is read and checked in well under 100 ms
// (bench/problems_bench.cpp).
#pragma once

#include <QHash>
#include <QString>
#include <vector>

#include "jet/tabledef.h"
#include "store/rows.h"
#include "store/values.h"

namespace jet {
class Database;
}

namespace zn::problems {

// The kinds of problem, in the order the panel and the tool list them.
enum class Kind {
    WrongCorrectAnswer,  // otvet is 0, above kolotvet, or no answer has that idotv
    AnswerCountDiffers,  // kolotvet differs from the number of answer rows
    AnswerCountRange,    // fewer than 2 or more than 6 answer rows
    EmptyQuestion,       // the question text is empty after trimming
    EmptyAnswer,         // an answer text is empty after trimming
    ControlCharacters,   // a text holds a control character other than TAB and line breaks
    PictureName,         // img is no plain file name (a folder, a drive, ".."): never looked up
    MissingPicture,      // img names no file of the data folder
    UnreadablePicture,   // img names a file no image decoder reads
    TopicNumbers,        // topic numbers are not 1..n (one problem for the bank)
    QuestionNumbers,     // a topic's question numbers are not 1..n (one per topic)
    StoredCount,         // a topic's kolvopr differs from its question count
    OrphanQuestion,      // idtest is no topic's number
    OrphanAnswer,        // idvopr is no question's id
    TooManyTopics,       // more topics than the test-taking program shows
    ExchangeHazard,      // a text the exchange file will not give back as it is
    UnknownWord,         // a word the spell checker does not know (one per word and question)
};
inline constexpr int kKindCount = int(Kind::UnknownWord) + 1;

// The kind's name as the panel and the tool show it (Russian).
QString kindName(Kind kind);
// A stable short code for scripts ("wrong-answer", "orphan-answer", ...).
QString kindCode(Kind kind);

// The bank as the check reads it: every row of Tema, Voprosi and Otveti with where it lives
// (store/rows.h).
using zn::BankRows;
using zn::readBankRows;

// One problem. `topic` and `question` are the numbers the rows carry (numtema; idtest and
// idvopr); 0 where the problem has none. `rowId` is the id column of the row concerned (the
// question's for question problems, the answer's for answer problems, the topic's for topic
// problems; 0 for problems of the whole bank). `topicPos` and `questionPos` (from 1; 0: none)
// are the node the tree shows the row under: the topic's place in number order and the
// question's place in its topic.
struct Problem {
    Kind kind = Kind::WrongCorrectAnswer;
    qint64 topic = 0;
    qint64 question = 0;
    qint64 rowId = 0;
    QString description;
    int topicPos = 0;
    int questionPos = 0;
};

// The test-taking program shows this many topics.
inline constexpr int kShownTopics = 14;
// Answers a question may have.
inline constexpr int kMinAnswers = 2;
inline constexpr int kMaxAnswers = 6;

// What the image reader said of picture files, kept between checks: a file whose size and
// modification time are unchanged is not opened again. Owned by the caller.
struct PictureVerdicts {
    struct Verdict {
        qint64 size = -1;
        qint64 modified = 0;  // ms since the epoch
        bool readable = false;
    };
    QHash<QString, Verdict> byPath;
};

class SpellingCheck;

// Every problem of `bank`, grouped by kind in Kind order, then in the order of the rows'
// topics and questions (unknown words: by word, see spelling.h). `dataFolder` is the folder
// pictures are looked up in (ending with "/", as dataFolderIn gives); pictures are not looked
// at when it is empty, and no file outside it is ever opened (a picture name that is not a
// plain file name is a problem of its own). `verdicts` (may be null) keeps what the image
// reader found for the next check. `spelling` (may be null: no UnknownWord problems) looks for
// unknown words.
std::vector<Problem> check(const BankRows& bank, const QString& dataFolder,
                           PictureVerdicts* verdicts = nullptr, SpellingCheck* spelling = nullptr);

// Problems per kind, indexed by int(Kind).
std::vector<int> countByKind(const std::vector<Problem>& problems);

// One line per problem as the command-line tool prints it: kind code, topic, question, row id,
// description, separated by tabs.
QString problemLine(const Problem& p);

// Tree positions of a question (topicPos, questionPos; 0 when its topic has no node), computed
// the way the tree orders topics (numtema, then id) and questions (idvopr, then id).
class TreePlaces {
  public:
    explicit TreePlaces(const BankRows& bank);
    // The topic's place (from 1) for a topic number, 0 when no topic has it.
    int topicPos(qint64 numtema) const;
    // The question's place in its topic (from 1), 0 for a question of no topic.
    int questionPos(qint64 questionId) const;

  private:
    std::vector<std::pair<qint64, int>> topicPos_;     // numtema -> first place, sorted
    std::vector<std::pair<qint64, int>> questionPos_;  // question id -> place, sorted
};

}  // namespace zn::problems
