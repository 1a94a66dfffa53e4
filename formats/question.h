// What a file of another program holds, as the bank can take it: questions with their topic,
// text, answers, correct answer and picture, the pictures the file carries, and the problems
// found on the way. Every reader in formats/ returns this and every writer takes it, so the
// import and export code deals with one shape whatever the file's format.
//
// Texts are plain text as the bank stores them: lines joined by CR LF, no markup. A question
// that the bank cannot hold (see checkQuestions) is never in a result: it is a Problem instead,
// with where it was found and why, so the import can show what will be left out before it
// changes anything.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace zn::formats {

// Where something was found in a file.
struct Source {
    int line = 0;  // from 1; 0: not known, or the whole file
    QString name;  // the question's name in the file (Moodle XML's <name>, GIFT's ::title::)

    // "строка 12, «Имя»", "строка 12", "«Имя»" or "" (Russian, for the import's report).
    QString describe() const;
};

// A picture of a question. An embedded picture carries its bytes; one that is not (a CSV
// column, the exchange file) is a name only, and the file is expected in the data folder.
struct Picture {
    QString name;  // as the file names it, without a folder
    QByteArray bytes;
    bool embedded = false;
};

struct Question {
    QString topic;  // the topic's name; empty: the file gives none (the import chooses)
    QString text;
    std::vector<QString> answers;
    int correct = 0;   // the correct answer's number, from 1
    int picture = -1;  // index into the set's pictures; -1: no picture
    Source where;
};

// Something the bank will not get: a question it cannot hold, or a whole file that cannot be
// read (then `where.line` may still say where reading stopped).
struct Problem {
    Source where;
    QString what;  // why, in Russian
};

// Questions in file order and the pictures they use.
struct QuestionSet {
    std::vector<Question> questions;
    std::vector<Picture> pictures;  // each used by at least one question (after a read)
};

struct ReadResult : QuestionSet {
    std::vector<Problem> problems;  // in file order
    // The file as a whole could not be read (not the format, damaged, an encoding that is not
    // taken). Then `questions` and `pictures` are empty: a file that breaks off half-way gives
    // nothing, not the part before the break.
    bool refused = false;
};

// A file a writer made, and what it could not carry (a picture Aiken and GIFT have no place
// for, a character XML cannot hold …), each with the question's `where` as the caller set it.
struct WriteResult {
    QByteArray bytes;
    std::vector<Problem> problems;
};

// What the bank's columns take.
struct Limits {
    int minAnswers = 0;
    int maxAnswers = 0;
    int topicChars = 0;    // Tema.tema; 0: no limit
    int pictureChars = 0;  // Voprosi.img; 0: no limit
    // The columns of a test database as this program creates them (store/bank), 2 to 6 answers.
    static Limits standard();
};

// Drops every U+FEFF (a byte-order mark inside a text) from the questions' texts, then moves
// every question of `result` that the bank cannot hold into its problems (one problem per
// question, naming every reason): fewer than `minAnswers` or more than `maxAnswers` answers, a
// correct answer number out of range, an empty question or answer text (blanks do not count),
// a topic name longer than its column, a picture name that is not embedded and is longer than
// its column, an embedded picture that is not BMP, PNG, JPEG or GIF. Then drops the pictures
// no question uses any more and sorts the problems by line (stable). Every reader calls it last.
void checkQuestions(ReadResult& result, const Limits& limits);

// Marks `result` as refused with the one problem `what` at `line`.
void refuse(ReadResult& result, const QString& what, int line = 0);

// `text` with every line break (CR LF, a lone CR, a lone LF) made CR LF, as the bank keeps them.
QString bankLineBreaks(const QString& text);

}  // namespace zn::formats
