// Laying out and drawing the pages of a printout (see render.h).
#include "print/render.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "print/pictures.h"

namespace zn::print {

namespace {

QFont paperFont(qreal points) {
    QFont f(QStringLiteral("Times New Roman"));
    f.setStyleHint(QFont::Serif);
    f.setPointSizeF(points);
    return f;
}

// Whether `block` starts with the anchor `mark`.
bool startsWithMark(const QTextBlock& block, const QString& mark) {
    const QTextBlock::iterator it = block.begin();
    return !it.atEnd() && it.fragment().charFormat().anchorNames().contains(mark);
}

// A place where a page may start: the top of a line outside tables.
struct Line {
    qreal top;
    int block;  // its paragraph, when it is not the paragraph's first line; else -1
};

// The lines of `block` in document coordinates, appended to `lines`.
void linesOf(const QAbstractTextDocumentLayout& layout, const QTextBlock& block,
             std::vector<Line>& lines) {
    const qreal base = layout.blockBoundingRect(block).top();  // lays the block out
    const QTextLayout* text = block.layout();
    for (int i = 0; i < text->lineCount(); ++i)
        lines.push_back({base + text->lineAt(i).y(), i == 0 ? -1 : block.blockNumber()});
}

// The parts kept on one page where they fit: the header, each question, and a topic heading
// together with the question after it. Each part runs from the top of its first line to the
// top of the next part; `lines` are its lines outside tables, where it may be cut when it does
// not fit on a page.
struct Unit {
    qreal top = 0;
    std::vector<Line> lines;
};

// Where each image of `block` is drawn (the top of its line), appended to `images`.
void imagesOf(const QAbstractTextDocumentLayout& layout, const QTextBlock& block,
              std::vector<LaidOut::Image>& images) {
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (!f.charFormat().isImageFormat()) continue;
        const qreal base = layout.blockBoundingRect(block).top();  // lays the block out
        const QTextLine line = block.layout()->lineForTextPosition(f.position() - block.position());
        const qreal y = base + (line.isValid() ? line.y() : 0);
        images.push_back({y, f.charFormat().toImageFormat().name()});
    }
}

std::vector<Unit> unitsOf(const QTextDocument& doc) {
    const QString question = QString::fromUtf16(kQuestionMark);
    const QString heading = QString::fromUtf16(kHeadingMark);
    const QAbstractTextDocumentLayout& layout = *doc.documentLayout();
    std::vector<Unit> units(1);  // the header
    bool afterHeading = false;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        bool starts = false;
        if (startsWithMark(b, heading)) {
            starts = true;
            afterHeading = true;
        } else if (startsWithMark(b, question)) {
            starts = !afterHeading;
            afterHeading = false;
        }
        if (starts) units.emplace_back();
        // Lines inside a table (a missing picture's frame, a row of the key) are no place to
        // cut: the cells beside them have lines of their own.
        if (QTextCursor(b).currentFrame() != doc.rootFrame()) continue;
        const size_t from = units.back().lines.size();
        linesOf(layout, b, units.back().lines);
        if (starts && units.back().lines.size() > from)
            units.back().top = units.back().lines[from].top;
    }
    auto byTop = [](const Line& a, const Line& b) { return a.top < b.top; };
    for (Unit& u : units) std::sort(u.lines.begin(), u.lines.end(), byTop);
    if (!units[0].lines.empty()) units[0].top = units[0].lines.front().top;
    return units;
}

}  // namespace

std::vector<PageStart> pageStarts(const QTextDocument& doc, qreal bodyHeight) {
    const std::vector<Unit> units = unitsOf(doc);
    const qreal end = doc.documentLayout()->documentSize().height();
    std::vector<PageStart> pages{{units[0].top, -1}};
    for (size_t i = 0; i < units.size(); ++i) {
        const Unit& u = units[i];
        const qreal bottom = i + 1 < units.size() ? units[i + 1].top : end;
        if (bottom - pages.back().top <= bodyHeight) continue;
        // It does not fit on what is left of the page: on a page of its own when it fits there.
        if (u.top > pages.back().top && bottom - u.top <= bodyHeight) {
            pages.push_back({u.top, -1});
            continue;
        }
        // Taller than a page: it goes on where it is and is cut between lines.
        while (bottom - pages.back().top > bodyHeight) {
            const qreal limit = pages.back().top + bodyHeight;
            auto after = std::upper_bound(u.lines.begin(), u.lines.end(), limit,
                                          [](qreal y, const Line& l) { return y < l.top; });
            if (after != u.lines.begin() && (after - 1)->top > pages.back().top)
                pages.push_back({(after - 1)->top, (after - 1)->block});
            else
                pages.push_back({limit, -1});  // a line taller than a page: cut where it ends
        }
    }
    return pages;
}

