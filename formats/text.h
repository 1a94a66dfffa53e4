// Texts of learning-platform files turned into the bank's plain text and back: HTML, Markdown
// and the platform's automatic format to plain text with line breaks (pictures collected, not
// shown), plain text to HTML that reads back the same, and category paths to topic names.
#pragma once

#include <QString>
#include <QStringList>

namespace zn::formats {

enum class TextFormat { Html, Plain, Markdown, MoodleAuto };

// The format a Moodle XML `format` attribute or a GIFT "[...]" marker names: "html",
// "plain_text" or "plain", "markdown", "moodle_auto_format" or "moodle". Anything else (and an
// empty name) is the automatic format, as the platform treats it.
TextFormat textFormatNamed(const QString& name);

struct PlainText {
    QString text;        // lines joined by CR LF
    QStringList images;  // the src of every picture the text shows, in order (entities decoded)
};

// `source` in `format` as plain text:
//  - Html: tags dropped; runs of blanks, tabs and line ends are one blank, none at the start or
//    end of a line; <br> breaks a line, and block elements (p, div, li, tr, h1 …) start on a
//    line of their own; the contents of script, style, head and title are dropped; <pre> keeps
//    its blanks and line ends; character references are decoded (&nbsp; is a blank that is
//    kept). "<" not followed by a letter, "/", "!" or "?" is text. Line breaks at the start
//    and end of the whole text are dropped.
//  - MoodleAuto: as Html, but every line end of the source breaks the line.
//  - Markdown: the lines as written, without heading marks, strong/emphasis markers made of
//    "**" and "__", inline code marks and backslash escapes; [text](url) is its text, and
//    ![alt](src) a picture.
//  - Plain: the text as it is.
// Every format's line breaks come out as CR LF.
PlainText toPlainText(const QString& source, TextFormat format);

// HTML that toPlainText(…, Html) reads back as `text` exactly, up to line breaks at its start
// and end (which that drops) and CR LF for every line break: markup characters are escaped, a
// blank that HTML would fold (at a line's start or end, or after another blank) is &nbsp;, a
// tab is &#9; and every line break is <br>.
QString htmlFromPlain(const QString& text);

// The topic a category path names: the last level of the path, with "//" read as a "/" inside
// a name. A context such as "$course$" at the start and the "top" level right after it are
// not levels. Line breaks in the name become blanks and blanks around it are dropped; a path
// with no level gives "".
QString topicFromCategory(const QString& path);
// The category path the export writes for `topic`: "$course$/top/" and the name with every
// "/" doubled.
QString categoryForTopic(const QString& topic);

// The lines of `text`, split at CR LF, a lone CR and a lone LF, without the empty line after a
// final line end. Unlike the exchange file's reader, lines are not cut.
QStringList splitAllLines(const QString& text);

}  // namespace zn::formats
