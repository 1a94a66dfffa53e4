// GIFT, the learning platform's plain-text question format, read into and written from the
// neutral model (formats/question.h).
//
// Reading: the text is decoded as the exchange file is (UTF-8 with or without a byte-order
// mark, else Windows-1251). Lines whose first non-blank characters are "//" are comments and
// left out. Questions are separated by blank lines; each is
//     [::name::] [[format]] text { answers } [text after]
// where the format is [html], [plain], [markdown] or [moodle] (the default), "\~ \= \# \{ \} \:
// \\" stand for the characters themselves and "\n" for a line break. Text after the answers
// makes a missing-word question: the text is "before _____ after". A block beginning with
// "$CATEGORY:" names the topic of the questions after it (formats/text.h,
// topicFromCategory). The answers taken:
//  - "T", "TRUE", "F" or "FALSE" (any case, optional "#feedback"): two answers «Верно» and
//    «Неверно»;
//  - "=right" and "~wrong" answers, each with an optional "%weight%" after its mark ("="
//    weighs 100, "~" 0) and optional "#feedback" after it (dropped); "####" starts general
//    feedback (dropped). An answer may begin with its own [format]. Exactly one answer must
//    weigh 100; the others are the wrong answers whatever they weigh.
// Everything else is a problem with the question's first line and name: no answer block or an
// unclosed one, several answer blocks, an essay ("{}"), a numerical ("{#…}"), a matching
// ("->" and no "~" answer) or a short-answer question (only "=" answers), several or no answers at
// 100 %, a picture in the text (GIFT carries none).
//
// Writing is UTF-8 without a byte-order mark: "$CATEGORY: …" (categoryForTopic) before each
// topic's questions, then one question per block: the text escaped (line breaks as "\n"), and
// the answers one per line inside braces. "[plain]" is put first when the default format would
// read the text or an answer differently. Pictures are not carried and reported; blanks at the
// start and end of a text are not carried either (the reader drops them).
#pragma once

#include <QByteArray>

#include "formats/question.h"

namespace zn::formats {

ReadResult readGift(const QByteArray& bytes, const Limits& limits = Limits::standard());
WriteResult writeGift(const QuestionSet& set);

}  // namespace zn::formats
