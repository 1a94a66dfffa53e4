// The HTML of the printed pages (see pagehtml.h).
#include "print/pagehtml.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "print/pictures.h"

namespace zn::print {

namespace {

// Questions per row of a key table.
constexpr int kKeyColumns = 10;

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool isHexDigit(QChar c) {
    return isAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The length of the character reference at s[i] ("&amp;", "&#1025;", "&#x401;"), 0 when none
// starts there.
qsizetype referenceLength(const QString& s, qsizetype i) {
    qsizetype j = i + 1;
    auto run = [&](auto accept, qsizetype most) {
        const qsizetype from = j;
        while (j < s.size() && j - from < most && accept(s[j])) ++j;
        return j - from;
    };
    if (j < s.size() && s[j] == u'#') {
        ++j;
        qsizetype digits;
        if (j < s.size() && (s[j] == u'x' || s[j] == u'X')) {
            ++j;
            digits = run(isHexDigit, 6);
        } else {
            digits = run(isAsciiDigit, 7);
        }
        if (digits == 0) return 0;
    } else {
        if (j >= s.size() || !isAsciiLetter(s[j])) return 0;
        run([](QChar c) { return isAsciiLetter(c) || isAsciiDigit(c); }, 32);
    }
    return j < s.size() && s[j] == u';' ? j + 1 - i : 0;
}

const std::array<QLatin1StringView, 12> kInlineTags = {
    QLatin1StringView("b"),      QLatin1StringView("strong"), QLatin1StringView("i"),
    QLatin1StringView("em"),     QLatin1StringView("u"),      QLatin1StringView("s"),
    QLatin1StringView("strike"), QLatin1StringView("sub"),    QLatin1StringView("sup"),
    QLatin1StringView("small"),  QLatin1StringView("big"),    QLatin1StringView("br"),
};

bool isInlineTag(const QString& name) {
    return std::find(kInlineTags.begin(), kInlineTags.end(), name) != kInlineTags.end();
}

QString header(const Paper& paper, const QString& title) {
    QString h;
    if (!paper.testName.isEmpty())
        h += QStringLiteral(
                 "<p align=\"center\" style=\"margin-top:0; margin-bottom:3px; "
                 "font-size:15pt\"><b>") +
             plainHtml(paper.testName) + QStringLiteral("</b></p>");
    if (!paper.description.isEmpty())
        h += QStringLiteral(
                 "<p align=\"center\" style=\"margin-top:0; margin-bottom:3px; "
                 "font-size:10pt\">") +
             plainHtml(paper.description) + QStringLiteral("</p>");
    if (!paper.date.isEmpty())
        h += QStringLiteral(
                 "<p align=\"center\" style=\"margin-top:0; margin-bottom:3px; "
                 "font-size:10pt\">") +
             plainHtml(paper.date) + QStringLiteral("</p>");
    if (!title.isEmpty())
        h += QStringLiteral(
                 "<p align=\"center\" style=\"margin-top:8px; margin-bottom:0; "
                 "font-size:13pt\"><b>") +
             plainHtml(title) + QStringLiteral("</b></p>");
    return h;
}

QString picture(const Question& q, const Pictures& pictures, const PageGeometry& page) {
    const Picture* p = pictures.find(q.picture);
    if (p && p->shown()) {
        const qreal w = p->size.width(), h = p->size.height();
        const qreal scale = std::min({1.0, page.textWidth() / w, page.textHeight() / 2 / h});
        return QStringLiteral(
                   "<p align=\"center\" style=\"margin-top:5px; margin-bottom:5px\"><img "
                   "src=\"%1\" width=\"%2\" height=\"%3\"></p>")
            .arg(p->url)
            .arg(std::max(1, int(std::floor(w * scale))))
            .arg(std::max(1, int(std::floor(h * scale))));
    }
    const QString note = p && p->unreadable ? QStringLiteral("рисунок «%1» не читается")
                                            : QStringLiteral("нет рисунка «%1»");
    return QStringLiteral(
               "<table align=\"center\" border=\"1\" cellspacing=\"0\" cellpadding=\"6\" "
               "style=\"border-style:solid; border-color:#808080; margin-top:5px; "
               "margin-bottom:5px\"><tr><td>") +
           note.arg(plainHtml(q.picture)) + QStringLiteral("</td></tr></table>");
}

QString question(const Question& q, const Pictures* pictures, const PageGeometry& page) {
    QString h = QStringLiteral(
                    "<p style=\"margin-top:12px; margin-bottom:4px; margin-left:26px; "
                    "text-indent:-26px\"><a name=\"%1\"><b>")
                    .arg(QString::fromUtf16(kQuestionMark));
    h += q.label + QStringLiteral(".</b></a>&nbsp;") + textHtml(q.text) + QStringLiteral("</p>");
    if (pictures && !q.picture.isEmpty()) h += picture(q, *pictures, page);
    for (size_t k = 0; k < q.answers.size(); ++k)
        h += QStringLiteral(
                 "<p style=\"margin-top:1px; margin-bottom:1px; margin-left:50px; "
                 "text-indent:-22px\">%1)&nbsp;")
                 .arg(k + 1) +
             textHtml(q.answers[k]) + QStringLiteral("</p>");
    return h;
}

QString heading(const QString& text, const char* style) {
    return QStringLiteral("<p style=\"%1\"><a name=\"%2\"><b>")
               .arg(QLatin1StringView(style), QString::fromUtf16(kHeadingMark)) +
           plainHtml(text) + QStringLiteral("</b></a></p>");
}

// One small table per row of questions: the text layout draws a page's tables only, where one
// large table would be walked whole for every page.
// Each table comes after a small marked paragraph, so that the renderer keeps the table whole on
// a page and never cuts between its two rows.
QString keyTable(const std::vector<Question>& questions) {
    QString h;
    for (size_t from = 0; from < questions.size(); from += kKeyColumns) {
        const size_t to = std::min(questions.size(), from + kKeyColumns);
        h += QStringLiteral(
                 "<p style=\"margin-top:4px; margin-bottom:0; font-size:2pt\"><a name=\"%1\">"
                 "&nbsp;</a></p>")
                 .arg(QString::fromUtf16(kQuestionMark));
        h += QStringLiteral(
            "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" "
            "style=\"border-style:solid; border-color:#606060\"><tr><td "
            "width=\"64\">Вопрос</td>");
        QString answers = QStringLiteral("<tr><td><b>Ответ</b></td>");
        for (size_t i = from; i < to; ++i) {
            const Question& q = questions[i];
            h += QStringLiteral("<td width=\"34\" align=\"center\">") + q.label +
                 QStringLiteral("</td>");
            answers += QStringLiteral("<td align=\"center\"><b>") +
                       (q.correct < 0 ? QStringLiteral("?") : QString::number(q.correct + 1)) +
                       QStringLiteral("</b></td>");
        }
        h += QStringLiteral("</tr>") + answers + QStringLiteral("</tr></table>");
    }
    return h;
}

}  // namespace

QString plainHtml(const QString& text) {
    QString out = text.toHtmlEscaped();
    out.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    out.replace(u'\r', QStringLiteral("<br>"));
    out.replace(u'\n', QStringLiteral("<br>"));
    return out;
}

QString textHtml(const QString& stored) {
    const QString s = stored.trimmed();
    QString out;
    out.reserve(s.size() + 16);
    std::vector<QString> open;  // inline tags opened and not yet closed
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') ++i;
            out += QStringLiteral("<br>");
        } else if (c == u'&') {
            const qsizetype n = referenceLength(s, i);
            if (n > 0) {
                out += s.mid(i, n);
                i += n - 1;
            } else {
                out += QStringLiteral("&amp;");
            }
        } else if (c == u'>') {
            out += QStringLiteral("&gt;");
        } else if (c != u'<') {
            out += c;
        } else if (s.mid(i, 4) == QLatin1StringView("<!--")) {
            const qsizetype end = s.indexOf(QLatin1StringView("-->"), i + 4);
            i = end < 0 ? s.size() - 1 : end + 2;
        } else {
            // A tag is "<", an optional "/", a letter, and everything up to the next ">".
            qsizetype j = i + 1;
            const bool closing = j < s.size() && s[j] == u'/';
            if (closing) ++j;
            const qsizetype nameFrom = j;
            while (j < s.size() && (isAsciiLetter(s[j]) || (j > nameFrom && isAsciiDigit(s[j]))))
                ++j;
            const qsizetype end = s.indexOf(u'>', j);
            if (j == nameFrom || end < 0) {
                out += QStringLiteral("&lt;");
                continue;
            }
            const QString name = s.mid(nameFrom, j - nameFrom).toLower();
            i = end;
            if (name == u"br") {
                out += QStringLiteral("<br>");
            } else if (name == u"p" || name == u"div") {
                if (!closing && !out.isEmpty()) out += QStringLiteral("<br>");
            } else if (isInlineTag(name)) {
                if (!closing) {
                    if (s[end - 1] == u'/') continue;  // <b/> opens nothing
                    out += u'<' + name + u'>';
                    open.push_back(name);
                } else if (std::find(open.begin(), open.end(), name) != open.end()) {
                    while (!open.empty()) {
                        const QString top = open.back();
                        open.pop_back();
                        out += QStringLiteral("</") + top + u'>';
                        if (top == name) break;
                    }
                }
            }
        }
    }
    while (!open.empty()) {
        out += QStringLiteral("</") + open.back() + u'>';
        open.pop_back();
    }
    return out;
}

