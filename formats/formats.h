// The file formats the import and export know, which one a file is, and reading or writing any
// of them through one call. The readers and writers themselves are in moodlexml.h, gift.h,
// aiken.h and csv.h; the exchange file's own reader (formats/exchange.h) is adapted here to the
// same neutral model so that its questions can be added to a bank like any other file's.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "formats/exchange.h"
#include "formats/question.h"

namespace zn::formats {

enum class Format { Exchange, MoodleXml, Gift, Aiken, Csv, Mdb };

// The format's code on the command line: "exchange", "moodle", "gift", "aiken", "csv", "mdb".
QString formatCode(Format format);
std::optional<Format> formatFromCode(const QString& code);
// Its name for people (the import dialog's choices), in Russian.
QString formatTitle(Format format);

// What a file most likely is, for the import dialog's default choice. By its bytes first: a
// Jet database, an XML document; then by the name's extension (.mdb, .xml, .gift, .csv); then,
// for other text, by what its lines look like: GIFT answer blocks or "$CATEGORY:", Aiken's
// "ANSWER:" lines, the exchange file's numbered lines, fields separated by ";" or tabs. Any
// other text is the exchange file, which the import has always read.
Format detectFormat(const QByteArray& bytes, const QString& fileName);

// `bytes` read as `format`. Mdb is no text format: the result is refused (a database is read
// through the engine, not here).
ReadResult read(Format format, const QByteArray& bytes, const Limits& limits = Limits::standard());
// `set` written as `format` (MoodleXml, Gift or Aiken; another format gives an empty file and
// one problem saying so).
WriteResult write(Format format, const QuestionSet& set);

// An exchange file's bank as the neutral model: each question in the topic whose number is its
// idtest (a question whose number no topic has is a problem), its answers in file order, the
// correct one being the answer whose number is otvet; its picture a name only. The faults of
// the reading are problems with their line.
ReadResult fromExchange(const exchange::ParseResult& parsed,
                        const Limits& limits = Limits::standard());

}  // namespace zn::formats
