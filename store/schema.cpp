// Column lists and display labels of the four tables.
#include "store/schema.h"

#include <array>

namespace schema {

namespace {

struct Label {
    const char16_t* table;
    const char16_t* column;
    const char16_t* label;
};

// The captions the data module attaches to columns; columns not listed have none.
constexpr std::array<Label, 14> kLabels{{
    {u"Tema", u"numtema", u"№ Темы"},
    {u"Tema", u"tema", u"Название"},
    {u"Tema", u"kolvopr", u"Кол. вопросов"},
    {u"Voprosi", u"idtest", u"№ Теста"},
    {u"Voprosi", u"idvopr", u"№ Вопроса"},
    {u"Voprosi", u"vopros", u"Вопрос"},
    {u"Voprosi", u"pokaz", u"Показов"},
    {u"Voprosi", u"otvet", u"Ответ"},
    {u"Voprosi", u"kolotvet", u"Кол. Ответов"},
    {u"Voprosi", u"status", u"Статус"},
    {u"Voprosi", u"reiting", u"Рейтинг"},
    {u"Otveti", u"idvopr", u"№ Вопроса"},
    {u"Otveti", u"idotv", u"№ Ответа"},
    {u"Otveti", u"otvet", u"Ответ"},
}};

}  // namespace

QStringList requiredColumns(const QString& table) {
    if (table.compare(kTema, Qt::CaseInsensitive) == 0) return {"id", "numtema", "tema", "kolvopr"};
    if (table.compare(kVoprosi, Qt::CaseInsensitive) == 0)
        return {"id",       "idtest", "idvopr",  "vopros",  "pokaz", "otvet",
                "kolotvet", "status", "reiting", "vopros1", "img"};
    if (table.compare(kOtveti, Qt::CaseInsensitive) == 0) return {"id", "idvopr", "idotv", "otvet"};
    if (table.compare(kSettings, Qt::CaseInsensitive) == 0)
        return {"id", "SettingName", "SettingValue"};
    return {};
}

QString displayLabel(const QString& table, const QString& column) {
    for (const Label& l : kLabels)
        if (table.compare(QString::fromUtf16(l.table), Qt::CaseInsensitive) == 0 &&
            column.compare(QString::fromUtf16(l.column), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(l.label);
    return {};
}

}  // namespace schema
