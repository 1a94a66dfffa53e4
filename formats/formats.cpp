// Format codes and names, detection, and dispatch to the readers and writers.
#include "formats/formats.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>

#include "formats/aiken.h"
#include "formats/csv.h"
#include "formats/gift.h"
#include "formats/moodlexml.h"
#include "formats/text.h"

namespace zn::formats {

namespace {

// How much of a file detection looks at.
constexpr qsizetype kSniffBytes = 64 * 1024;

bool looksLikeGift(const QStringList& lines, const QString& text) {
    for (const QString& l : lines) {
        const QString t = l.trimmed();
        if (t.startsWith(QStringLiteral("$CATEGORY:")) || t.startsWith(QStringLiteral("::")))
            return true;
    }
    static const QRegularExpression answers(
        QStringLiteral("\\{\\s*(?:[=~]|(?:T|F|TRUE|FALSE)\\s*[}#])"),
        QRegularExpression::CaseInsensitiveOption);
    return text.contains(answers);
}

bool looksLikeAiken(const QStringList& lines) {
    static const QRegularExpression answer(QStringLiteral("^\\s*ANSWER\\s*:\\s*\\S"));
    for (const QString& l : lines)
        if (l.contains(answer)) return true;
    return false;
}

}  // namespace

QString formatCode(Format format) {
    switch (format) {
        case Format::Exchange:
            return QStringLiteral("exchange");
        case Format::MoodleXml:
            return QStringLiteral("moodle");
        case Format::Gift:
            return QStringLiteral("gift");
        case Format::Aiken:
            return QStringLiteral("aiken");
        case Format::Csv:
            return QStringLiteral("csv");
        case Format::Mdb:
            return QStringLiteral("mdb");
    }
    return {};
}

std::optional<Format> formatFromCode(const QString& code) {
    for (Format f : {Format::Exchange, Format::MoodleXml, Format::Gift, Format::Aiken, Format::Csv,
                     Format::Mdb})
        if (code.compare(formatCode(f), Qt::CaseInsensitive) == 0) return f;
    return std::nullopt;
}

QString formatTitle(Format format) {
    switch (format) {
        case Format::Exchange:
            return QStringLiteral("Файл обмена (*.txt)");
        case Format::MoodleXml:
            return QStringLiteral("Moodle XML (*.xml)");
        case Format::Gift:
            return QStringLiteral("GIFT (*.gift, *.txt)");
        case Format::Aiken:
            return QStringLiteral("Aiken (*.txt)");
        case Format::Csv:
            return QStringLiteral("Таблица CSV (*.csv)");
        case Format::Mdb:
            return QStringLiteral("Другая база тестов (*.mdb)");
    }
    return {};
}

Format detectFormat(const QByteArray& bytes, const QString& fileName) {
    if (bytes.size() >= 20 &&
        (bytes.mid(4, 15) == "Standard Jet DB" || bytes.mid(4, 15) == "Standard ACE DB"))
        return Format::Mdb;
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == u"mdb" || ext == u"accdb") return Format::Mdb;
    QByteArray head = bytes.left(kSniffBytes);
    if (head.startsWith("\xEF\xBB\xBF")) head = head.mid(3);
    if (head.trimmed().startsWith('<')) return Format::MoodleXml;
    if (ext == u"xml") return Format::MoodleXml;
    if (ext == u"gift") return Format::Gift;
    if (ext == u"csv" || ext == u"tsv") return Format::Csv;

    const QString text = exchange::decode(bytes.left(kSniffBytes));
    const QStringList lines = splitAllLines(text);
    if (looksLikeGift(lines, text)) return Format::Gift;
    if (looksLikeAiken(lines)) return Format::Aiken;
    QString firstLine;
    for (const QString& l : lines)
        if (!l.trimmed().isEmpty()) {
            firstLine = l;
            break;
        }
    static const QRegularExpression numbered(QStringLiteral("^\\d\\d\\."));
    if (firstLine.contains(numbered)) return Format::Exchange;
    if (firstLine.count(u';') >= 3 || firstLine.count(u'\t') >= 3) return Format::Csv;
    return Format::Exchange;
}

ReadResult read(Format format, const QByteArray& bytes, const Limits& limits) {
    switch (format) {
        case Format::Exchange:
            return fromExchange(exchange::parse(bytes), limits);
        case Format::MoodleXml:
            return readMoodleXml(bytes, limits);
        case Format::Gift:
            return readGift(bytes, limits);
        case Format::Aiken:
            return readAiken(bytes, limits);
        case Format::Csv:
            return readCsv(bytes, limits);
        case Format::Mdb:
            break;
    }
    ReadResult out;
    refuse(out, QStringLiteral("База тестов читается не как текстовый файл"));
    return out;
}

WriteResult write(Format format, const QuestionSet& set) {
    switch (format) {
        case Format::MoodleXml:
            return writeMoodleXml(set);
        case Format::Gift:
            return writeGift(set);
        case Format::Aiken:
            return writeAiken(set);
        case Format::Exchange:
        case Format::Csv:
        case Format::Mdb:
            break;
    }
    WriteResult out;
    out.problems.push_back(
        {{},
         QStringLiteral("В формат «%1» вопросы отсюда не записываются").arg(formatTitle(format))});
    return out;
}

ReadResult fromExchange(const exchange::ParseResult& parsed, const Limits& limits) {
    ReadResult out;
    QHash<qint64, QString> topicNames;
    for (const exchange::TopicLine& t : parsed.bank.topics)
        if (!topicNames.contains(t.numtema)) topicNames.insert(t.numtema, t.tema);
    for (const exchange::Fault& f : parsed.faults)
        out.problems.push_back({{f.line, {}}, f.message});
    QHash<QString, int> pictureByName;
    for (const exchange::QuestionBlock& b : parsed.bank.questions) {
        const Source where{b.line, QString()};
        auto topic = topicNames.constFind(b.idtest);
        if (topic == topicNames.constEnd()) {
            out.problems.push_back({where, QStringLiteral("нет темы с номером %1").arg(b.idtest)});
            continue;
        }
        Question q;
        q.topic = *topic;
        q.text = b.vopros;
        q.where = where;
        for (const exchange::AnswerLine& a : b.answers) {
            q.answers.push_back(a.otvet);
            if (a.idotv == b.otvet && q.correct == 0) q.correct = int(q.answers.size());
        }
        // No answer has the number: the check reports the number the file gives.
        if (q.correct == 0) q.correct = int(std::clamp<qint64>(b.otvet, -1, 1000));
        if (!b.img.isEmpty()) {
            auto it = pictureByName.constFind(b.img);
            if (it == pictureByName.constEnd()) {
                it = pictureByName.insert(b.img, int(out.pictures.size()));
                out.pictures.push_back({b.img, QByteArray(), false});
            }
            q.picture = *it;
        }
        out.questions.push_back(std::move(q));
    }
    checkQuestions(out, limits);
    return out;
}

}  // namespace zn::formats
