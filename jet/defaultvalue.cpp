// Column default values: evaluating the literal forms of DefaultValue, and inserting a row with
// some columns left to their defaults.
#include "jet/defaultvalue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "jet/database.h"
#include "jet/error.h"

namespace jet {

namespace {

// A decimal number as written: (negative ? -1 : 1) * digits * 10^exponent, digits without
// leading zeros ("" for zero).
struct Number {
    bool negative = false;
    std::string digits;
    int exponent = 0;
    std::string text;  // as written, for the conversion to a double

    bool zero() const { return digits.empty(); }
    // The value times 10^scale, when that is a whole number of at most 38 digits.
    std::optional<unsigned __int128> scaled(int scale) const {
        std::string d = digits;
        int e = exponent + scale;
        while (e < 0) {
            if (d.empty()) return (unsigned __int128)0;
            if (d.back() != '0') return std::nullopt;
            d.pop_back();
            ++e;
        }
        if (d.size() + size_t(e) > 38) return std::nullopt;
        unsigned __int128 v = 0;
        for (char c : d) v = v * 10 + unsigned(c - '0');
        for (int i = 0; i < e; ++i) v *= 10;
        return v;
    }
    std::optional<int64_t> whole() const {
        auto m = scaled(0);
        if (!m || *m > (unsigned __int128)std::numeric_limits<int64_t>::max()) return std::nullopt;
        return negative ? -int64_t(*m) : int64_t(*m);
    }
    double real() const {
        double d = 0;
        std::from_chars(text.data(), text.data() + text.size(), d);
        return d;
    }
};

std::optional<Number> parseNumber(std::string_view s) {
    Number n;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) n.negative = s[i++] == '-';
    const size_t mantissa = i;
    std::string all;
    int fraction = 0;
    bool point = false, any = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            all.push_back(s[i]);
            fraction += point;
            any = true;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return std::nullopt;
    int exp = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        bool neg = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) neg = s[j++] == '-';
        if (j == s.size()) return std::nullopt;
        for (; j < s.size(); ++j) {
            if (s[j] < '0' || s[j] > '9' || exp > 10000) return std::nullopt;
            exp = exp * 10 + (s[j] - '0');
        }
        exp = neg ? -exp : exp;
        i = j;
    }
    if (i != s.size()) return std::nullopt;
    size_t lead = all.find_first_not_of('0');
    n.digits = lead == std::string::npos ? "" : all.substr(lead);
    n.exponent = exp - fraction;
    if (n.zero()) n.negative = false;
    // from_chars takes no leading '+' and needs a digit before a point.
    n.text = std::string(n.negative ? "-" : "") + "0" + std::string(s.substr(mantissa));
    return n;
}

struct Literal {
    enum Kind { Null, Boolean, Num, Text, Date } kind;
    explicit Literal(Kind k, bool yes = false) : kind(k), b(yes) {}
    bool b = false;
    Number number;
    std::u16string text;
    double days = 0;
};

std::u16string trim(std::u16string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == u' ' || s[a] == u'\t')) ++a;
    while (b > a && (s[b - 1] == u' ' || s[b - 1] == u'\t')) --b;
    return std::u16string(s.substr(a, b - a));
}

std::string ascii(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        if (c > 0x7E) return "";
        out.push_back(char(c >= 'A' && c <= 'Z' ? c + 32 : c));
    }
    return out;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

