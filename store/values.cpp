// Reading the current row of a dataset into a value.
#include "store/values.h"

#include "store/dataset.h"

namespace zn {

Topic topicAt(const Dataset& d) {
    return {d.asInteger("id"), d.asInteger("numtema"), d.asString("tema"), d.asInteger("kolvopr")};
}

Question questionAt(const Dataset& d) {
    return {d.asInteger("id"),    d.asInteger("idtest"), d.asInteger("idvopr"),
            d.asString("vopros"), d.asInteger("otvet"),  d.asInteger("kolotvet"),
            d.asString("img")};
}

Answer answerAt(const Dataset& d) {
    return {d.asInteger("id"), d.asInteger("idvopr"), d.asInteger("idotv"), d.asString("otvet")};
}

SettingRecord settingAt(const Dataset& d) {
    return {d.asInteger("id"), d.asString("SettingName"), d.asString("SettingValue")};
}

namespace {

template <class T, class Read>
std::vector<T> allRows(Dataset& d, Read read) {
    std::vector<T> out;
    if (!d.isOpen()) return out;
    out.reserve(size_t(d.recordCount()));
    for (d.first(); !d.eof(); d.next()) out.push_back(read(d));
    d.first();
    return out;
}

}  // namespace

std::vector<Answer> answersOf(Dataset& d) {
    return allRows<Answer>(d, answerAt);
}

std::vector<Question> questionsOf(Dataset& d) {
    return allRows<Question>(d, questionAt);
}

std::vector<Topic> topicsOf(Dataset& d) {
    return allRows<Topic>(d, topicAt);
}

QString tooManyTopicsMessage(int count) {
    return QStringLiteral(
               "В базе уже %1 тем. Программа тестирования показывает не более %2 тем, "
               "поэтому новая тема не добавлена.")
        .arg(count)
        .arg(kMaxTopics);
}

QString trimmedText(const QString& text) {
    auto blank = [](QChar c) { return c.unicode() <= 32; };
    qsizetype begin = 0, end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}

}  // namespace zn
