// HTML, Markdown and the automatic format to plain text; plain text to HTML; category paths.
#include "formats/text.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

#include "formats/question.h"

namespace zn::formats {

namespace {

// Named character references a question text is likely to use. An unknown name stays as text.
const QHash<QString, char32_t>& namedEntities() {
    static const QHash<QString, char32_t> table = {
        {QStringLiteral("amp"), U'&'},       {QStringLiteral("lt"), U'<'},
        {QStringLiteral("gt"), U'>'},        {QStringLiteral("quot"), U'"'},
        {QStringLiteral("apos"), U'\''},     {QStringLiteral("nbsp"), U' '},
        {QStringLiteral("laquo"), U'«'},     {QStringLiteral("raquo"), U'»'},
        {QStringLiteral("ldquo"), U'“'},     {QStringLiteral("rdquo"), U'”'},
        {QStringLiteral("bdquo"), U'„'},     {QStringLiteral("lsquo"), U'‘'},
        {QStringLiteral("rsquo"), U'’'},     {QStringLiteral("sbquo"), U'‚'},
        {QStringLiteral("ndash"), U'–'},     {QStringLiteral("mdash"), U'—'},
        {QStringLiteral("minus"), U'−'},     {QStringLiteral("hellip"), U'…'},
        {QStringLiteral("bull"), U'•'},      {QStringLiteral("middot"), U'·'},
        {QStringLiteral("sdot"), U'⋅'},      {QStringLiteral("times"), U'×'},
        {QStringLiteral("divide"), U'÷'},    {QStringLiteral("plusmn"), U'±'},
        {QStringLiteral("le"), U'≤'},        {QStringLiteral("ge"), U'≥'},
        {QStringLiteral("ne"), U'≠'},        {QStringLiteral("asymp"), U'≈'},
        {QStringLiteral("infin"), U'∞'},     {QStringLiteral("radic"), U'√'},
        {QStringLiteral("sum"), U'∑'},       {QStringLiteral("deg"), U'°'},
        {QStringLiteral("micro"), U'µ'},     {QStringLiteral("sup1"), U'¹'},
        {QStringLiteral("sup2"), U'²'},      {QStringLiteral("sup3"), U'³'},
        {QStringLiteral("frac12"), U'½'},    {QStringLiteral("frac14"), U'¼'},
        {QStringLiteral("frac34"), U'¾'},    {QStringLiteral("copy"), U'©'},
        {QStringLiteral("reg"), U'®'},       {QStringLiteral("trade"), U'™'},
        {QStringLiteral("euro"), U'€'},      {QStringLiteral("sect"), U'§'},
        {QStringLiteral("para"), U'¶'},      {QStringLiteral("numero"), U'№'},
        {QStringLiteral("larr"), U'←'},      {QStringLiteral("rarr"), U'→'},
        {QStringLiteral("uarr"), U'↑'},      {QStringLiteral("darr"), U'↓'},
        {QStringLiteral("harr"), U'↔'},      {QStringLiteral("alpha"), U'α'},
        {QStringLiteral("beta"), U'β'},      {QStringLiteral("gamma"), U'γ'},
        {QStringLiteral("delta"), U'δ'},     {QStringLiteral("epsilon"), U'ε'},
        {QStringLiteral("lambda"), U'λ'},    {QStringLiteral("mu"), U'μ'},
        {QStringLiteral("pi"), U'π'},        {QStringLiteral("rho"), U'ρ'},
        {QStringLiteral("sigma"), U'σ'},     {QStringLiteral("phi"), U'φ'},
        {QStringLiteral("omega"), U'ω'},     {QStringLiteral("Delta"), U'Δ'},
        {QStringLiteral("Sigma"), U'Σ'},     {QStringLiteral("Omega"), U'Ω'},
        {QStringLiteral("shy"), U'\u00AD'},  {QStringLiteral("zwnj"), U'\u200C'},
        {QStringLiteral("zwj"), U'\u200D'},  {QStringLiteral("thinsp"), U'\u2009'},
        {QStringLiteral("ensp"), U'\u2002'}, {QStringLiteral("emsp"), U'\u2003'},
        {QStringLiteral("iexcl"), U'¡'},     {QStringLiteral("iquest"), U'¿'},
        {QStringLiteral("cent"), U'¢'},      {QStringLiteral("pound"), U'£'},
        {QStringLiteral("yen"), U'¥'},       {QStringLiteral("curren"), U'¤'},
        {QStringLiteral("not"), U'¬'},       {QStringLiteral("acute"), U'´'},
        {QStringLiteral("prime"), U'′'},     {QStringLiteral("Prime"), U'″'},
        {QStringLiteral("forall"), U'∀'},    {QStringLiteral("exist"), U'∃'},
        {QStringLiteral("isin"), U'∈'},      {QStringLiteral("cap"), U'∩'},
        {QStringLiteral("cup"), U'∪'},       {QStringLiteral("and"), U'∧'},
        {QStringLiteral("or"), U'∨'},        {QStringLiteral("ang"), U'∠'},
        {QStringLiteral("perp"), U'⊥'},      {QStringLiteral("equiv"), U'≡'},
        {QStringLiteral("prop"), U'∝'},      {QStringLiteral("int"), U'∫'},
        {QStringLiteral("part"), U'∂'},      {QStringLiteral("nabla"), U'∇'},
        {QStringLiteral("theta"), U'θ'},     {QStringLiteral("tau"), U'τ'},
        {QStringLiteral("omicron"), U'ο'},   {QStringLiteral("eta"), U'η'},
        {QStringLiteral("zeta"), U'ζ'},      {QStringLiteral("kappa"), U'κ'},
        {QStringLiteral("nu"), U'ν'},        {QStringLiteral("xi"), U'ξ'},
        {QStringLiteral("chi"), U'χ'},       {QStringLiteral("psi"), U'ψ'},
        {QStringLiteral("upsilon"), U'υ'},   {QStringLiteral("iota"), U'ι'},
        {QStringLiteral("Gamma"), U'Γ'},     {QStringLiteral("Theta"), U'Θ'},
        {QStringLiteral("Lambda"), U'Λ'},    {QStringLiteral("Pi"), U'Π'},
        {QStringLiteral("Phi"), U'Φ'},       {QStringLiteral("Psi"), U'Ψ'},
    };
    return table;
}

bool isHtmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

bool isNameChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u':' || c == u'_';
}

QString fromCodePoint(char32_t c) {
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    return QString::fromUcs4(&c, 1);
}

int digitValue(QChar c, bool hex) {
    if (c >= u'0' && c <= u'9') return c.unicode() - '0';
    if (hex && c >= u'a' && c <= u'f') return c.unicode() - 'a' + 10;
    if (hex && c >= u'A' && c <= u'F') return c.unicode() - 'A' + 10;
    return -1;
}

// The character reference at s[i] == '&': its text and the index after it, or nothing (then
// the "&" is text).
struct Entity {
    QString text;
    qsizetype end = 0;
    bool nbsp = false;  // &nbsp;: a blank that is kept
};

bool readEntity(const QString& s, qsizetype i, Entity& e) {
    const qsizetype n = s.size();
    qsizetype j = i + 1;
    if (j < n && s[j] == u'#') {
        ++j;
        const bool hex = j < n && (s[j] == u'x' || s[j] == u'X');
        if (hex) ++j;
        const qsizetype start = j;
        char32_t value = 0;
        while (j < n && j - start < 8) {
            const int d = digitValue(s[j], hex);
            if (d < 0) break;
            value = value * (hex ? 16 : 10) + char32_t(d);
            ++j;
        }
        if (j == start || j >= n || s[j] != u';') return false;
        e.text = fromCodePoint(value);
        e.end = j + 1;
        return true;
    }
    const qsizetype start = j;
    while (j < n && j - start <= 10 && s[j].isLetterOrNumber() && s[j].unicode() < 128) ++j;
    if (j == start || j >= n || s[j] != u';') return false;
    const auto& table = namedEntities();
    auto it = table.constFind(s.mid(start, j - start));
    if (it == table.constEnd()) return false;
    e.text = fromCodePoint(*it);
    e.end = j + 1;
    e.nbsp = *it == U' ';
    return true;
}

QString decodeEntities(const QString& s) {
    if (!s.contains(u'&')) return s;
    QString out;
    for (qsizetype i = 0; i < s.size();) {
        Entity e;
        if (s[i] == u'&' && readEntity(s, i, e)) {
            out += e.text;
            i = e.end;
        } else {
            out += s[i++];
        }
    }
    return out;
}

QString withoutOuterBreaks(QString s) {
    qsizetype a = 0, b = s.size();
    while (a < b && s[a] == u'\n') ++a;
    while (b > a && s[b - 1] == u'\n') --b;
    return s.mid(a, b - a);
}

// HTML to plain text, one pass over the source. Line breaks are "\n" while building.
class HtmlReader {
  public:
    explicit HtmlReader(bool lineEndsBreak) : lineEndsBreak_(lineEndsBreak) {}

