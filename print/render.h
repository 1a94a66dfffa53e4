// Putting a paper on pages: the HTML of each section and of the key laid out as a QTextDocument
// for the printer's page, questions kept whole on a page where they fit, and the pages drawn on
// a QPdfWriter or a QPrinter with the page number in the footer. Each section (the bank, or one
// variant) and the key start on a new page and number their pages from 1. No widgets.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "print/pagehtml.h"
#include "print/paper.h"

class QPagedPaintDevice;
class QPainter;
class QPaintDevice;
class QTextDocument;

namespace zn::print {

class Pictures;

// The page geometry of a device: its paint area taken as the whole page (a QPrinter should be
// set to full-page), with the margins of PageGeometry.
PageGeometry geometryOf(const QPaintDevice& device);

// Where a printed page starts on the long page: `top`, and when that is inside a paragraph
// (a question longer than a page), the paragraph's block number.
struct PageStart {
    qreal top = 0;
    int splitBlock = -1;
};

// A section or the key laid out for printing: one long page as wide as the text, in CSS pixels
// (96 to the inch) whatever it is drawn on, and where each printed page starts on it.
struct LaidOut {
    std::unique_ptr<QTextDocument> doc;
    std::vector<PageStart> pages;  // page i shows [pages[i].top, pages[i + 1].top) or to `end`
    qreal end = 0;
    // Every picture drawn, in the order of the long page.
    struct Image {
        qreal y;  // the top of its line
        QString url;
    };
    std::vector<Image> images;
    int pageCount() const { return int(pages.size()); }
    qreal bottomOf(size_t page) const {
        return page + 1 < pages.size() ? pages[page + 1].top : end;
    }
};

// Lays `html` out for pages of `page`, with `pictures` as the document's images; `pictures`
// must outlive the result.
LaidOut layOut(const QString& html, const Pictures& pictures, const PageGeometry& page);

// Where the pages of `doc` (laid out as layOut does, on one long page) start, for a text area
// `bodyHeight` high: a question, with its topic's heading when it is the topic's first, that
// does not fit on what is left of a page starts the next page when it fits on one; one taller
// than a page goes on where it is and is cut between two of its lines. Always at least one
// page.
std::vector<PageStart> pageStarts(const QTextDocument& doc, qreal bodyHeight);

// Draws page `index` of `laidOut` with `painter`, whose coordinates are CSS pixels with the
// page's text area at (0, 0).
void drawPage(QPainter& painter, const LaidOut& laidOut, size_t index);

// Draws `paper` on `device`, which must not be painted on yet: every section, then the key when
// the paper asks for one. Each picture's image is decoded when first drawn and released after
// the page of its last use. Pages outside [fromPage, toPage] (counted over the whole printout,
// from 1; 0 for either: no limit) are left out. Returns the number of pages of the printout.
// Throws std::runtime_error (message in Russian) when the device cannot be painted on.
int render(const Paper& paper, const Pictures& pictures, QPagedPaintDevice& device,
           int fromPage = 0, int toPage = 0);

// Writes `paper` to the PDF file `path` on A4 pages, replacing the file only when the whole
// PDF is written. Returns the number of pages. Throws std::runtime_error (message in Russian)
// when it cannot be written.
int writePdf(const Paper& paper, const Pictures& pictures, const QString& path);

// What to tell after printing, empty when nothing: the pictures missing from `dataFolder` and
// those no decoder reads, each once, and, when the paper has a key, the questions whose
// correct answer the bank does not name.
QString printNotes(const Paper& paper, const Pictures& pictures, const QString& dataFolder);

}  // namespace zn::print
