// Moodle XML: reading with QXmlStreamReader, writing with QXmlStreamWriter.
#include "formats/moodlexml.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cmath>

#include "formats/text.h"

namespace zn::formats {

namespace {

const QString kPluginFile = QStringLiteral("@@PLUGINFILE@@");

// A file attached to a text: its path and name as the references give them ("/sub/a.png").
struct Attachment {
    QString key;
    QString name;
    QByteArray bytes;
};

// A text element (<questiontext>, <answer> …): its format, its <text> and its <file>s.
struct RichText {
    TextFormat format = TextFormat::MoodleAuto;
    QString text;
    std::vector<Attachment> files;
};

struct AnswerElement {
    QString fraction;
    RichText text;
};

QString typeName(const QString& type) {
    static const QHash<QString, QString> names = {
        {QStringLiteral("shortanswer"), QStringLiteral("короткий ответ")},
        {QStringLiteral("essay"), QStringLiteral("эссе")},
        {QStringLiteral("matching"), QStringLiteral("на соответствие")},
        {QStringLiteral("numerical"), QStringLiteral("числовой ответ")},
        {QStringLiteral("description"), QStringLiteral("описание")},
        {QStringLiteral("cloze"), QStringLiteral("вложенные ответы")},
        {QStringLiteral("calculated"), QStringLiteral("вычисляемый")},
        {QStringLiteral("calculatedsimple"), QStringLiteral("простой вычисляемый")},
        {QStringLiteral("calculatedmulti"), QStringLiteral("вычисляемый множественный выбор")},
        {QStringLiteral("ddwtos"), QStringLiteral("перетаскивание в текст")},
        {QStringLiteral("gapselect"), QStringLiteral("выбор пропущенных слов")},
        {QStringLiteral("ordering"), QStringLiteral("упорядочивание")},
        {QStringLiteral("randomsamatch"), QStringLiteral("случайный на соответствие")},
    };
    const auto it = names.constFind(type);
    return it == names.constEnd() ? QStringLiteral("«%1»").arg(type)
                                  : QStringLiteral("«%1» (%2)").arg(*it, type);
}

bool isFull(const QString& fraction) {
    bool ok = false;
    const double f = fraction.trimmed().toDouble(&ok);
    return ok && std::fabs(f - 100.0) < 1e-6;
}

// Why the file cannot be read as UTF-8 XML, judged from its first bytes ("" when it can).
QString encodingRefusal(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringLiteral(
            "Файл записан в кодировке UTF-16, а файл Moodle XML читается только в UTF-8. "
            "Сохраните его в UTF-8 и повторите импорт.");
    QByteArray head = bytes.left(1024);
    if (head.startsWith("\xEF\xBB\xBF")) head = head.mid(3);
    head = head.trimmed();
    if (!head.startsWith("<?xml")) return {};
    const qsizetype end = head.indexOf("?>");
    const QString decl = QString::fromLatin1(end < 0 ? head : head.left(end));
    static const QRegularExpression encoding(
        QStringLiteral("encoding\\s*=\\s*([\"'])([^\"']*)\\1"));
    const QRegularExpressionMatch m = encoding.match(decl);
    if (!m.hasMatch()) return {};
    const QString name = m.captured(2).trimmed();
    const QString lower = name.toLower();
    if (lower == u"utf-8" || lower == u"utf8" || lower == u"us-ascii" || lower == u"ascii")
        return {};
    return QStringLiteral(
               "Файл объявлен в кодировке «%1», а файл Moodle XML читается только в UTF-8. "
               "Сохраните его в UTF-8 и повторите импорт.")
        .arg(name);
}

// The bytes of a "data:image/…;base64,…" address (null when it is not one).
QByteArray dataUrlBytes(const QString& src) {
    if (!src.startsWith(QStringLiteral("data:"), Qt::CaseInsensitive)) return {};
    const qsizetype comma = src.indexOf(u',');
    if (comma < 0 || !src.left(comma).endsWith(QStringLiteral(";base64"), Qt::CaseInsensitive))
        return {};
    QByteArray bytes = QByteArray::fromBase64(src.mid(comma + 1).toLatin1());
    if (bytes.isNull()) bytes = QByteArray("");
    return bytes;
}

class Reader {
  public:
    Reader(const QByteArray& bytes, ReadResult& out) : xml_(bytes), out_(out) {}

    void run() {
        if (!xml_.readNextStartElement()) {
            if (xml_.hasError())
                damaged();
            else
                refuse(out_, QStringLiteral("В файле нет ни одного элемента XML."));
            return;
        }
        if (xml_.name() != u"quiz") {
            refuse(out_,
                   QStringLiteral("Это не файл вопросов Moodle XML: его корневой элемент — "
                                  "«%1», а должен быть «quiz».")
                       .arg(xml_.name().toString()),
                   int(xml_.lineNumber()));
            return;
        }
        while (xml_.readNextStartElement()) {
            if (xml_.name() == u"question")
                question();
            else
                xml_.skipCurrentElement();
        }
        // Whatever follows the root element must be well-formed too.
        while (!xml_.atEnd() && !xml_.hasError()) xml_.readNext();
        if (xml_.hasError()) damaged();
    }

