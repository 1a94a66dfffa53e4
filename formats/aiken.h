// Aiken, the one-line question format, read into and written from the neutral model
// (formats/question.h).
//
//     What is 2 + 2?
//     A. 3
//     B) 4
//     ANSWER: B
//
// Reading: the text is decoded as the exchange file is (UTF-8 with or without a byte-order
// mark, else Windows-1251). A question is its text (one line, or several up to the first
// answer), then its answers, each a line labelled with the next capital letter followed by "."
// or ")" (a blank after it is optional): A, B, C … or the Cyrillic А, Б, В … (a Cyrillic letter
// that looks like the Latin one, "А" for "A", counts as it). Then "ANSWER:" and the label of
// the correct answer. Blank lines between questions are optional. Problems, each with the
// question's first line: an "ANSWER:" letter in lower case or naming no answer (neither is
// guessed), several letters, a question that ends (at a blank line followed by a new question,
// or at the end of the file) without "ANSWER:", an "ANSWER:" with no answers before it.
// Aiken has no topics: every question's topic is empty.
//
// Writing is UTF-8 without a byte-order mark: each question's text on one line, answers "A. …",
// "ANSWER: X" and a blank line. What Aiken cannot carry is reported: pictures, topics, line
// breaks in a text (written as blanks) and more than 26 answers.
#pragma once

#include <QByteArray>

#include "formats/question.h"

namespace zn::formats {

ReadResult readAiken(const QByteArray& bytes, const Limits& limits = Limits::standard());
WriteResult writeAiken(const QuestionSet& set);

}  // namespace zn::formats
