// The test database's tables and the creation of an empty one.
#include "store/bank/testbank.h"

#include <algorithm>
#include <cctype>

namespace zn::bank {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

Column id() {
    Column c{"id", jet::ColType::Long};
    c.autoNumber = true;
    return c;
}

jet::IndexSpec primaryKey() {
    jet::IndexSpec ix{"PrimaryKey", {{"id", true}}};
    ix.primaryKey = ix.unique = ix.required = true;
    return ix;
}

jet::IndexSpec plain(const char* column) {
    return jet::IndexSpec{column, {{column, true}}};
}

}  // namespace

const std::vector<TableInfo>& tables() {
    using T = jet::ColType;
    static const std::vector<TableInfo> all = {
        {"Tema",
         {id(),
          {"numtema", T::Long, 0, u"№ Темы"},
          {"tema", T::Text, 255, u"Название"},
          {"kolvopr", T::Int, 0, u"Кол. вопросов"}},
         {primaryKey(), plain("numtema")}},
        {"Voprosi",
         {id(),
          {"idtest", T::Int, 0, u"№ Теста"},
          {"idvopr", T::Int, 0, u"№ Вопроса"},
          {"vopros", T::Memo, 0, u"Вопрос"},
          {"pokaz", T::Int, 0, u"Показов", false, "0"},
          {"otvet", T::Byte, 0, u"Ответ"},
          {"kolotvet", T::Byte, 0, u"Кол. Ответов"},
          {"status", T::Int, 0, u"Статус", false, "0"},
          {"reiting", T::Double, 0, u"Рейтинг", false, "0"},
          {"vopros1", T::Text, 255},
          {"img", T::Text, 10}},
         {primaryKey(), plain("idtest"), plain("idvopr")}},
        {"Otveti",
         {id(),
          {"idvopr", T::Int, 0, u"№ Вопроса"},
          {"idotv", T::Int, 0, u"№ Ответа"},
          {"otvet", T::Memo, 0, u"Ответ"}},
         {primaryKey(), plain("idvopr"), plain("idotv")}},
        {"Settings",
         {id(), {"SettingName", T::Text, 255}, {"SettingValue", T::Memo}},
         {primaryKey()}},
    };
    return all;
}

const TableInfo* findTable(std::string_view name) {
    for (const TableInfo& t : tables())
        if (sameName(t.name, name)) return &t;
    return nullptr;
}

const Column* findColumn(std::string_view table, std::string_view column) {
    const TableInfo* t = findTable(table);
    if (!t) return nullptr;
    for (const Column& c : t->columns)
        if (sameName(c.name, column)) return &c;
    return nullptr;
}

std::vector<std::string> tableNamesIn(jet::Database& db) {
    std::vector<std::string> out;
    for (const TableInfo& t : tables())
        if (db.hasTable(t.name)) out.push_back(t.name);
    return out;
}

std::vector<jet::TableSpec> testSchema() {
    std::vector<jet::TableSpec> out;
    for (const TableInfo& t : tables()) {
        jet::TableSpec spec{t.name, {}, t.indexes};
        for (const Column& c : t.columns) {
            jet::ColumnSpec col{c.name, c.type};
            if (c.type == jet::ColType::Text) col.maxChars = c.maxChars;
            col.autoNumber = c.autoNumber;
            col.defaultValue = c.defaultValue;
            spec.columns.push_back(col);
        }
        out.push_back(std::move(spec));
    }
    return out;
}

void createTestSchema(jet::Database& db) {
    jet::Transaction tx(db);
    for (auto& spec : testSchema()) jet::createTable(db, spec);
    jet::Table& s = db.table("Settings");
    const std::pair<const char16_t*, const char16_t*> records[] = {
        {u"StartCaption", u"Добро пожаловать в систему тестирования"},
        {u"MainCaption", u"Тестирование знаний"},
        {u"TestName", u"Новый тест"},
        {u"TestDescription", u""},
        {u"TestDate", u""},
    };
    for (auto& [name, value] : records) {
        jet::Row r(s.def().columns.size());
        r[size_t(s.columnIndex("SettingName"))] = std::u16string(name);
        r[size_t(s.columnIndex("SettingValue"))] = std::u16string(value);
        s.insert(r);
    }
    tx.commit();
}

}  // namespace zn::bank