  private:
    void damaged() {
        QString detail = xml_.errorString();
        while (detail.endsWith(u'.')) detail.chop(1);
        refuse(out_,
               QStringLiteral("Файл Moodle XML повреждён (строка %1, столбец %2): %3. Ничего не "
                              "импортировано.")
                   .arg(xml_.lineNumber())
                   .arg(xml_.columnNumber())
                   .arg(detail),
               int(xml_.lineNumber()));
    }

    void problem(const Source& where, const QString& what) {
        out_.problems.push_back({where, what});
    }

    QString elementText() { return xml_.readElementText(QXmlStreamReader::IncludeChildElements); }

    // The <text> of the current element.
    QString textChild() {
        QString text;
        while (xml_.readNextStartElement()) {
            if (xml_.name() == u"text")
                text = elementText();
            else
                xml_.skipCurrentElement();
        }
        return text;
    }

    RichText richText() {
        RichText t;
        t.format = textFormatNamed(xml_.attributes().value(QLatin1String("format")).toString());
        while (xml_.readNextStartElement()) {
            if (xml_.name() == u"text") {
                t.text = elementText();
            } else if (xml_.name() == u"file") {
                const QXmlStreamAttributes a = xml_.attributes();
                Attachment f;
                f.name = a.value(QLatin1String("name")).toString();
                QString path = a.value(QLatin1String("path")).toString();
                if (!path.startsWith(u'/')) path.prepend(u'/');
                if (!path.endsWith(u'/')) path += u'/';
                f.key = path + f.name;
                const bool base64 =
                    a.value(QLatin1String("encoding")).compare(u"base64", Qt::CaseInsensitive) == 0;
                const QString content = elementText();
                if (base64) f.bytes = QByteArray::fromBase64(content.toLatin1());
                t.files.push_back(std::move(f));
            } else {
                xml_.skipCurrentElement();
            }
        }
        return t;
    }

    // The index of a picture in the result, one per distinct contents.
    int addPicture(const QString& name, const QByteArray& bytes) {
        if (auto it = byBytes_.constFind(bytes); it != byBytes_.constEnd()) return *it;
        const int index = int(out_.pictures.size());
        out_.pictures.push_back({name, bytes, true});
        byBytes_.insert(bytes, index);
        return index;
    }

    // The picture `src` refers to from a text with attachments `files`; -1 and `why` when the
    // file does not carry it.
    int picture(const QString& src, const RichText& text, QString& why) {
        if (src.startsWith(kPluginFile)) {
            QString ref = src.mid(kPluginFile.size());
            if (const qsizetype q = ref.indexOf(u'?'); q >= 0) ref.truncate(q);
            ref = QUrl::fromPercentEncoding(ref.toUtf8());
            if (!ref.startsWith(u'/')) ref.prepend(u'/');
            const Attachment* found = nullptr;
            for (const Attachment& f : text.files)
                if (f.key == ref) found = &f;
            const QString name = ref.mid(ref.lastIndexOf(u'/') + 1);
            if (!found)
                for (const Attachment& f : text.files)
                    if (f.name == name) found = &f;
            if (found) return addPicture(found->name, found->bytes);
            why = QStringLiteral("рисунок «%1» не вложен в файл").arg(name);
            return -1;
        }
        const QByteArray bytes = dataUrlBytes(src);
        if (!bytes.isNull()) return addPicture(QStringLiteral("image"), bytes);
        why = QStringLiteral("рисунок «%1» не вложен в файл").arg(src.left(80));
        return -1;
    }

