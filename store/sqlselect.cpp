// A parser for the data module's single query form.
#include "store/sqlselect.h"

#include <QList>

#include "jet/error.h"

namespace zn {

namespace {

struct Token {
    enum Kind { Word, Star, Equals, Param, Semicolon } kind;
    QString text;
};

bool isWordStart(QChar c) {
    return c.isLetter() || c == u'_';
}
bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

[[noreturn]] void refuse(const QString& sql) {
    throw jet::Error(jet::ErrorKind::Unsupported,
                     "The query \"" + sql.toStdString() +
                         "\" is not understood: the data module runs only \"select * from "
                         "<table> [where <column>=:<parameter>] order by <column>\"");
}

QList<Token> tokenize(const QString& sql) {
    QList<Token> out;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'*') {
            out.append(Token{Token::Star, {}});
            ++i;
        } else if (c == u'=') {
            out.append(Token{Token::Equals, {}});
            ++i;
        } else if (c == u';') {
            out.append(Token{Token::Semicolon, {}});
            ++i;
        } else if (c == u':' && i + 1 < n && isWordStart(sql[i + 1])) {
            qsizetype j = i + 1;
            while (j < n && isWordChar(sql[j])) ++j;
            out.append(Token{Token::Param, sql.mid(i + 1, j - i - 1)});
            i = j;
        } else if (isWordStart(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(sql[j])) ++j;
            out.append(Token{Token::Word, sql.mid(i, j - i)});
            i = j;
        } else {
            refuse(sql);
        }
    }
    return out;
}

}  // namespace

SelectStatement parseSelect(const QString& sql) {
    const QList<Token> t = tokenize(sql);
    qsizetype i = 0;
    auto keyword = [&](const char* kw) {
        if (i < t.size() && t[i].kind == Token::Word &&
            t[i].text.compare(QLatin1String(kw), Qt::CaseInsensitive) == 0) {
            ++i;
            return true;
        }
        return false;
    };
    auto kind = [&](Token::Kind k) {
        if (i < t.size() && t[i].kind == k) {
            ++i;
            return true;
        }
        return false;
    };
    auto name = [&]() -> QString {
        if (i < t.size() && t[i].kind == Token::Word) return t[i++].text;
        refuse(sql);
    };

    SelectStatement s;
    if (!keyword("select") || !kind(Token::Star) || !keyword("from")) refuse(sql);
    s.table = name();
    if (keyword("where")) {
        s.whereColumn = name();
        if (!kind(Token::Equals)) refuse(sql);
        if (i >= t.size() || t[i].kind != Token::Param) refuse(sql);
        s.parameter = t[i++].text;
    }
    if (!keyword("order") || !keyword("by")) refuse(sql);
    s.orderColumn = name();
    kind(Token::Semicolon);
    if (i != t.size()) refuse(sql);
    // Reserved words cannot name the table or columns here.
    for (const QString* w : {&s.table, &s.whereColumn, &s.orderColumn})
        for (const char* kw : {"select", "from", "where", "order", "by"})
            if (w->compare(QLatin1String(kw), Qt::CaseInsensitive) == 0) refuse(sql);
    return s;
}

}  // namespace zn