    PlainText run(const QString& source) {
        const QString s = QString(source)
                              .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                              .replace(u'\r', u'\n');
        const qsizetype n = s.size();
        qsizetype i = 0;
        while (i < n) {
            const QChar c = s[i];
            if (c == u'<' && i + 1 < n &&
                (s[i + 1].isLetter() || s[i + 1] == u'/' || s[i + 1] == u'!' || s[i + 1] == u'?')) {
                i = markup(s, i);
            } else if (c == u'&') {
                Entity e;
                if (readEntity(s, i, e)) {
                    if (e.nbsp)
                        put(QStringLiteral(" "));
                    else if (e.text == u"\n" || e.text == u"\r")
                        hardBreak();
                    else
                        put(e.text);
                    i = e.end;
                } else {
                    put(QString(c));
                    ++i;
                }
            } else if (isHtmlSpace(c)) {
                if (pre_ > 0) {
                    if (c == u'\n')
                        hardBreak();
                    else
                        put(QString(c));
                } else if (c == u'\n' && lineEndsBreak_) {
                    hardBreak();
                } else if (!pendingBreak_) {
                    pendingSpace_ = true;
                }
                ++i;
            } else {
                put(QString(c));
                ++i;
            }
        }
        PlainText out;
        out.text = bankLineBreaks(withoutOuterBreaks(out_));
        out.images = images_;
        return out;
    }