// #yyyy-mm-dd[ hh:mm[:ss]]# or #m/d/yyyy[ h:mm[:ss][ AM|PM]]#, inside the #s.
std::optional<double> parseDate(std::string s) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    char sep1 = 0, sep2 = 0;
    int used = 0;
    if (std::sscanf(s.c_str(), "%d%c%d%c%d%n", &y, &sep1, &mo, &sep2, &d, &used) != 5)
        return std::nullopt;
    if (sep1 == '/' && sep2 == '/') {
        int month = y, day = mo;
        y = d;
        mo = month;
        d = day;
    } else if (sep1 != '-' || sep2 != '-') {
        return std::nullopt;
    }
    std::string rest = s.substr(size_t(used));
    while (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    if (!rest.empty()) {
        int n = 0;
        if (std::sscanf(rest.c_str(), "%d:%d%n", &h, &mi, &n) != 2) return std::nullopt;
        rest = rest.substr(size_t(n));
        if (!rest.empty() && rest[0] == ':') {
            if (std::sscanf(rest.c_str(), ":%d%n", &se, &n) != 1) return std::nullopt;
            rest = rest.substr(size_t(n));
        }
        while (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
        if (rest == "am" || rest == "pm") {
            if (h < 1 || h > 12) return std::nullopt;
            h = h % 12 + (rest == "pm" ? 12 : 0);
        } else if (!rest.empty()) {
            return std::nullopt;
        }
    }
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h < 0 ||
        h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59)
        return std::nullopt;
    return fromCivil(CivilTime{y, mo, d, h, mi, se}).days;
}

std::optional<Literal> parseLiteral(std::u16string_view expression) {
    std::u16string s = trim(expression);
    if (!s.empty() && s[0] == u'=') s = trim(std::u16string_view(s).substr(1));
    if (s.empty()) return std::nullopt;
    const std::string word = ascii(s);
    if (word == "null") return Literal(Literal::Null);
    if (word == "true" || word == "yes" || word == "on") return Literal(Literal::Boolean, true);
    if (word == "false" || word == "no" || word == "off") return Literal(Literal::Boolean, false);
    if (s[0] == u'"' || s[0] == u'\'') {
        const char16_t q = s[0];
        Literal l(Literal::Text);
        for (size_t i = 1; i < s.size(); ++i) {
            if (s[i] != q) {
                l.text.push_back(s[i]);
            } else if (i + 1 < s.size() && s[i + 1] == q) {
                l.text.push_back(q);
                ++i;
            } else {
                if (i + 1 != s.size()) return std::nullopt;  // text followed by more
                return l;
            }
        }
        return std::nullopt;  // unclosed
    }
    if (s.size() >= 2 && s.front() == u'#' && s.back() == u'#') {
        auto days = parseDate(ascii(std::u16string_view(s).substr(1, s.size() - 2)));
        if (!days) return std::nullopt;
        Literal l(Literal::Date);
        l.days = *days;
        return l;
    }
    if (auto n = parseNumber(word)) {
        Literal l(Literal::Num);
        l.number = *n;
        return l;
    }
    return std::nullopt;
}

EvaluatedDefault literal(Value v) {
    return EvaluatedDefault{EvaluatedDefault::Literal, std::move(v), ""};
}

EvaluatedDefault unfit(const Column& c, const std::string& why) {
    return EvaluatedDefault{EvaluatedDefault::Unfit, Value(),
                            why + " (the column holds " + typeName(c.type) + ")"};
}

EvaluatedDefault expression() {
    return EvaluatedDefault{};
}

}  // namespace