void drawPage(QPainter& painter, const LaidOut& laidOut, size_t index) {
    // How far the layout's clip keeps from the page's edges; far less than a line's height.
    constexpr qreal kSlack = 3;
    const QTextDocument& doc = *laidOut.doc;
    QAbstractTextDocumentLayout& layout = *doc.documentLayout();
    const qreal top = laidOut.pages[index].top, bottom = laidOut.bottomOf(index);
    const qreal width = doc.textWidth();
    painter.save();
    painter.translate(0, -top);
    painter.setClipRect(QRectF(-width, top, 3 * width, bottom - top));
    painter.setPen(Qt::black);
    // The layout draws every line that reaches into its clip, with some slack, and in a
    // paragraph also the line above the first one in its clip; a line that belongs to the page
    // before or after, drawn clipped here, would still be in this page's text. The clip it gets
    // keeps clear of both pages' lines, and a paragraph this page starts inside of is drawn
    // here line by line.
    qreal from = top;
    if (const int split = laidOut.pages[index].splitBlock; split >= 0) {
        const QTextBlock block = doc.findBlockByNumber(split);
        const QTextLayout* lines = block.layout();
        const QPointF at = lines->position();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const qreal y = at.y() + line.y();
            if (y < top - 0.5) continue;
            if (y >= bottom - 0.5) break;
            line.draw(&painter, at);
            from = y + line.height();
        }
    }
    // An empty clip would not be one: the layout would draw the whole document.
    if (bottom - from > 2 * kSlack) {
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(-width, from + kSlack, 3 * width, bottom - from - 2 * kSlack);
        context.palette.setColor(QPalette::Text, Qt::black);
        layout.draw(&painter, context);
    }
    painter.restore();
}

namespace {

void drawFooter(QPainter& painter, const PageGeometry& page, qreal dpiX, qreal dpiY,
                const QString& text) {
    const qreal mmX = dpiX / 25.4, mmY = dpiY / 25.4;
    const QRectF area(page.leftMm * mmX, (page.heightMm - page.bottomMm + 8) * mmY,
                      (page.widthMm - page.leftMm - page.rightMm) * mmX, 6 * mmY);
    painter.setFont(paperFont(9));
    painter.setPen(Qt::black);
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop, text);
}

}  // namespace

PageGeometry geometryOf(const QPaintDevice& device) {
    PageGeometry g;
    g.widthMm = device.width() * 25.4 / device.logicalDpiX();
    g.heightMm = device.height() * 25.4 / device.logicalDpiY();
    return g;
}

LaidOut layOut(const QString& html, const Pictures& pictures, const PageGeometry& page) {
    // The layout measures fonts on a device of 96 dots per inch, where a CSS pixel is a dot:
    // every length of the HTML (margins, indents, picture sizes) then means the same on paper
    // on any printer and any screen, and the pages break the same everywhere. Design metrics
    // keep the glyph advances free of hinting at that small resolution.
    static QImage cssPixels = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(3780);
        return image;
    }();
    LaidOut out;
    out.doc = std::make_unique<QTextDocument>();
    QTextDocument& doc = *out.doc;
    PictureHandler::install(doc, pictures);
    doc.documentLayout()->setPaintDevice(&cssPixels);
    doc.setUseDesignMetrics(true);
    doc.setDocumentMargin(0);
    doc.setDefaultFont(paperFont(11));
    doc.setHtml(html);
    // One long page as wide as the text; the pages are cut from it here rather than by the
    // text layout, which can split a question anywhere.
    doc.setTextWidth(page.textWidth());
    doc.documentLayout()->documentSize();  // the whole layout now, not as parts are asked for
    out.pages = pageStarts(doc, page.textHeight());
    out.end = doc.documentLayout()->documentSize().height();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        imagesOf(*doc.documentLayout(), b, out.images);
    return out;
}