  private:
    bool lineHasContent() const { return !out_.isEmpty() && out_.back() != u'\n'; }

    void put(const QString& text) {
        if (pendingBreak_) {
            if (lineHasContent()) out_ += u'\n';
            pendingBreak_ = false;
            pendingSpace_ = false;
        }
        if (pendingSpace_ && lineHasContent()) out_ += u' ';
        pendingSpace_ = false;
        out_ += text;
    }

    void hardBreak() {
        if (pendingBreak_ && lineHasContent()) out_ += u'\n';
        pendingBreak_ = pendingSpace_ = false;
        out_ += u'\n';
    }

    void block() {
        pendingBreak_ = true;
        pendingSpace_ = false;
    }

    // The markup at s[i] == '<'; returns the index after it.
    qsizetype markup(const QString& s, qsizetype i) {
        const qsizetype n = s.size();
        if (s.mid(i, 4) == u"<!--") {
            const qsizetype end = s.indexOf(QStringLiteral("-->"), i + 4);
            return end < 0 ? n : end + 3;
        }
        if (s[i + 1] == u'!' || s[i + 1] == u'?') {
            const qsizetype end = s.indexOf(u'>', i);
            return end < 0 ? n : end + 1;
        }
        qsizetype j = i + 1;
        const bool closing = s[j] == u'/';
        if (closing) ++j;
        const qsizetype nameStart = j;
        while (j < n && isNameChar(s[j])) ++j;
        const QString name = s.mid(nameStart, j - nameStart).toLower();
        // Attributes up to the ">" that ends the tag (quoted values may hold ">").
        QString src;
        while (j < n && s[j] != u'>') {
            if (isHtmlSpace(s[j]) || s[j] == u'/') {
                ++j;
                continue;
            }
            const qsizetype attrStart = j;
            while (j < n && !isHtmlSpace(s[j]) && s[j] != u'=' && s[j] != u'>') ++j;
            const QString attr = s.mid(attrStart, j - attrStart).toLower();
            while (j < n && isHtmlSpace(s[j])) ++j;
            if (j >= n || s[j] != u'=') continue;
            ++j;
            while (j < n && isHtmlSpace(s[j])) ++j;
            QString value;
            if (j < n && (s[j] == u'"' || s[j] == u'\'')) {
                const QChar quote = s[j];
                const qsizetype end = s.indexOf(quote, j + 1);
                if (end < 0) return n;
                value = s.mid(j + 1, end - j - 1);
                j = end + 1;
            } else {
                const qsizetype start = j;
                while (j < n && !isHtmlSpace(s[j]) && s[j] != u'>') ++j;
                value = s.mid(start, j - start);
            }
            if (attr == u"src") src = decodeEntities(value);
        }
        if (j >= n) return n;  // a tag cut off by the end of the text shows nothing
        ++j;
        if (name.isEmpty()) return j;
        tag(name, closing, src);
        if (!closing && (name == u"script" || name == u"style" || name == u"head" ||
                         name == u"title" || name == u"template")) {
            // Everything up to the matching end tag is not shown.
            const QString end = QStringLiteral("</") + name;
            qsizetype k = s.indexOf(end, j, Qt::CaseInsensitive);
            if (k < 0) return n;
            k = s.indexOf(u'>', k);
            return k < 0 ? n : k + 1;
        }
        return j;
    }