EvaluatedDefault evaluateDefault(const Column& c, std::u16string_view text) {
    std::optional<Literal> parsed = parseLiteral(text);
    if (!parsed) return expression();
    Literal l = *parsed;
    if (l.kind == Literal::Null) return literal(Value());
    // A text literal for a number column: the number it holds.
    const bool numeric = c.type == ColType::Byte || c.type == ColType::Int ||
                         c.type == ColType::Long || c.type == ColType::Money ||
                         c.type == ColType::Single || c.type == ColType::Double ||
                         c.type == ColType::Numeric;
    if (numeric && l.kind == Literal::Text) {
        auto n = parseNumber(ascii(trim(l.text)));
        if (!n) return unfit(c, "the text is not a number");
        l = Literal(Literal::Num);
        l.number = *n;
    }
    if (numeric && l.kind == Literal::Boolean) {
        l = Literal(Literal::Num);
        l.number = *parseNumber(parsed->b ? "-1" : "0");
    }
    if (numeric && l.kind != Literal::Num) return unfit(c, "it is not a number");
    const Number& n = l.number;
    auto integer = [&](int64_t lo, int64_t hi) {
        auto w = n.whole();
        if (!w) return unfit(c, "it is not a whole number in range");
        if (*w < lo || *w > hi)
            return unfit(c, "it is outside " + std::to_string(lo) + " to " + std::to_string(hi));
        return literal(*w);
    };
    switch (c.type) {
        case ColType::Boolean:
            if (l.kind == Literal::Boolean) return literal(l.b);
            if (l.kind == Literal::Num) return literal(!n.zero());
            return unfit(c, "it is not Yes/No");
        case ColType::Byte:
            return integer(0, 255);
        case ColType::Int:
            return integer(-32768, 32767);
        case ColType::Long:
            return integer(std::numeric_limits<int32_t>::min(),
                           std::numeric_limits<int32_t>::max());
        case ColType::Money: {
            auto m = n.scaled(4);
            if (!m) return unfit(c, "it has more than 4 decimals");
            if (*m > (unsigned __int128)std::numeric_limits<int64_t>::max())
                return unfit(c, "it is too large");
            return literal(Currency{n.negative ? -int64_t(*m) : int64_t(*m)});
        }
        case ColType::Single:
        case ColType::Double: {
            double d = n.real();
            if (!std::isfinite(d) || (c.type == ColType::Single &&
                                      std::fabs(d) > double(std::numeric_limits<float>::max())))
                return unfit(c, "it is too large");
            return literal(d);
        }
        case ColType::Numeric: {
            auto m = n.scaled(c.scale);
            unsigned __int128 limit = 1;
            for (int i = 0; i < c.precision; ++i) limit *= 10;
            if (!m || *m >= limit)
                return unfit(c, "it does not fit " + std::to_string(c.precision) + " digits, " +
                                    std::to_string(c.scale) + " after the point");
            return literal(Decimal{n.negative, *m, c.scale});
        }
        case ColType::DateTime: {
            if (l.kind != Literal::Date && l.kind != Literal::Num)
                return unfit(c, "it is not a date");
            const double days = l.kind == Literal::Date ? l.days : n.real();
            if (!(days > -657435.0 && days < 2958466.0))
                return unfit(c, "it is outside 100-01-01 to 9999-12-31");
            return literal(DateTime{days});
        }
        case ColType::Text:
        case ColType::Memo: {
            if (l.kind == Literal::Num) {
                // Access writes a number in the user's locale; only whole numbers read the same
                // everywhere.
                auto w = n.whole();
                if (!w) return expression();
                l.text = fromUtf8(std::to_string(*w));
            } else if (l.kind != Literal::Text) {
                return expression();
            }
            if (c.type == ColType::Text && l.text.size() > std::min<size_t>(c.maxChars(), 255))
                return unfit(c, "it is longer than the column's " +
                                    std::to_string(std::min<size_t>(c.maxChars(), 255)) +
                                    " characters");
            return literal(l.text);
        }
        default:
            return expression();
    }
}

// ---------------------------------------------------------------------------------------------

RowId Table::insert(Row& row, const std::vector<bool>& given) {
    const TableDef& t = def();
    if (row.size() != t.columns.size() || given.size() != t.columns.size())
        throwError(ErrorKind::Usage, "A row of table \"" + name_ + "\" needs " +
                                         std::to_string(t.columns.size()) +
                                         " values and as many flags saying which are given");
    const ColumnRules& rules = columnRules();
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (given[i]) continue;
        const Column& c = t.columns[i];
        row[i] = Value();
        const std::u16string& text = rules.defaultValue[i];
        if (c.autoNumber() || c.autoGuid() || text.empty()) continue;
        EvaluatedDefault d = evaluateDefault(c, text);
        if (d.kind == EvaluatedDefault::Literal) {
            row[i] = d.value;
        } else if (rules.required[i] && c.type != ColType::Boolean) {
            throwError(ErrorKind::Constraint,
                       "Column \"" + c.name + "\" of table \"" + name_ +
                           "\" needs a value, and its default value " + toUtf8(text) +
                           (d.kind == EvaluatedDefault::Unfit
                                ? " does not fit it: " + d.why
                                : " is an expression this program cannot evaluate"));
        }
    }
    return insert(row);
}

}  // namespace jet
