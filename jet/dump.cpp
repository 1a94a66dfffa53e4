// Canonical dump writer.
#include "jet/dump.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace jet {

std::string jsNumber(double d) {
    if (!std::isfinite(d)) return "null";
    if (d == 0) return "0";
    std::string out;
    if (d < 0) {
        out = "-";
        d = -d;
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    std::string sci(buf, res.ptr);
    // sci = D[.DDD]e[+-]XX
    auto e = sci.find('e');
    std::string digits;
    for (size_t i = 0; i < e; ++i)
        if (sci[i] != '.') digits.push_back(sci[i]);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    int exp = std::stoi(sci.substr(e + 1));
    int k = int(digits.size());
    int n = exp + 1;  // position of the decimal point relative to the digits
    if (k <= n && n <= 21) {
        out += digits + std::string(size_t(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, size_t(n)) + "." + digits.substr(size_t(n));
    } else if (-6 < n && n <= 0) {
        out += "0." + std::string(size_t(-n), '0') + digits;
    } else {
        out += digits.substr(0, 1);
        if (k > 1) out += "." + digits.substr(1);
        out += "e";
        out += (n - 1 >= 0) ? "+" : "-";
        out += std::to_string(std::abs(n - 1));
    }
    return out;
}

namespace {

std::string jsonString(std::u16string_view s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        switch (c) {
            case u'"':
                out += "\\\"";
                continue;
            case u'\\':
                out += "\\\\";
                continue;
            case u'\b':
                out += "\\b";
                continue;
            case u'\f':
                out += "\\f";
                continue;
            case u'\n':
                out += "\\n";
                continue;
            case u'\r':
                out += "\\r";
                continue;
            case u'\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        bool lone = false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                out += toUtf8(s.substr(i, 2));
                ++i;
                continue;
            }
            lone = true;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            lone = true;
        }
        if (c < 0x20 || lone) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
            out += buf;
            continue;
        }
        out += toUtf8(s.substr(i, 1));
    }
    return out + "\"";
}

std::string plainDecimal(unsigned __int128 mag, bool negative, unsigned scale) {
    std::string digits;
    do {
        digits.push_back(char('0' + int(mag % 10)));
        mag /= 10;
    } while (mag);
    while (digits.size() <= scale) digits.push_back('0');
    std::reverse(digits.begin(), digits.end());
    std::string intPart = digits.substr(0, digits.size() - scale);
    std::string frac = digits.substr(digits.size() - scale);
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    std::string out = intPart;
    if (!frac.empty()) out += "." + frac;
    if (negative && out != "0") out = "-" + out;
    return out;
}

}  // namespace

std::string dumpValue(const Value& v) {
    struct V {
        std::string operator()(std::monostate) const { return "null"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return jsNumber(d); }
        std::string operator()(const std::u16string& s) const { return jsonString(s); }
        std::string operator()(const Blob& b) const { return "\"" + hex(b) + "\""; }
        std::string operator()(const Currency& c) const {
            bool neg = c.scaled < 0;
            unsigned __int128 mag =
                neg ? (unsigned __int128)(-(__int128)c.scaled) : (unsigned __int128)c.scaled;
            return "\"" + plainDecimal(mag, neg, 4) + "\"";
        }
        std::string operator()(const DateTime& d) const {
            CivilTime c = toCivil(d);
            char buf[64];
            std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02d %02d:%02d:%02d\"", c.year, c.month,
                          c.day, c.hour, c.minute, c.second);
            return buf;
        }
        std::string operator()(const Guid& g) const {
            auto& b = g.bytes;
            char buf[64];
            std::snprintf(
                buf, sizeof buf,
                "\"{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}\"", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
            return buf;
        }
        std::string operator()(const Decimal& d) const {
            return "\"" + plainDecimal(d.magnitude, d.negative, d.scale) + "\"";
        }
    };
    return std::visit(V{}, v);
}

void dumpRows(const std::string& name, const TableDef& def, const std::vector<Row>& rows,
              std::ostream& out) {
    std::vector<size_t> order(def.columns.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::vector<std::u16string> keys;
    for (auto& c : def.columns) keys.push_back(fromUtf8(c.name));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    int idCol = -1;
    for (size_t i = 0; i < def.columns.size(); ++i) {
        auto type = def.columns[i].type;
        if (def.columns[i].name == "id" &&
            (type == ColType::Long || type == ColType::Int || type == ColType::Byte))
            idCol = int(i);
    }
    struct Line {
        bool hasId;
        int64_t id;
        std::string text;
    };
    std::vector<Line> lines;
    for (const Row& r : rows) {
        std::string line = "{";
        bool first = true;
        for (size_t i : order) {
            if (!first) line += ",";
            first = false;
            line += jsonString(keys[i]) + ":" + dumpValue(r[i]);
        }
        line += "}";
        Line l{false, 0, std::move(line)};
        if (idCol >= 0 && std::holds_alternative<int64_t>(r[size_t(idCol)])) {
            l.hasId = true;
            l.id = std::get<int64_t>(r[size_t(idCol)]);
        }
        lines.push_back(std::move(l));
    }
    std::stable_sort(lines.begin(), lines.end(), [&](const Line& a, const Line& b) {
        if (idCol >= 0) {
            // Rows with a NULL id sort before the others, by text.
            if (a.hasId != b.hasId) return b.hasId;
            if (a.hasId && a.id != b.id) return a.id < b.id;
        }
        return a.text < b.text;
    });
    out << "# " << name << "\n";
    for (auto& l : lines) out << l.text << "\n";
}

void dumpTable(Table& t, std::ostream& out) {
    std::vector<Row> rows;
    for (auto s = t.scan(); s.next();) rows.push_back(s.row());
    dumpRows(t.name(), t.def(), rows, out);
}

void dumpTables(Database& db, const std::vector<std::string>& names, std::ostream& out) {
    for (auto& n : names) dumpTable(db.table(n), out);
}

}  // namespace jet