    void tag(const QString& name, bool closing, const QString& src) {
        static const QSet<QString> blocks = {
            QStringLiteral("p"),       QStringLiteral("div"),        QStringLiteral("li"),
            QStringLiteral("ul"),      QStringLiteral("ol"),         QStringLiteral("dl"),
            QStringLiteral("dt"),      QStringLiteral("dd"),         QStringLiteral("tr"),
            QStringLiteral("table"),   QStringLiteral("h1"),         QStringLiteral("h2"),
            QStringLiteral("h3"),      QStringLiteral("h4"),         QStringLiteral("h5"),
            QStringLiteral("h6"),      QStringLiteral("blockquote"), QStringLiteral("hr"),
            QStringLiteral("section"), QStringLiteral("article"),    QStringLiteral("header"),
            QStringLiteral("footer"),  QStringLiteral("figure"),     QStringLiteral("figcaption"),
            QStringLiteral("address"), QStringLiteral("center"),     QStringLiteral("caption"),
            QStringLiteral("body"),    QStringLiteral("html")};
        if (name == u"br") {
            if (!closing) hardBreak();
        } else if (name == u"pre") {
            block();
            pre_ = closing ? std::max(0, pre_ - 1) : pre_ + 1;
        } else if (blocks.contains(name)) {
            block();
        } else if (name == u"td" || name == u"th") {
            if (!closing && !pendingBreak_) pendingSpace_ = true;
        } else if (name == u"img" && !closing) {
            images_ << src;
        }
    }

    const bool lineEndsBreak_;
    QString out_;
    QStringList images_;
    bool pendingSpace_ = false;
    bool pendingBreak_ = false;
    int pre_ = 0;
};

// A heading line without its marks ("## Title ##" → "Title"); other lines as they are.
QString withoutHeadingMarks(const QString& line) {
    qsizetype i = 0;
    while (i < line.size() && i < 3 && line[i] == u' ') ++i;
    qsizetype hashes = 0;
    while (i + hashes < line.size() && line[i + hashes] == u'#') ++hashes;
    if (hashes < 1 || hashes > 6) return line;
    qsizetype start = i + hashes;
    if (start < line.size() && !line[start].isSpace()) return line;
    QString title = line.mid(start).trimmed();
    qsizetype end = title.size();
    while (end > 0 && title[end - 1] == u'#') --end;
    if (end == 0 || title[end - 1].isSpace()) title = title.left(end).trimmed();
    return title;
}

bool isMarkdownPunct(QChar c) {
    return QStringLiteral("\\`*_{}[]()#+-.!").contains(c);
}

// One line of Markdown's inline syntax as plain text, in one pass and a pairing of the strong
// markers (no backtracking: a hostile line costs time in proportion to its length).
QString markdownInline(const QString& line, QStringList& images) {
    QString out;
    struct Marker {
        qsizetype at;
        QChar c;
    };
    std::vector<Marker> markers;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = line[i];
        if (c == u'\\' && i + 1 < n && isMarkdownPunct(line[i + 1])) {
            out += line[i + 1];
            i += 2;
            continue;
        }
        if (c == u'`') {
            const qsizetype end = line.indexOf(u'`', i + 1);
            if (end > i + 1) {
                out += line.mid(i + 1, end - i - 1);
                i = end + 1;
                continue;
            }
        }
        const bool image = c == u'!' && i + 1 < n && line[i + 1] == u'[';
        if (c == u'[' || image) {
            const qsizetype open = image ? i + 1 : i;
            const qsizetype close = line.indexOf(u']', open + 1);
            if (close < 0) {
                out += line.mid(i);
                break;
            }
            if (close + 1 < n && line[close + 1] == u'(') {
                const qsizetype end = line.indexOf(u')', close + 2);
                if (end < 0) {
                    out += line.mid(i);
                    break;
                }
                if (image)
                    images << line.mid(close + 2, end - close - 2).trimmed().section(u' ', 0, 0);
                else
                    out += line.mid(open + 1, close - open - 1);
                i = end + 1;
                continue;
            }
            out += line.mid(i, close + 1 - i);
            i = close + 1;
            continue;
        }
        if (c == u'*' || c == u'_') {
            qsizetype run = 0;
            while (i + run < n && line[i + run] == c) ++run;
            if (run == 2) markers.push_back({out.size(), c});
            out += line.mid(i, run);
            i += run;
            continue;
        }
        out += c;
        ++i;
    }
    // "**" or "__" pairs around text that neither begins nor ends with a blank are emphasis.
    std::vector<qsizetype> drop;
    const Marker* open[2] = {nullptr, nullptr};
    for (const Marker& m : markers) {
        const Marker*& pending = open[m.c == u'*' ? 0 : 1];
        if (pending) {
            const QString inner = out.mid(pending->at + 2, m.at - pending->at - 2);
            if (!inner.isEmpty() && !inner.front().isSpace() && !inner.back().isSpace()) {
                drop.push_back(pending->at);
                drop.push_back(m.at);
                pending = nullptr;
                continue;
            }
        }
        pending = &m;
    }
    std::sort(drop.begin(), drop.end());
    for (auto it = drop.rbegin(); it != drop.rend(); ++it) out.remove(*it, 2);
    return out;
}

