// Rows of the four tables as plain values. Commands, the question page and checks take these
// instead of dataset cursors; only the data module moves cursors.
#pragma once

#include <QString>
#include <vector>

namespace zn {

class Dataset;

// One row of Tema.
struct Topic {
    qint64 id = 0;
    qint64 numtema = 0;
    QString tema;
    qint64 kolvopr = 0;
};

// One row of Voprosi, with the columns the editor reads and writes (pokaz, status, reiting and
// vopros1 are never read; writes keep their stored values).
struct Question {
    qint64 id = 0;
    qint64 idtest = 0;
    qint64 idvopr = 0;
    QString vopros;
    qint64 otvet = 0;
    qint64 kolotvet = 0;
    QString img;
};

// One row of Otveti.
struct Answer {
    qint64 id = 0;
    qint64 idvopr = 0;
    qint64 idotv = 0;
    QString otvet;
};

// One row of Settings.
struct SettingRecord {
    qint64 id = 0;
    QString name;
    QString value;
};

// --- Text rules of the bank's values

// Characters Voprosi.img holds: a picture's file name.
inline constexpr int kMaxPictureName = 10;

// Topics the test-taking program shows; no command makes a bank hold more.
inline constexpr int kMaxTopics = 14;
// Why no topic is added to a bank that already holds `count` topics (Russian).
QString tooManyTopicsMessage(int count);

// A text as the bank takes it from the person: without the characters of codes 0 to 32 at
// either end (blanks, line breaks, control characters); inner ones stay. Questions, answers and
// picture names are stored so, and checked so.
QString trimmedText(const QString& text);

// The current row of a dataset on the table, as a value (NULL columns read as 0 or ""). With no
// current row every field is 0 or empty.
Topic topicAt(const Dataset& d);
Question questionAt(const Dataset& d);
Answer answerAt(const Dataset& d);
SettingRecord settingAt(const Dataset& d);

// Every row of an open dataset in its order. Walks the cursor and leaves it on the first row
// (a closed dataset gives no rows).
std::vector<Answer> answersOf(Dataset& d);
std::vector<Question> questionsOf(Dataset& d);
std::vector<Topic> topicsOf(Dataset& d);

}  // namespace zn
