// Integer parsing and number formatting with the library's rules.
#include "store/convert.h"

#include <cmath>

#include "jet/error.h"

namespace zn {

std::optional<int> tryStrToInt(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n) return std::nullopt;  // no digits at all
    uint64_t magnitude = 0;
    for (; i < n; ++i) {
        char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + uint64_t(digit);
        if (magnitude > 0xFFFFFFFFull) return std::nullopt;
    }
    if (hex) {
        // Hexadecimal fills the 32 bits as they are; the sign applies to the resulting value.
        int32_t v = int32_t(uint32_t(magnitude));
        return negative ? int(-int64_t(v)) : int(v);
    }
    if (negative) {
        if (magnitude > 2147483648ull) return std::nullopt;
        return int(-int64_t(magnitude));
    }
    if (magnitude > 2147483647ull) return std::nullopt;
    return int(magnitude);
}

QString invalidIntegerMessage(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

int strToInt(const QString& text) {
    if (auto v = tryStrToInt(text)) return *v;
    throw jet::Error(jet::ErrorKind::Constraint, invalidIntegerMessage(text).toStdString());
}

QString formatG(double v) {
    if (std::isnan(v)) return QStringLiteral("NAN");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (v == std::floor(v) && std::fabs(v) < 1e15) return QString::number(qint64(v));
    QString s = QString::number(v, 'g', 15);
    qsizetype e = s.indexOf(u'e');
    if (e < 0) return s;
    // Qt writes "1e+20" / "1.5e-07"; the library writes "1E20" / "1.5E-7".
    QString mantissa = s.left(e);
    QString exponent = s.mid(e + 1);
    bool neg = exponent.startsWith(u'-');
    if (exponent.startsWith(u'+') || neg) exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith(u'0')) exponent.remove(0, 1);
    return mantissa + u'E' + (neg ? QStringLiteral("-") : QString()) + exponent;
}

QString rangeErrorMessage(double value, const QString& field, double min, double max) {
    return QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
        .arg(formatG(value), field, formatG(min), formatG(max));
}

bool integerRange(jet::ColType t, qint64& min, qint64& max) {
    switch (t) {
        case jet::ColType::Byte:
            min = 0, max = 255;
            return true;
        case jet::ColType::Int:
            min = -32768, max = 32767;
            return true;
        case jet::ColType::Long:
            min = INT32_MIN, max = INT32_MAX;
            return true;
        default:
            return false;
    }
}

}  // namespace zn
