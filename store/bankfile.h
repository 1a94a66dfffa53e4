// A test database as a file: why a file cannot be opened as one, said so that a teacher can act
// on it, and a new empty one.
#pragma once

#include <QString>

namespace zn {

// Why the file at `path` cannot be opened as a test database, in Russian, with what to do: it
// is missing, has a password, is not a database of the Access 2000 format, is damaged, or lacks
// one of the four tables of a test. Empty when none of these applies (an open that failed for
// another reason keeps its own message). Reads the file only.
QString whyNotATestBank(const QString& path);

// Creates an empty test database (the four tables and the five information records) at `path`,
// which must not exist. It is written under a temporary name beside it and renamed into place,
// so that a failure leaves no file at `path`. Throws jet::Error.
void createEmptyTestBank(const QString& path);

}  // namespace zn
