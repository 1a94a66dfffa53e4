// How failing comparisons print Qt's strings: as the text itself, in quotes, rather than the
// bytes of each QChar. Included by every Qt test helper header, so that every test that compares
// QStrings (and lists of them) prints readable failures.
#pragma once

#include <QString>
#include <ostream>

// In QString's own namespace, where the test framework's printer finds it.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