    void question() {
        Source where{int(xml_.lineNumber()), QString()};
        const QString type = xml_.attributes().value(QLatin1String("type")).toString();
        RichText text;
        std::vector<AnswerElement> answers;
        QString single, category, image, imageBase64;
        while (xml_.readNextStartElement()) {
            const auto name = xml_.name();
            if (name == u"name") {
                where.name = textChild().trimmed();
            } else if (name == u"questiontext") {
                text = richText();
            } else if (name == u"answer") {
                AnswerElement a;
                a.fraction = xml_.attributes().value(QLatin1String("fraction")).toString();
                a.text = richText();
                answers.push_back(std::move(a));
            } else if (name == u"single") {
                single = elementText().trimmed().toLower();
            } else if (name == u"category") {
                category = textChild();
            } else if (name == u"image") {
                image = elementText().trimmed();
            } else if (name == u"image_base64") {
                imageBase64 = elementText();
            } else {
                xml_.skipCurrentElement();
            }
        }
        if (xml_.hasError()) return;

        if (type == u"category") {
            topic_ = topicFromCategory(category);
            return;
        }
        Question q;
        q.topic = topic_;
        q.where = where;
        if (type == u"multichoice") {
            if (single == u"false" || single == u"0")
                return problem(where, QStringLiteral("вопрос с выбором нескольких ответов"));
            int full = 0;
            for (const AnswerElement& a : answers) {
                const PlainText t = toPlainText(a.text.text, a.text.format);
                if (!t.images.isEmpty())
                    return problem(where,
                                   QStringLiteral("рисунок в ответе %1: в банке рисунок бывает "
                                                  "только у вопроса")
                                       .arg(q.answers.size() + 1));
                if (t.text.trimmed().isEmpty()) continue;
                q.answers.push_back(t.text);
                if (isFull(a.fraction)) {
                    ++full;
                    q.correct = int(q.answers.size());
                }
            }
            if (full > 1)
                return problem(
                    where,
                    QStringLiteral("верных ответов (с оценкой 100 %) несколько: %1").arg(full));
            if (full == 0) return problem(where, QStringLiteral("нет ответа с оценкой 100 %"));
        } else if (type == u"truefalse") {
            bool trueIsRight = false, found = false;
            for (const AnswerElement& a : answers)
                if (toPlainText(a.text.text, a.text.format).text.trimmed().toLower() == u"true") {
                    found = true;
                    trueIsRight = isFull(a.fraction);
                }
            if (!found)
                return problem(where,
                               QStringLiteral("у вопроса «верно/неверно» нет ответа «true»"));
            q.answers = {QStringLiteral("Верно"), QStringLiteral("Неверно")};
            q.correct = trueIsRight ? 1 : 2;
        } else {
            return problem(where, QStringLiteral("вопрос типа %1: в банке бывают только вопросы с "
                                                 "выбором одного ответа")
                                      .arg(typeName(type.isEmpty() ? QStringLiteral("?") : type)));
        }

        const PlainText t = toPlainText(text.text, text.format);
        q.text = t.text;
        // The count first: a text with thousands of pictures costs no look-ups.
        const bool oldImage = !image.isEmpty() || !imageBase64.trimmed().isEmpty();
        const qsizetype count = t.images.size() + (oldImage ? 1 : 0);
        if (count > 1)
            return problem(where, QStringLiteral("рисунков в вопросе %1, а у вопроса банка может "
                                                 "быть только один")
                                      .arg(count));
        if (!t.images.isEmpty()) {
            QString why;
            q.picture = picture(t.images.front(), text, why);
            if (q.picture < 0) return problem(where, why);
        } else if (oldImage) {
            const QString name =
                image.mid(std::max(image.lastIndexOf(u'/'), image.lastIndexOf(u'\\')) + 1);
            if (imageBase64.trimmed().isEmpty())
                return problem(where, QStringLiteral("рисунок «%1» не вложен в файл").arg(name));
            q.picture = addPicture(name.isEmpty() ? QStringLiteral("image") : name,
                                   QByteArray::fromBase64(imageBase64.toLatin1()));
        }
        out_.questions.push_back(std::move(q));
    }

    QXmlStreamReader xml_;
    ReadResult& out_;
    QString topic_;
    QHash<QByteArray, int> byBytes_;
};

// `s` with every character XML 1.0 cannot hold made "?"; `changed` tells whether there was one.
QString xmlSafe(const QString& s, bool& changed) {
    QString out = s;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        const char16_t u = c.unicode();
        bool bad =
            (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF;
        if (c.isHighSurrogate()) {
            if (i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            bad = true;
        } else if (c.isLowSurrogate()) {
            bad = true;
        }
        if (bad) {
            out[i] = u'?';
            changed = true;
        }
    }
    return out;
}

// A name for the question in the platform's list: its first line, shortened.
QString questionName(const Question& q, size_t index) {
    QString first = splitAllLines(q.text).value(0).simplified();
    if (first.size() > 60) first = first.left(57) + QStringLiteral("...");
    return first.isEmpty() ? QStringLiteral("Вопрос %1").arg(index + 1) : first;
}

}  // namespace

ReadResult readMoodleXml(const QByteArray& bytes, const Limits& limits) {
    ReadResult out;
    if (bytes.trimmed().isEmpty() || bytes == "\xEF\xBB\xBF") {
        refuse(out, QStringLiteral("Файл пуст."));
        return out;
    }
    if (const QString why = encodingRefusal(bytes); !why.isEmpty()) {
        refuse(out, why, 1);
        return out;
    }
    Reader(bytes, out).run();
    if (!out.refused) checkQuestions(out, limits);
    return out;
}

WriteResult writeMoodleXml(const QuestionSet& set) {
    WriteResult result;
    QXmlStreamWriter w(&result.bytes);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("quiz"));

