// Helpers shared by the tests of the file formats (formats/): small pictures, and printing
// results when an expectation fails.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <ostream>

#include "formats/question.h"

// Lets GoogleTest print QStrings in its messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace formatstest {

using namespace zn::formats;

// Bytes that pass for a PNG picture (its signature, then `seed` and padding): the formats look
// at signatures only.
inline QByteArray png(int seed, int size = 64) {
    QByteArray b("\x89PNG\r\n\x1A\n", 8);
    b += QByteArray::number(seed);
    while (b.size() < size) b += char('a' + (b.size() * 7 + seed) % 26);
    return b;
}

inline QByteArray jpeg(int seed) {
    QByteArray b("\xFF\xD8\xFF\xE0", 4);
    b += "JFIF-" + QByteArray::number(seed);
    return b;
}

// The problems of a result, one a line, for failure messages.
inline std::string problemsOf(const ReadResult& r) {
    std::string out;
    for (const Problem& p : r.problems)
        out += "  " + p.where.describe().toStdString() + ": " + p.what.toStdString() + "\n";
    return out;
}

// The one question of `r`; fails the test when there is not exactly one.
inline const Question& only(const ReadResult& r) {
    static const Question none;
    EXPECT_EQ(r.questions.size(), 1u) << problemsOf(r);
    return r.questions.empty() ? none : r.questions.front();
}

inline std::vector<QString> answers(std::initializer_list<const char*> texts) {
    std::vector<QString> out;
    for (const char* t : texts) out.push_back(QString::fromUtf8(t));
    return out;
}

}  // namespace formatstest
