// Helpers of the printout's tests: banks whose texts say which topic, question and answer they
// are, so a test can read the PDF back with poppler's pdftotext and decode what is printed
// where; the information records; running poppler's tools.
#pragma once

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "print/source.h"
#include "store/tdatmod.h"
#include "tests/problems_testing.h"
#include "tests/support/testsupport.h"

namespace printtest {

// The text of question q of topic t and of its answer k: "Вопрос Т2В7 …", "ответ Т2В7О3".
inline QString questionText(qint64 t, qint64 q, const QString& more = {}) {
    return QStringLiteral("Вопрос Т%1В%2 %3").arg(t).arg(q).arg(more).trimmed();
}
inline QString answerText(qint64 t, qint64 q, int k) {
    return QStringLiteral("ответ Т%1В%2О%3").arg(t).arg(q).arg(k);
}

// A question of topic t numbered q with `answers` answers coded as above, answer `correct`
// right.
inline prtest::RawQ coded(qint64 t, qint64 q, int answers, int correct, const QString& more = {},
                          const QString& img = {}) {
    prtest::RawQ r;
    r.idtest = t;
    r.idvopr = q;
    r.text = questionText(t, q, more);
    r.otvet = correct;
    r.answers.clear();
    for (int k = 1; k <= answers; ++k) r.answers.push_back(answerText(t, q, k));
    r.img = img;
    return r;
}

// Replaces the Settings rows by the five information records `values`.
inline void setRecords(const QString& path, const QStringList& values) {
    auto db = zntest::openWritable(path.toStdString());
    jet::Transaction tx(*db);
    jet::Table& s = db->table("Settings");
    std::vector<jet::RowId> rows;
    for (auto sc = s.scan(); sc.next();) rows.push_back(sc.id());
    for (jet::RowId r : rows) s.remove(r);
    for (const QString& v : values) {
        jet::Row r(s.def().columns.size());
        r[size_t(s.columnIndex("SettingName"))] = std::u16string(u"Запись");
        r[size_t(s.columnIndex("SettingValue"))] = v.toStdU16String();
        s.insert(r);
    }
    tx.commit();
}

// The bank's values as the print area reads them.
inline zn::print::Source sourceOf(const QString& path) {
    zn::TDatMod dm;
    dm.connectTo(path);
    dm.qrtema.open();
    dm.tbSettings.open();
    return zn::print::readSource(dm);
}

// Whether poppler's tools are installed (tools/setup.sh installs them).
inline bool havePoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty();
}
#define ZN_NEED_POPPLER()                                                                    \
    if (!printtest::havePoppler())                                                           \
    GTEST_SKIP() << "poppler-utils (pdftotext, pdfimages) is not installed; tools/setup.sh " \
                    "installs it"

inline QString run(const std::vector<std::string>& argv) {
    const zntest::CommandResult r = zntest::run(argv);
    EXPECT_EQ(r.exitCode, 0) << argv[0] << ": " << r.err;
    return QString::fromStdString(r.out);
}

// The PDF's text, pages separated by form feeds; `layout` keeps the rows of tables together.
inline QString pdfText(const QString& pdf, bool layout = false) {
    std::vector<std::string> argv{"pdftotext", "-enc", "UTF-8"};
    if (layout) argv.push_back("-layout");
    argv.push_back(pdf.toStdString());
    argv.push_back("-");
    return run(argv);
}

// Each page's text.
inline QStringList pdfPages(const QString& pdf, bool layout = false) {
    QStringList pages = pdfText(pdf, layout).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

// A page's text without its last line, the footer with the page number.
inline QString body(const QString& page) {
    return page.trimmed().section(u'\n', 0, -2);
}
inline QString footer(const QString& page) {
    return page.trimmed().section(u'\n', -1).trimmed();
}

// The text with every run of white space one blank.
inline QString flat(const QString& text) {
    return text.simplified();
}

// The images pdfimages lists: one entry per use, with the object it draws.
struct PdfImage {
    int page = 0;
    int width = 0, height = 0;
    int object = 0;
    int xppi = 0;
};
inline std::vector<PdfImage> pdfImages(const QString& pdf) {
    const QStringList lines =
        run({"pdfimages", "-list", pdf.toStdString()}).split(u'\n', Qt::SkipEmptyParts);
    std::vector<PdfImage> images;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(u' ', Qt::SkipEmptyParts);
        if (f.size() < 13) continue;
        images.push_back({f[0].toInt(), f[3].toInt(), f[4].toInt(), f[10].toInt(), f[12].toInt()});
    }
    return images;
}

// A question as the paper prints it, decoded from the PDF's text: its printed number, its
// code (topic, question) and which bank answer each printed number stands for.
struct PrintedQuestion {
    int number = 0;
    qint64 topic = 0, question = 0;
    std::map<int, int> answers;  // printed answer number -> the bank's answer number
};

// Decodes the questions of `text` (the paper of one variant or of the bank, flat or not) in
// the order they are printed. An answer that does not follow its question (on another page
// than its question, say) is counted in `stray`.
inline std::vector<PrintedQuestion> decodePaper(const QString& text, int* stray = nullptr) {
    static const QRegularExpression token(
        QStringLiteral("(\\d+)\\. Вопрос Т(\\d+)В(\\d+)|(\\d+)\\) ответ Т(\\d+)В(\\d+)О(\\d+)"));
    std::vector<PrintedQuestion> out;
    for (auto it = token.globalMatch(flat(text)); it.hasNext();) {
        const auto m = it.next();
        if (!m.captured(1).isEmpty()) {
            out.push_back({m.captured(1).toInt(),
                           m.captured(2).toLongLong(),
                           m.captured(3).toLongLong(),
                           {}});
        } else if (!out.empty() && out.back().topic == m.captured(5).toLongLong() &&
                   out.back().question == m.captured(6).toLongLong()) {
            out.back().answers[m.captured(4).toInt()] = m.captured(7).toInt();
        } else if (stray) {
            ++*stray;
        } else {
            ADD_FAILURE() << "answer out of its question: " << m.captured(0).toStdString();
        }
    }
    return out;
}

// The key tables of `layoutText` (pdftotext -layout of the key's pages) under each heading:
// heading -> question label -> printed answer ("?" when none).
inline std::map<QString, std::map<QString, QString>> decodeKey(const QString& layoutText) {
    std::map<QString, std::map<QString, QString>> key;
    QString heading;
    QStringList labels;
    for (const QString& raw : layoutText.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(QStringLiteral("Вариант ")) || line.startsWith(QStringLiteral("Тема ")))
            heading = line;
        const QStringList f = line.split(u' ', Qt::SkipEmptyParts);
        if (f.isEmpty()) continue;
        if (f[0] == u"Вопрос") {
            labels = f.mid(1);
        } else if (f[0] == u"Ответ") {
            EXPECT_EQ(f.size() - 1, labels.size()) << line.toStdString();
            for (qsizetype i = 1; i < f.size() && i - 1 < labels.size(); ++i)
                key[heading][labels[i - 1]] = f[i];
            labels.clear();
        }
    }
    return key;
}

}  // namespace printtest
