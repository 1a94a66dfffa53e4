// The pictures of a printout (see pictures.h).
#include "print/pictures.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTextFormat>

#include "preview/datafiles.h"

namespace zn::print {

namespace {

QSize limited(QSize size) {
    if (size.width() > Pictures::kMaxSide || size.height() > Pictures::kMaxSide)
        size.scale(Pictures::kMaxSide, Pictures::kMaxSide, Qt::KeepAspectRatio);
    return size.expandedTo(QSize(1, 1));
}

}  // namespace

Pictures Pictures::load(const QStringList& names, const QString& dataFolder) {
    Pictures set;
    QHash<QString, size_t> byPath;
    for (const QString& name : names) {
        if (set.byName_.contains(name)) continue;
        const QString path = QFileInfo(dataFilePath(dataFolder, name)).absoluteFilePath();
        if (const auto at = byPath.constFind(path); at != byPath.constEnd()) {
            set.byName_.insert(name, *at);
            const Picture& p = set.pictures_[*at];
            if (p.missing) set.missing_ << name;
            if (p.unreadable) set.unreadable_ << name;
            continue;
        }
        Picture p;
        p.url = QStringLiteral("zn-picture:%1").arg(set.pictures_.size());
        p.path = path;
        if (!QFileInfo(path).isFile()) {
            p.missing = true;
            set.missing_ << name;
        } else {
            QImageReader reader(path);
            reader.setAutoTransform(true);
            QSize size = reader.canRead() ? reader.size() : QSize();
            if (size.isValid() &&
                (reader.transformation() & QImageIOHandler::TransformationRotate90))
                size.transpose();
            if (!size.isValid() && reader.canRead()) size = reader.read().size();  // no header size
            if (size.isValid() && !size.isEmpty())
                p.size = limited(size);
            else {
                p.unreadable = true;
                set.unreadable_ << name;
            }
        }
        byPath.insert(path, set.pictures_.size());
        set.byName_.insert(name, set.pictures_.size());
        set.byUrl_.insert(p.url, set.pictures_.size());
        set.names_.push_back(name);
        set.pictures_.push_back(std::move(p));
    }
    return set;
}

const Picture* Pictures::find(const QString& name) const {
    const auto at = byName_.constFind(name);
    return at == byName_.constEnd() ? nullptr : &pictures_[*at];
}

QStringList Pictures::unreadable() const {
    return unreadable_ + failed_;
}

QImage Pictures::image(const QString& url) const {
    if (const auto held = held_.constFind(url); held != held_.constEnd()) return *held;
    const auto at = byUrl_.constFind(url);
    if (at == byUrl_.constEnd() || !pictures_[*at].shown()) return {};
    const Picture& p = pictures_[*at];
    QImageReader reader(p.path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        // Its header read well before; the rest of the file did not.
        if (!failed_.contains(names_[*at])) failed_ << names_[*at];
        image = QImage(p.size, QImage::Format_RGB32);
        image.fill(QColor(210, 210, 210));
    } else {
        if (image.size() != p.size)
            image = image.scaled(p.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Deep colour (16 bits a channel) prints no better and takes twice the memory.
        if (image.depth() > 32)
            image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                  : QImage::Format_RGB32);
    }
    held_.insert(url, image);
    return image;
}

void Pictures::release(const QString& url) const {
    held_.remove(url);
}

void PictureHandler::install(QTextDocument& doc, const Pictures& pictures) {
    doc.documentLayout()->registerHandler(QTextFormat::ImageObject,
                                          new PictureHandler(pictures, &doc));
}

QSizeF PictureHandler::intrinsicSize(QTextDocument*, int, const QTextFormat& format) {
    const QTextImageFormat image = format.toImageFormat();
    return {image.width(), image.height()};
}

void PictureHandler::drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                                const QTextFormat& format) {
    // A page is cut just above a picture's line; the page before may still reach the picture's
    // edge by a rounding. It is not drawn there, so it goes into the PDF with the page that
    // shows it.
    if (painter->hasClipping()) {
        const QRectF visible = painter->clipBoundingRect().intersected(rect);
        if (visible.height() < 2 || visible.width() < 2) return;
    }
    const QImage image = pictures_.image(format.toImageFormat().name());
    if (!image.isNull()) painter->drawImage(rect, image);
}

}  // namespace zn::print
