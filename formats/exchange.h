// The exchange file: a whole bank (topics, questions with their answers and picture names) as a
// plain text file, and back. Pure code: bytes in, topics/questions/answers out, and the
// reverse; no database and no widgets, so tools and tests read and write files without the
// program.
//
// The file, as the export writes it: Windows-1251 text ("?" for a character the code page
// cannot hold), every line ended by CR LF, no byte-order mark. For each topic in order:
//   the topic line      NN.name          (NN: the topic number, "0" in front below 10)
//   an empty line
//   for each of its questions (those whose idtest is the topic's number), in order:
//     the question line  NN.QQ.text     (QQ: the question number, "0" in front below 10)
//     the correct answer's number
//     one line per answer  a.text
//     the picture's file name, when the question has one
//     an empty line
//
// Reading: the bytes are Windows-1251 unless they start with a byte-order mark (UTF-8, or UTF-16
// in either byte order, as Notepad saves "Юникод") or are valid UTF-8 holding at least one
// non-ASCII character. Lines end at CR LF, a lone CR or a lone
// LF; an empty last line after the final line end does not count; each line is taken up to its
// first 4096 characters. Then every line is looked at in turn:
//   - shorter than 3 characters, or no "." as its 3rd character: passed over;
//   - a digit as its 4th character: a question line. Topic number: characters 1-2; question
//     number: characters 4-5, or 4-6 when the 6th is a digit; text: from the 8th character
//     after a three-digit number, else from the 7th. Its block is the lines after it up to the
//     next empty line. From the 3rd line of the block on, a line with "." as its 2nd character
//     sets the answer count to the number its 1st character gives (2 when there is none); the
//     last other line is the picture name. The line after the question line is the correct
//     answer's number; answers 1..count are the lines right after it by position (number from
//     the 1st character, text from the 3rd).
//   - otherwise a topic line: number from characters 1-2, name from the 4th character on.
// The lines a question block used (up to its empty line) are not looked at again as topic or
// question lines.
//
// Numbers are read as the program's integer conversion reads them (store/convert.h). What
// cannot be read or stored is a fault with the line where it was found: a number that fails the
// conversion, a value outside its column's range, a name longer than its column (tema, img),
// a question with more than 6 answers, a line holding a control character (any but TAB: NUL
// and the like would be stored as they are and cut the text short in other programs) and a
// picture name that is not a plain file name (no folders, no drive, see isPlainFileName). A
// fault ends the reading of its topic line or question block; reading goes on with the next
// line after it, so one pass finds every faulty item.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "store/values.h"