int render(const Paper& paper, const Pictures& pictures, QPagedPaintDevice& device, int fromPage,
           int toPage) {
    const PageGeometry page = geometryOf(device);
    struct Part {
        LaidOut pages;
        QString footer;
    };
    std::vector<Part> parts;
    const Pictures* shown = paper.pictures ? &pictures : nullptr;
    for (const Section& s : paper.sections)
        parts.push_back({layOut(sectionHtml(paper, s, shown, page), pictures, page), s.footer});
    if (paper.key)
        parts.push_back({layOut(keyHtml(paper), pictures, page), QStringLiteral("Ключ ответов")});

    // The last page that draws each picture: its image is dropped when that page is done.
    QHash<QString, std::pair<size_t, qreal>> lastUse;  // url -> part, place on its long page
    for (size_t k = 0; k < parts.size(); ++k)
        for (const LaidOut::Image& image : parts[k].pages.images)
            lastUse.insert(image.url, {k, image.y});

    QPainter painter;
    if (!painter.begin(&device))
        throw std::runtime_error("Не удалось начать печать: устройство не принимает страницы.");
    const qreal dpiX = device.logicalDpiX(), dpiY = device.logicalDpiY();
    int printed = 0, number = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
        const LaidOut& p = parts[k].pages;
        const int count = p.pageCount();
        size_t nextImage = 0;
        for (int i = 0; i < count; ++i) {
            ++number;
            if ((fromPage > 0 && number < fromPage) || (toPage > 0 && number > toPage)) continue;
            if (printed++ > 0 && !device.newPage())
                throw std::runtime_error("Не удалось начать новую страницу печати.");
            painter.save();
            painter.scale(dpiX / 96, dpiY / 96);
            painter.translate(PageGeometry::px(page.leftMm), PageGeometry::px(page.topMm));
            drawPage(painter, p, size_t(i));
            painter.restore();
            const QString pageText = QStringLiteral("стр. %1 из %2").arg(i + 1).arg(count);
            const QString& footer = parts[k].footer;
            drawFooter(painter, page, dpiX, dpiY,
                       footer.isEmpty() ? pageText : footer + QStringLiteral(" — ") + pageText);
            const qreal bottom = p.bottomOf(size_t(i));
            for (; nextImage < p.images.size() && p.images[nextImage].y < bottom; ++nextImage) {
                const LaidOut::Image& image = p.images[nextImage];
                if (lastUse.value(image.url) == std::pair(k, image.y)) pictures.release(image.url);
            }
        }
    }
    painter.end();
    return number;
}

int writePdf(const Paper& paper, const Pictures& pictures, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(QStringLiteral("Не удалось создать файл «%1»: %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString())
                                     .toStdString());
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setResolution(600);
        writer.setTitle(paper.testName);
        writer.setCreator(QStringLiteral("Знатокар"));
        pages = render(paper, pictures, writer);
    }
    if (!file.commit())
        throw std::runtime_error(QStringLiteral("Не удалось записать файл «%1»: %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString())
                                     .toStdString());
    return pages;
}

QString printNotes(const Paper& paper, const Pictures& pictures, const QString& dataFolder) {
    auto quoted = [](const QStringList& names) {
        QStringList q;
        for (const QString& n : names) q << QStringLiteral("«%1»").arg(n);
        return q.join(QStringLiteral(", "));
    };
    QStringList lines;
    if (paper.pictures && !pictures.missing().isEmpty())
        lines << QStringLiteral("Нет в папке данных %1 рисунков: %2.")
                     .arg(QDir::toNativeSeparators(dataFolder), quoted(pictures.missing()));
    if (paper.pictures && !pictures.unreadable().isEmpty())
        lines << QStringLiteral("Не читаются рисунки: %1.").arg(quoted(pictures.unreadable()));
    if (paper.key) {
        const QStringList none = paper.withoutCorrect();
        if (!none.isEmpty())
            lines << QStringLiteral("В базе не указан правильный ответ (в ключе стоит «?»): %1.")
                         .arg(none.join(QStringLiteral("; ")));
    }
    return lines.join(u'\n');
}

}  // namespace zn::print
