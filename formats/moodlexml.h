// Moodle XML, the learning platform's question file, read into and written from the neutral
// model (formats/question.h).
//
// Reading takes, inside the root element <quiz>, the <question> elements in order:
//  - type="category": its <category><text> path names the topic of the questions after it
//    (formats/text.h, topicFromCategory);
//  - type="multichoice" with <single> true, 1 or missing: the question's text (<questiontext>,
//    its format attribute: html, plain_text, markdown or moodle_auto_format), its answers
//    (<answer> in order; a blank one is passed over, as the platform itself does) and, as the
//    correct one, the only answer at fraction 100;
//  - type="truefalse": two answers «Верно» and «Неверно», the correct one being the answer
//    whose text is "true" at fraction 100 or the other;
//  - every other type is a problem, and so is a multichoice with several or no answers at 100.
// The question's picture is an <img> of its text: "@@PLUGINFILE@@/name" (percent-encoded)
// names a <file name= path= encoding="base64"> inside <questiontext>; a "data:" address holds
// the picture itself. The old form, <image> with <image_base64> in the question, is read too.
// A picture in an answer, more than one picture, or one the file does not carry is a problem.
// The question's <name> is its name in the report.
//
// The file is UTF-8 (a byte-order mark is allowed); a declaration naming another encoding, a
// UTF-16 file, a root other than <quiz> and XML that is not well-formed refuse the whole file
// with a Russian message and the line. The parser expands no external entity.
#pragma once

#include <QByteArray>

#include "formats/question.h"

namespace zn::formats {

ReadResult readMoodleXml(const QByteArray& bytes, const Limits& limits = Limits::standard());

// `set` as Moodle XML, UTF-8: a category question (categoryForTopic) before the first question
// and wherever the topic changes (none before questions without a topic at the start); each
// question a single-choice multichoice in HTML (htmlFromPlain), its picture embedded as base64
// in its text's <file> and shown by an <img> at the end of the text. Only pictures the
// questions use are written. A picture without bytes is left out and reported; a character XML
// cannot hold is written as "?" and reported.
WriteResult writeMoodleXml(const QuestionSet& set);

}  // namespace zn::formats
