// Reading and saving the information records.
#include "bulk/inforecords.h"

#include "store/tdatmod.h"

namespace zn {

const std::array<QString, InfoRecords::kCount>& InfoRecords::labels() {
    static const std::array<QString, kCount> names = {
        QStringLiteral("Заголовок окна запуска :"),
        QStringLiteral("Заголовок окна программы :"),
        QStringLiteral("Название базы теста :"),
        QStringLiteral("Описание базы теста :"),
        QStringLiteral("Дата теста :"),
    };
    return names;
}

QString trimControls(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].unicode() <= 32) ++begin;
    while (end > begin && text[end - 1].unicode() <= 32) --end;
    return text.mid(begin, end - begin);
}

namespace {

// Line breaks as the stored values keep them: CR LF.
QString withCrLf(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += QStringLiteral("\r\n");
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

InfoRecords readInfoRecords(TDatMod& dm) {
    InfoRecords r;
    DbDataset& s = dm.tbSettings;
    for (s.first(); !s.eof() && r.rows < InfoRecords::kCount; s.next())
        r.values[size_t(r.rows++)] = trimControls(s.asString("SettingValue"));
    s.first();
    return r;
}

void saveInfoRecords(TDatMod& dm, const std::array<QString, InfoRecords::kCount>& values) {
    DbDataset& s = dm.tbSettings;
    dm.write(QStringLiteral("изменение информационных записей"), [&] {
        int k = 0;
        for (s.first(); !s.eof() && k < InfoRecords::kCount; s.next(), ++k) {
            s.edit();
            s.setString("SettingValue", withCrLf(trimControls(values[size_t(k)])));
            s.post();
        }
    });
    s.first();
}

}  // namespace zn
