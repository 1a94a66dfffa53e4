// Questions from a spreadsheet saved as CSV, one question per row:
//     topic; question; answer 1; … answer 6; number of the correct answer; picture
// as a spreadsheet saves them: Windows-1251, or UTF-8 with or without a byte-order mark (the
// exchange file's detection); ";", "," or a tab between fields, whichever the first row uses
// most outside quotes (";" on a tie, as a Russian spreadsheet saves); fields in double quotes
// may hold separators and line breaks, a doubled quote standing for one.
//
// A row need not have all six answer columns: the answers are the fields after the question up
// to the number of the correct answer, which is the last field when that is a whole number and
// the one before the last otherwise (the last being the picture's file name; empty: none).
// Empty fields at the end of a row and empty answers after the last one given are dropped. The
// picture is a name only: the file is expected in the data folder.
//
// A first row whose correct-answer field is not a number and whose first fields name the
// columns ("Тема", "Вопрос", "Topic", "Question" …) is a header and skipped. Empty rows are
// passed over. Problems, with the line the row starts on: no number of the correct answer, an
// answer left empty between others, a quote not closed before the end of the file.
#pragma once

#include <QByteArray>

#include "formats/question.h"

namespace zn::formats {

ReadResult readCsv(const QByteArray& bytes, const Limits& limits = Limits::standard());

}  // namespace zn::formats