PlainText fromMarkdown(const QString& source) {
    PlainText out;
    QStringList lines;
    for (const QString& raw : splitAllLines(source)) {
        QString line = markdownInline(withoutHeadingMarks(raw), out.images);
        while (!line.isEmpty() && line.back().isSpace()) line.chop(1);
        lines << line;
    }
    while (!lines.isEmpty() && lines.front().isEmpty()) lines.removeFirst();
    while (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    out.text = lines.join(QStringLiteral("\r\n"));
    return out;
}

}  // namespace

TextFormat textFormatNamed(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == u"html") return TextFormat::Html;
    if (n == u"plain_text" || n == u"plain") return TextFormat::Plain;
    if (n == u"markdown") return TextFormat::Markdown;
    return TextFormat::MoodleAuto;
}

PlainText toPlainText(const QString& source, TextFormat format) {
    switch (format) {
        case TextFormat::Html:
            return HtmlReader(false).run(source);
        case TextFormat::MoodleAuto:
            return HtmlReader(true).run(source);
        case TextFormat::Markdown:
            return fromMarkdown(source);
        case TextFormat::Plain:
            break;
    }
    return {bankLineBreaks(source), {}};
}

QString htmlFromPlain(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    const QStringList lines = splitAllLines(text);
    for (qsizetype l = 0; l < lines.size(); ++l) {
        if (l > 0) out += QStringLiteral("<br>\n");
        const QString& line = lines[l];
        bool plainSpaceBefore = false;
        for (qsizetype k = 0; k < line.size(); ++k) {
            const QChar c = line[k];
            if (c == u' ') {
                // A blank HTML would fold or drop is written so that it stays.
                const bool plain = k > 0 && k + 1 < line.size() && !plainSpaceBefore;
                out += plain ? QStringLiteral(" ") : QStringLiteral("&nbsp;");
                plainSpaceBefore = plain;
                continue;
            }
            plainSpaceBefore = false;
            if (c == u'&')
                out += QStringLiteral("&amp;");
            else if (c == u'<')
                out += QStringLiteral("&lt;");
            else if (c == u'>')
                out += QStringLiteral("&gt;");
            else if (c == u'\t' || c == u'\f')
                out += QStringLiteral("&#%1;").arg(c.unicode());
            else
                out += c;
        }
    }
    return out;
}

QString topicFromCategory(const QString& path) {
    QStringList levels{QString()};
    const QString p = path.trimmed();
    for (qsizetype i = 0; i < p.size();) {
        if (p[i] != u'/') {
            levels.back() += p[i++];
            continue;
        }
        qsizetype run = 0;
        while (i < p.size() && p[i] == u'/') ++run, ++i;
        // "//" is a "/" of a name; an odd run also ends a level (before its doubled slashes,
        // so that a name may begin with "/").
        if (run % 2 == 1) levels << QString();
        levels.back() += QString(run / 2, u'/');
    }
    if (!levels.isEmpty() && levels.front().size() >= 2 && levels.front().startsWith(u'$') &&
        levels.front().endsWith(u'$')) {
        levels.removeFirst();
        if (!levels.isEmpty() && levels.front() == u"top") levels.removeFirst();
    }
    // A topic is one line.
    for (qsizetype i = levels.size() - 1; i >= 0; --i) {
        QString name = levels[i];
        name.replace(u'\r', u' ').replace(u'\n', u' ');
        if (!name.trimmed().isEmpty()) return name.trimmed();
    }
    return {};
}

QString categoryForTopic(const QString& topic) {
    return QStringLiteral("$course$/top/") + QString(topic).replace(u'/', QStringLiteral("//"));
}

QStringList splitAllLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}

}  // namespace zn::formats