QString sectionHtml(const Paper& paper, const Section& section, const Pictures* pictures,
                    const PageGeometry& page) {
    QString h = QStringLiteral("<html><body>");
    h += header(paper, section.title);
    h += QStringLiteral(
        "<p style=\"margin-top:16px; margin-bottom:8px\">Фамилия, имя:&nbsp;"
        "________________________________________&nbsp;&nbsp;&nbsp; "
        "Класс:&nbsp;____________</p>");
    for (const Group& g : section.groups) {
        if (!g.heading.isEmpty())
            h += heading(g.heading, "margin-top:18px; margin-bottom:0; font-size:12pt");
        if (g.empty)
            h += QStringLiteral(
                "<p style=\"margin-top:8px; margin-left:26px\"><i>В теме нет вопросов.</i></p>");
        for (const Question& q : g.questions) h += question(q, pictures, page);
    }
    return h + QStringLiteral("</body></html>");
}

QString keyHtml(const Paper& paper) {
    QString h = QStringLiteral(
        "<html><body><p align=\"center\" style=\"margin-top:0; margin-bottom:3px; "
        "font-size:15pt\"><b>Ключ ответов</b></p>");
    if (!paper.testName.isEmpty())
        h += QStringLiteral("<p align=\"center\" style=\"margin-top:0; font-size:10pt\">") +
             plainHtml(paper.testName) + QStringLiteral("</p>");
    for (const Section& s : paper.sections)
        for (const Group& g : s.groups) {
            if (g.questions.empty()) continue;
            const QString& title = g.heading.isEmpty() ? s.title : g.heading;
            h += heading(title, "margin-top:16px; margin-bottom:0; font-size:11pt");
            h += keyTable(g.questions);
        }
    return h + QStringLiteral("</body></html>");
}

}  // namespace zn::print
