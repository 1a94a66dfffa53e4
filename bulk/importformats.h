// The sources an import reads and the files an export writes, in terms of the neutral model
// (formats/question.h): a file of any text format read from disk, another test database read
// through the engine with its pictures, and a bank's topics turned into questions for the
// writers. No widgets and no data module: the import and export commands, the command-line tool
// and the benchmarks call these.
#pragma once

#include <QString>
#include <vector>

#include "formats/formats.h"
#include "formats/question.h"

namespace jet {
class Database;
}

namespace zn {

// The data folder in `parent` as a bank made on Windows names it: parent + "/data/" when it
// exists, else the subfolder whose name is "data" in any letter case (the first in name order),
// else parent + "/data/". Ends with "/".
QString dataFolderBeside(const QString& parent);

// The file in `folder` that `name` stands for: the exact name, else the first file (in name
// order) whose name equals it ignoring letter case. Empty when there is none.
QString pictureFileIn(const QString& folder, const QString& name);

// The questions of a test database, each topic's in question-number order, topics in number
// order, answers in answer-number order, the correct one being the answer whose number is the
// question's otvet. A question's picture is embedded from `dataFolder` when the file is there
// (its bytes travel with it); otherwise it stays a name only. Only `topics` (numtema values) are
// taken when it is not empty. Questions of no topic are left out.
formats::QuestionSet bankQuestions(jet::Database& db, const QString& dataFolder,
                                   const std::vector<qint64>& topics = {});

// Another test database as an import source: its questions (bankQuestions with the pictures of
// the data folder beside it), checked against `limits` like any file's. A file the engine cannot
// open is refused with its message.
formats::ReadResult readOtherBank(const QString& path, const formats::Limits& limits);

// The file at `path` read as `format`. A file that cannot be read is refused with the
// system's reason ("Cannot open file ...").
formats::ReadResult readImportSource(const QString& path, formats::Format format,
                                     const formats::Limits& limits = formats::Limits::standard());

}  // namespace zn
