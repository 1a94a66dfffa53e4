// Number conversions with the program's library rules and messages: text to integer (decimal or
// hexadecimal, as the import's number conversion and the integer fields accept it), and the
// "%g" number form the field range message uses.
#pragma once

#include <QString>
#include <optional>

#include "jet/value.h"

namespace zn {

// The integer value of `text`: optional leading blanks (spaces only), an optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Decimal must fit
// -2147483648..2147483647; hexadecimal may use all 32 bits (FFFFFFFF is -1). Anything else
// (empty text, trailing blanks, other characters) gives nullopt.
std::optional<int> tryStrToInt(const QString& text);

// Like tryStrToInt, but throws jet::Error(Constraint) "'<text>' is not a valid integer value".
int strToInt(const QString& text);

// The message for a failed integer conversion of `text`.
QString invalidIntegerMessage(const QString& text);

// `v` in the general number form of the library's "%g": up to 15 significant digits, no
// trailing zeros, exponent as "E" with its sign only when negative ("1E20", "1.5E-7").
QString formatG(double v);

// Whether `t` is an integer column type (BYTE, INT, LONG) and, if so, its range.
bool integerRange(jet::ColType t, qint64& min, qint64& max);

// "%g is not a valid value for field '%s'. The allowed range is %g to %g".
QString rangeErrorMessage(double value, const QString& field, double min, double max);

}  // namespace zn