namespace zn::exchange {

// Characters of a line the import takes; the rest of a longer line is dropped.
inline constexpr int kMaxLineLength = 4096;
// Answers a question may have.
inline constexpr int kMaxAnswers = 6;

struct AnswerLine {
    qint64 idotv = 0;
    QString otvet;
    int line = 0;  // where it was read, from 1 (0: not read from a file)
};

struct QuestionBlock {
    qint64 idtest = 0;  // the topic's number
    qint64 idvopr = 0;
    QString vopros;
    qint64 otvet = 0;     // the correct answer's number
    qint64 kolotvet = 0;  // the answer count
    QString img;          // empty: no picture
    std::vector<AnswerLine> answers;
    int line = 0;  // the question line, from 1 (0: not read from a file)
};

struct TopicLine {
    qint64 numtema = 0;
    QString tema;
    int line = 0;  // from 1 (0: not read from a file)
};

// A bank in file order. A question belongs to every topic whose number is its idtest.
struct Bank {
    std::vector<TopicLine> topics;
    std::vector<QuestionBlock> questions;
};

// --- The bank's rows and the file's lines
// One place for the fields they share, both ways. Texts go as they are; a value made from a line
// has id 0 (the table numbers it) and a line made from a value has line 0. Answers are the
// caller's: a block is made without them.

TopicLine topicLine(const Topic& t);
QuestionBlock questionBlock(const Question& q);
AnswerLine answerLine(const Answer& a);
Topic topicValue(const TopicLine& t);            // kolvopr 0
Question questionValue(const QuestionBlock& q);  // idtest is the block's topic number
Answer answerValue(const AnswerLine& a);         // idvopr 0: the caller names the question

// --- Text encodings

enum class Encoding { Windows1251, Utf8, Utf8WithBom, Utf16Le, Utf16Be };

// How `bytes` are read (see the top of this file).
Encoding detectEncoding(const QByteArray& bytes);
// The text of `bytes` in the encoding detectEncoding finds (the byte-order mark dropped).
QString decode(const QByteArray& bytes, Encoding* found = nullptr);
// `text` in Windows-1251; every character the code page cannot hold (a surrogate pair counts as
// one) becomes "?".
QByteArray toWindows1251(const QString& text);
// Whether every character of `text` has a place in Windows-1251.
bool fitsWindows1251(const QString& text);
// The lines of `text` as the import sees them: split at CR LF, CR and LF, without the empty line
// after a final line end, each cut to kMaxLineLength characters.
QStringList splitLines(const QString& text);

// --- What a text may hold

// The first control character of `text` (a character of Unicode's Cc category: U+0000..U+001F,
// U+007F..U+009F) other than TAB, and other than CR and LF when `lineBreaks` allows them;
// nullopt when there is none.
std::optional<char16_t> controlCharacter(const QString& text, bool lineBreaks);
// Whether `name` is a plain file name: not empty, not "." or "..", and without "/", "\", ":"
// (a drive or a stream) or a control character. Picture names are plain file names: the
// pictures are the files of the data folder itself.
bool isPlainFileName(const QString& name);
// The messages of the import for these.
QString controlCharacterMessage(char16_t c);
QString pictureNameMessage(const QString& name);

// --- Reading

// What the columns the import writes accept. Integer columns by their range, text columns by
// their width; the label is the column's caption in messages.
struct IntegerRule {
    QString label;
    qint64 min = 0;
    qint64 max = 0;
};
struct FieldRules {
    IntegerRule numtema, idtest, idvopr, otvet, kolotvet, idotv;
    int temaChars = 0;
    int imgChars = 0;
    // The columns of a test database as this program creates them (store/bank).
    static FieldRules standard();
};

struct Fault {
    int line = 0;  // from 1
    QString message;
};

struct ParseResult {
    Bank bank;                  // the items read without a fault
    std::vector<Fault> faults;  // one per faulty topic line or question block, in file order
    Encoding encoding = Encoding::Windows1251;
    int lineCount = 0;
};

ParseResult parse(const QByteArray& bytes, const FieldRules& rules = FieldRules::standard());
ParseResult parseLines(const QStringList& lines, const FieldRules& rules = FieldRules::standard());

// The message for a name longer than its column (the data module's wording).
QString tooLongMessage();
// The message for a question block with more than kMaxAnswers answers.
QString tooManyAnswersMessage(qint64 count);

// --- Writing

// The number as a topic or question number is written: "0" in front of a value below 10.
QString paddedNumber(qint64 value);
// The lines of the file for `bank`: each topic in order with the questions whose idtest is its
// number, in their order, each with its answers in their order.
QStringList formatLines(const Bank& bank);
// formatLines in Windows-1251, every line ended by CR LF.
QByteArray format(const Bank& bank);

// --- Reading back

// Something of the bank that the written file will not give back as it is.
struct Hazard {
    qint64 topic = 0;      // the topic's number (for a question: its idtest)
    qint64 question = -1;  // the question's number, -1 for a topic
    QString topicName;     // for a topic
    QString what;          // what will differ, in Russian
};

// Every topic and question of `bank` that will not read back into the same rows, at most one
// entry per item, in file order (questions no topic writes last). Found by the real round trip:
// the file format() writes is read back with parse() under `rules` and every item compared with
// what came back. The reason named is the first of these that applies: a character outside
// Windows-1251, a line break in a text, a topic name beginning with a digit, a topic number
// outside 0..99 or a question number outside 0..999, a line longer than kMaxLineLength, a
// picture name with "." as its 2nd character, answers not numbered 1..n (n from 1 to 6), an
// answer count differing from the answers, a question whose topic number no topic has, and a
// topic number used by two topics; else what the reading gives instead (a text read in another
// encoding, a fault of the reading).
std::vector<Hazard> readBackHazards(const Bank& bank,
                                    const FieldRules& rules = FieldRules::standard());

}  // namespace zn::exchange
