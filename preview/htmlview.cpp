// Adapting pages to QTextBrowser's HTML subset at load time.
#include "preview/htmlview.h"

#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextDocument>

namespace zn {

namespace {

// Quotes every unquoted url(...) argument in one tag's text.
QString quoteUrls(const QString& tag) {
    static const QRegularExpression unquotedUrl(QStringLiteral(R"(url\(\s*([^'"\s)][^)]*?)\s*\))"),
                                                QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype from = 0;
    for (auto it = unquotedUrl.globalMatch(tag); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(tag).mid(from, m.capturedStart() - from);
        QString url = m.captured(1);
        url.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        out += QStringLiteral("url('") + url + QStringLiteral("')");
        from = m.capturedEnd();
    }
    out += QStringView(tag).mid(from);
    return out;
}

// Font size, as a CSS keyword, one step above heading level 1..6 in QTextBrowser
// (which draws h1 xx-large, h2 x-large, h3 large, h4 medium, h5 small, h6 x-small).
QString largerHeadingSize(int level) {
    static const char* const sizes[] = {"xx-large", "xx-large", "x-large",
                                        "large",    "medium",   "small"};
    return QString::fromLatin1(sizes[level - 1]);
}

}  // namespace

QString htmlForView(const QString& html) {
    // Tags only: the same letters in the page's text are text and stay as they are.
    static const QRegularExpression tagWithUrl(QStringLiteral(R"(<[^<>]*url\([^<>]*>)"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString out;
    out.reserve(html.size() + html.size() / 16);
    qsizetype from = 0;
    for (auto it = tagWithUrl.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(html).mid(from, m.capturedStart() - from);
        out += quoteUrls(m.captured(0));
        from = m.capturedEnd();
    }
    out += QStringView(html).mid(from);

    static const QRegularExpression bigHeading(QStringLiteral(R"(<big>(\s*)<h([1-6])>)"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString result;
    from = 0;
    for (auto it = bigHeading.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result += QStringView(out).mid(from, m.capturedStart() - from);
        const QString level = m.captured(2);
        result += QStringLiteral("<big>") + m.captured(1) + QStringLiteral("<h") + level +
                  QStringLiteral(" style=\"font-size: ") + largerHeadingSize(level.toInt()) +
                  QStringLiteral("\">");
        from = m.capturedEnd();
    }
    result += QStringView(out).mid(from);
    return result;
}

int HtmlView::pictureRoom() const {
    // The document's margins on both sides, and room for a table's cell padding and border.
    constexpr int kCellRoom = 2 * (8 + 2);
    const int scroll =
        verticalScrollBar()->isVisible() ? 0 : verticalScrollBar()->sizeHint().width();
    return viewport()->width() - scroll - int(2 * document()->documentMargin()) - kCellRoom;
}

QVariant HtmlView::loadResource(int type, const QUrl& name) {
    QVariant v = QTextBrowser::loadResource(type, name);
    if (type != QTextDocument::ImageResource || !v.isValid()) return v;
    QImage image;
    if (v.typeId() == QMetaType::QImage)
        image = v.value<QImage>();
    else if (v.typeId() == QMetaType::QPixmap)
        image = v.value<QPixmap>().toImage();
    else if (v.typeId() == QMetaType::QByteArray)
        image = QImage::fromData(v.toByteArray());
    const int room = pictureRoom();
    if (image.isNull() || room < 16 || image.width() <= room) return v;
    return image.scaledToWidth(room, Qt::SmoothTransformation);
}

}  // namespace zn
