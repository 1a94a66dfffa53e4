// Sample content for a test database: a few Russian topics with questions and answers, used by
// the demo and by tests that want a filled database of our own making.
#include "store/bank/testbank.h"

namespace zn::bank {

using namespace jet;

namespace {

struct SampleQuestion {
    const char16_t* text;
    int correct;
    const char16_t* picture;  // nullptr: none
    std::vector<const char16_t*> answers;
};

struct SampleTopic {
    const char16_t* name;
    std::vector<SampleQuestion> questions;
};

const std::vector<SampleTopic>& sample() {
    static const std::vector<SampleTopic> topics = {
        {u"Геометрия",
         {
             {u"Катеты прямоугольного треугольника равны 3 см и 4 см. Чему равна гипотенуза?",
              3,
              u"p1.png",
              {u"6 см", u"7 см", u"5 см", u"12 см"}},
             {u"Какую часть круга составляют закрашенные секторы?",
              2,
              u"p3.png",
              {u"1/8", u"3/8", u"1/2", u"5/8"}},
             {u"Сумма углов треугольника равна…", 1, nullptr, {u"180°", u"360°"}},
         }},
        {u"Время и часы",
         {
             {u"Какое время показывают часы?",
              4,
              u"p2.jpg",
              {u"4:15", u"9:20", u"3:45", u"4:45", u"5:45"}},
             {u"Сколько минут в полутора часах?", 2, nullptr, {u"60", u"90", u"120"}},
         }},
        {u"Русский язык",
         {
             {u"В каком слове пишется буква <i>ё</i>?",
              1,
              nullptr,
              {u"Жёлтый", u"Шоколад", u"Шорох", u"Крыжовник", u"Обжора", u"Капюшон"}},
             {u"Укажите существительное.", 3, nullptr, {u"Бежать", u"Синий", u"Дорога", u"Быстро"}},
         }},
        {u"Охрана труда", {}},
    };
    return topics;
}

size_t col(Table& t, const char* name) {
    return size_t(t.columnIndex(name));
}

}  // namespace

void fillSampleContent(Database& db) {
    Transaction tx(db);
    Table& tema = db.table("Tema");
    Table& vopr = db.table("Voprosi");
    Table& otv = db.table("Otveti");
    int k = 0;
    for (auto& topic : sample()) {
        ++k;
        Row t(tema.def().columns.size());
        t[col(tema, "numtema")] = int64_t(k);
        t[col(tema, "tema")] = std::u16string(topic.name);
        t[col(tema, "kolvopr")] = int64_t(topic.questions.size());
        tema.insert(t);
        int q = 0;
        for (auto& question : topic.questions) {
            ++q;
            Row v(vopr.def().columns.size());
            v[col(vopr, "idtest")] = int64_t(k);
            v[col(vopr, "idvopr")] = int64_t(q);
            v[col(vopr, "vopros")] = std::u16string(question.text);
            v[col(vopr, "otvet")] = int64_t(question.correct);
            v[col(vopr, "kolotvet")] = int64_t(question.answers.size());
            v[col(vopr, "img")] = std::u16string(question.picture ? question.picture : u"");
            vopr.insert(v);
            int64_t id = std::get<int64_t>(v[col(vopr, "id")]);
            int a = 0;
            for (auto* answer : question.answers) {
                Row o(otv.def().columns.size());
                o[col(otv, "idvopr")] = id;
                o[col(otv, "idotv")] = int64_t(++a);
                o[col(otv, "otvet")] = std::u16string(answer);
                otv.insert(o);
            }
        }
    }
    // The information records of the sample test.
    Table& s = db.table("Settings");
    const char16_t* values[] = {u"Добро пожаловать в систему тестирования", u"Тестирование знаний",
                                u"Демонстрационный тест",
                                (u"Несколько вопросов по геометрии, времени и русскому языку.\r\n"
                                 u"Вопросы с картинками берут их из папки data."),
                                u"10.12.2026"};
    size_t i = 0;
    std::vector<RowId> ids;
    for (auto sc = s.scan(); sc.next();) ids.push_back(sc.id());
    for (RowId id : ids) {
        if (i >= 5) break;
        Row r = s.read(id);
        r[col(s, "SettingValue")] = std::u16string(values[i++]);
        s.update(id, r);
    }
    tx.commit();
}

}  // namespace zn::bank