    auto textElement = [&](const QString& name, const QString& text, bool cdata) {
        w.writeStartElement(name);
        if (cdata && !text.isEmpty())
            w.writeCDATA(text);
        else
            w.writeCharacters(text);
        w.writeEndElement();
    };
    auto emptyText = [&](const QString& element) {
        w.writeStartElement(element);
        w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
        textElement(QStringLiteral("text"), QString(), false);
        w.writeEndElement();
    };

    QString topic;
    for (size_t i = 0; i < set.questions.size(); ++i) {
        const Question& q = set.questions[i];
        if ((i == 0 && !q.topic.isEmpty()) || (i > 0 && q.topic != topic)) {
            bool changed = false;
            w.writeStartElement(QStringLiteral("question"));
            w.writeAttribute(QStringLiteral("type"), QStringLiteral("category"));
            w.writeStartElement(QStringLiteral("category"));
            textElement(QStringLiteral("text"), xmlSafe(categoryForTopic(q.topic), changed), false);
            w.writeEndElement();
            w.writeEndElement();
            if (changed)
                result.problems.push_back(
                    {q.where, QStringLiteral("в названии темы были символы, которых не может быть "
                                             "в XML: они записаны как «?»")});
        }
        topic = q.topic;

        bool changed = false;
        const Picture* picture = nullptr;
        if (q.picture >= 0 && size_t(q.picture) < set.pictures.size()) {
            picture = &set.pictures[size_t(q.picture)];
            if (picture->bytes.isEmpty()) {
                result.problems.push_back(
                    {q.where,
                     QStringLiteral("рисунок «%1» не записан: нет его файла").arg(picture->name)});
                picture = nullptr;
            }
        }
        QString fileName;
        if (picture) {
            fileName = picture->name.mid(
                std::max(picture->name.lastIndexOf(u'/'), picture->name.lastIndexOf(u'\\')) + 1);
            if (fileName.isEmpty()) fileName = QStringLiteral("image");
            fileName = xmlSafe(fileName, changed);
        }

        w.writeStartElement(QStringLiteral("question"));
        w.writeAttribute(QStringLiteral("type"), QStringLiteral("multichoice"));
        w.writeStartElement(QStringLiteral("name"));
        textElement(QStringLiteral("text"), xmlSafe(questionName(q, i), changed), false);
        w.writeEndElement();

        w.writeStartElement(QStringLiteral("questiontext"));
        w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
        QString html = QStringLiteral("<p>") + htmlFromPlain(xmlSafe(q.text, changed)) +
                       QStringLiteral("</p>");
        if (picture)
            html += QStringLiteral("<p><img src=\"%1/%2\" alt=\"\"></p>")
                        .arg(kPluginFile, QString::fromLatin1(QUrl::toPercentEncoding(fileName)));
        textElement(QStringLiteral("text"), html, true);
        if (picture) {
            w.writeStartElement(QStringLiteral("file"));
            w.writeAttribute(QStringLiteral("name"), fileName);
            w.writeAttribute(QStringLiteral("path"), QStringLiteral("/"));
            w.writeAttribute(QStringLiteral("encoding"), QStringLiteral("base64"));
            w.writeCharacters(QString::fromLatin1(picture->bytes.toBase64()));
            w.writeEndElement();
        }
        w.writeEndElement();
        emptyText(QStringLiteral("generalfeedback"));
        textElement(QStringLiteral("defaultgrade"), QStringLiteral("1.0000000"), false);
        textElement(QStringLiteral("penalty"), QStringLiteral("0.3333333"), false);
        textElement(QStringLiteral("hidden"), QStringLiteral("0"), false);
        textElement(QStringLiteral("single"), QStringLiteral("true"), false);
        textElement(QStringLiteral("shuffleanswers"), QStringLiteral("true"), false);
        textElement(QStringLiteral("answernumbering"), QStringLiteral("abc"), false);
        for (size_t a = 0; a < q.answers.size(); ++a) {
            w.writeStartElement(QStringLiteral("answer"));
            w.writeAttribute(QStringLiteral("fraction"),
                             int(a) + 1 == q.correct ? QStringLiteral("100") : QStringLiteral("0"));
            w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
            textElement(QStringLiteral("text"), htmlFromPlain(xmlSafe(q.answers[a], changed)),
                        true);
            emptyText(QStringLiteral("feedback"));
            w.writeEndElement();
        }
        w.writeEndElement();
        if (changed)
            result.problems.push_back({q.where, QStringLiteral("в тексте были символы, которых не "
                                                               "может быть в XML: они записаны "
                                                               "как «?»")});
    }
    w.writeEndElement();
    w.writeEndDocument();
    return result;
}

}  // namespace zn::formats
