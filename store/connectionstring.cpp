// Connection string parsing and the settings the connection reads from it.
#include "store/connectionstring.h"

#include "jet/error.h"

namespace zn {

namespace {

[[noreturn]] void badFormat(const char* why) {
    throw jet::Error(jet::ErrorKind::Usage,
                     std::string("The connection string is not well formed: ") + why + ".");
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

}  // namespace

ConnectionString ConnectionString::parse(const QString& text) {
    ConnectionString cs;
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && (isBlank(text[i]) || text[i] == u';')) ++i;
        if (i >= n) break;

        // Key: up to the first single "="; "==" is a literal "=".
        QString key;
        for (;;) {
            if (i >= n || text[i] == u';') badFormat("a setting has no \"=\"");
            if (text[i] == u'=') {
                if (i + 1 < n && text[i + 1] == u'=') {
                    key += u'=';
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            key += text[i++];
        }
        key = key.trimmed();
        if (key.isEmpty()) badFormat("a setting has no name before \"=\"");

        // Value: quoted, or up to the next ";".
        while (i < n && isBlank(text[i])) ++i;
        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            const QChar quote = text[i++];
            for (;;) {
                if (i >= n) badFormat("a quoted value has no closing quote");
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (i < n && isBlank(text[i])) ++i;
            if (i < n && text[i] != u';') badFormat("text follows a closing quote");
        } else {
            while (i < n && text[i] != u';') value += text[i++];
            value = value.trimmed();
        }

        bool replaced = false;
        for (auto& p : cs.pairs_)
            if (p.first.compare(key, Qt::CaseInsensitive) == 0) {
                p.second = value;
                replaced = true;
            }
        if (!replaced) cs.pairs_.append({key, value});
    }
    return cs;
}

bool ConnectionString::contains(const QString& key) const {
    for (const auto& p : pairs_)
        if (p.first.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString ConnectionString::value(const QString& key) const {
    for (const auto& p : pairs_)
        if (p.first.compare(key, Qt::CaseInsensitive) == 0) return p.second;
    return {};
}

ConnectionSettings connectionSettings(const ConnectionString& cs) {
    if (cs.value("Provider").compare("Microsoft.Jet.OLEDB.4.0", Qt::CaseInsensitive) != 0)
        throw jet::Error(jet::ErrorKind::Usage,
                         "Provider cannot be found. It may not be properly installed.");
    ConnectionSettings s;
    s.dataSource = cs.value("Data Source");
    if (s.dataSource.isEmpty())
        throw jet::Error(jet::ErrorKind::Usage, "The connection string names no Data Source");
    s.password = cs.value("Jet OLEDB:Database Password");

    if (cs.contains("Mode")) {
        // Access bits: 1 read, 2 write; share bits (4, 8, 12, 16) do not change how we open.
        int access = 0;
        const QString mode = cs.value("Mode");
        for (QString part : mode.split(u'|')) {
            part = part.simplified();
            bool isNumber = false;
            int number = part.toInt(&isNumber);
            if (isNumber && number >= 0 && number <= 0x3F)
                access |= number & 3;
            else if (part.compare("Read", Qt::CaseInsensitive) == 0)
                access |= 1;
            else if (part.compare("Write", Qt::CaseInsensitive) == 0)
                access |= 2;
            else if (part.compare("ReadWrite", Qt::CaseInsensitive) == 0)
                access |= 3;
            else if (part.compare("Share Deny None", Qt::CaseInsensitive) != 0 &&
                     part.compare("Share Deny Read", Qt::CaseInsensitive) != 0 &&
                     part.compare("Share Deny Write", Qt::CaseInsensitive) != 0 &&
                     part.compare("Share Exclusive", Qt::CaseInsensitive) != 0 &&
                     part.compare("Unknown", Qt::CaseInsensitive) != 0)
                throw jet::Error(jet::ErrorKind::Usage,
                                 "The connection mode \"" + mode.toStdString() + "\" is not valid");
        }
        s.writable = access != 1;
    }
    return s;
}

}  // namespace zn
