// CSV: fields and rows as spreadsheets write them, then one question per row.
#include "formats/csv.h"

#include <QHash>

#include "formats/exchange.h"

namespace zn::formats {

namespace {

struct Row {
    QStringList fields;
    int line = 0;           // where the row starts, from 1
    bool unclosed = false;  // a quoted field runs to the end of the file
};

// The separator the first row uses most outside quotes.
QChar separatorOf(const QString& text) {
    int semicolons = 0, commas = 0, tabs = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'"') quoted = !quoted;
        if (quoted) continue;
        if (c == u'\r' || c == u'\n') break;
        if (c == u';') ++semicolons;
        if (c == u',') ++commas;
        if (c == u'\t') ++tabs;
    }
    if (semicolons >= commas && semicolons >= tabs) return u';';
    return tabs >= commas ? QChar(u'\t') : QChar(u',');
}

std::vector<Row> rowsOf(const QString& text, QChar sep) {
    std::vector<Row> rows;
    Row row;
    row.line = 1;
    QString field;
    int line = 1;
    bool quoted = false, wasQuoted = false;
    auto endField = [&] {
        row.fields << (wasQuoted ? field : field.trimmed());
        field.clear();
        wasQuoted = false;
    };
    auto endRow = [&] {
        endField();
        rows.push_back(std::move(row));
        row = Row();
        row.line = line;
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        const bool lineEnd = c == u'\r' || c == u'\n';
        if (lineEnd) {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
            ++line;
        }
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += lineEnd ? QChar(u'\n') : c;
            }
        } else if (c == u'"' && field.trimmed().isEmpty() && !wasQuoted) {
            field.clear();
            quoted = wasQuoted = true;
        } else if (c == sep) {
            endField();
        } else if (lineEnd) {
            endRow();
        } else {
            field += c;
        }
    }
    if (quoted) row.unclosed = true;
    if (quoted || !field.isEmpty() || !row.fields.isEmpty()) endRow();
    return rows;
}

bool wholeNumber(const QString& s, int& value) {
    if (s.isEmpty() || s.size() > 9) return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9') return false;
    value = s.toInt();
    return true;
}

bool namesColumns(const QStringList& fields) {
    static const QStringList words = {QStringLiteral("тема"),      QStringLiteral("вопрос"),
                                      QStringLiteral("topic"),     QStringLiteral("question"),
                                      QStringLiteral("категория"), QStringLiteral("category")};
    for (qsizetype i = 0; i < std::min<qsizetype>(2, fields.size()); ++i)
        for (const QString& w : words)
            if (fields[i].trimmed().toLower().startsWith(w)) return true;
    return false;
}

}  // namespace

ReadResult readCsv(const QByteArray& bytes, const Limits& limits) {
    ReadResult out;
    const QString text = exchange::decode(bytes);
    QHash<QString, int> pictureByName;
    bool first = true;
    for (Row& row : rowsOf(text, separatorOf(text))) {
        QStringList& f = row.fields;
        while (!f.isEmpty() && f.back().isEmpty()) f.removeLast();
        if (f.isEmpty()) continue;
        const Source where{row.line, QString()};
        if (row.unclosed) {
            out.problems.push_back(
                {where, QStringLiteral("кавычка не закрыта до конца файла: строка не прочитана")});
            continue;
        }
        const qsizetype n = f.size();
        int correct = 0;
        qsizetype numberAt = -1;
        if (n >= 3 && wholeNumber(f[n - 1], correct))
            numberAt = n - 1;
        else if (n >= 4 && wholeNumber(f[n - 2], correct))
            numberAt = n - 2;
        const bool header = first && numberAt < 0 && namesColumns(f);
        first = false;
        if (header) continue;
        if (numberAt < 0) {
            out.problems.push_back(
                {where, QStringLiteral("нет номера верного ответа (ожидались поля: тема; вопрос; "
                                       "ответы; номер верного ответа; рисунок)")});
            continue;
        }
        Question q;
        q.where = where;
        q.topic = QString(f[0]).replace(u'\n', u' ').trimmed();  // a topic is one line
        q.text = bankLineBreaks(f[1]);
        for (qsizetype i = 2; i < numberAt; ++i) q.answers.push_back(bankLineBreaks(f[i]));
        while (!q.answers.empty() && q.answers.back().trimmed().isEmpty()) q.answers.pop_back();
        q.correct = correct;
        if (numberAt == n - 2 && !f[n - 1].isEmpty()) {
            const QString name = f[n - 1];
            auto it = pictureByName.constFind(name);
            if (it == pictureByName.constEnd()) {
                it = pictureByName.insert(name, int(out.pictures.size()));
                out.pictures.push_back({name, QByteArray(), false});
            }
            q.picture = *it;
        }
        out.questions.push_back(std::move(q));
    }
    checkQuestions(out, limits);
    return out;
}

}  // namespace zn::formats
