// The printed pages as HTML, one document per section (the bank, or a variant) and one for the
// answer key: the header from the information records, a line for the student's name and
// class, the questions with their pictures and answers, and the key tables. Plain HTML and the
// CSS that QTextDocument reads; sizes are in CSS pixels (1/96 inch), which the text layout
// scales to the printer. No widgets.
//
// Each question and each topic heading starts with a named anchor (kQuestionMark,
// kHeadingMark) so that the renderer can find them and keep a question on one page.
#pragma once

#include <QString>

#include "print/paper.h"

namespace zn::print {

class Pictures;

inline constexpr const char16_t* kQuestionMark = u"zn-q";
inline constexpr const char16_t* kHeadingMark = u"zn-h";

// The page and its margins, in millimetres; the text area in CSS pixels.
struct PageGeometry {
    qreal widthMm = 210;  // A4
    qreal heightMm = 297;
    // Wide enough on the left to staple, below for the page number.
    qreal leftMm = 20, rightMm = 15, topMm = 15, bottomMm = 20;

    static qreal px(qreal mm) { return mm / 25.4 * 96; }
    qreal textWidth() const { return px(widthMm - leftMm - rightMm); }
    qreal textHeight() const { return px(heightMm - topMm - bottomMm); }
};

// The pages of one section: the header, then its questions. `pictures` null: no pictures (the
// paper was asked without them); otherwise a picture is scaled down to the text width and to
// half the text height at most, and a name `pictures` has no image for prints a framed
// "нет рисунка «name»" (or "рисунок «name» не читается").
QString sectionHtml(const Paper& paper, const Section& section, const Pictures* pictures,
                    const PageGeometry& page);

// The answer key: for each section (and in the bank, each topic) a table of question numbers
// and the number of the correct answer as printed; "?" where the bank names none.
QString keyHtml(const Paper& paper);

// A stored question or answer text as it is printed. The question page shows stored markup as
// markup, so the simple type tags (b, strong, i, em, u, s, strike, sub, sup, small, big, br) are
// kept, balanced and without attributes; p and div become line breaks; other tags are dropped,
// so a stray </table> or an unclosed tag cannot break the page around it. A "<" that opens no
// tag and "&" that starts no character reference are printed as they are; line breaks are
// kept. Leading and trailing white space is dropped.
QString textHtml(const QString& stored);

// Plain text as HTML: escaped, line breaks kept.
QString plainHtml(const QString& text);

}  // namespace zn::print
