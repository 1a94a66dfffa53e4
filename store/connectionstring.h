// Connection strings: the "key=value;" lists the data module's connection takes, parsed by the
// OLE DB rules, and the settings of them that the connection honours.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace zn {

// A parsed connection string. Rules: pairs are separated by ";"; blanks around keys and
// unquoted values are dropped; keys compare without regard to case and a later pair replaces
// an earlier one with the same key; "==" inside a key stands for "="; a value may be enclosed in
// double or single quotes, inside which ";" is plain text and a doubled quote stands for one
// quote character ('Extended Properties=""' is an empty value).
class ConnectionString {
  public:
    // Throws jet::Error(Usage), saying what is wrong, for an unterminated quote, text after a
    // closing quote, or a pair without "=" or without a key.
    static ConnectionString parse(const QString& text);

    bool contains(const QString& key) const;
    // The value of `key`, or an empty string when it is absent.
    QString value(const QString& key) const;
    // The pairs in the order their keys first appeared (keys as first written).
    const QList<QPair<QString, QString>>& pairs() const { return pairs_; }

  private:
    QList<QPair<QString, QString>> pairs_;
};

// What the connection takes from a connection string.
struct ConnectionSettings {
    QString dataSource;    // the database file as written in "Data Source"
    QString password;      // "Jet OLEDB:Database Password"
    bool writable = true;  // false when "Mode" asks for reading only
};

// Checks the provider ("Microsoft.Jet.OLEDB.4.0" is the only one) and reads Data Source,
// Jet OLEDB:Database Password and Mode ("Read", "Write", "ReadWrite", "Share Deny None",
// "Share Deny Read", "Share Deny Write", "Share Exclusive" or their numbers, joined by "|").
// Throws jet::Error(Usage) for a missing or other provider, a missing Data Source or an unknown
// mode.
ConnectionSettings connectionSettings(const ConnectionString& cs);

}  // namespace zn
