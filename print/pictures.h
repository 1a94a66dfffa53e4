// The pictures of a printout. Each file is looked at once before the layout (is it there, does
// a decoder know it, how large is it) and decoded only when a page that shows it is drawn. The
// decoded image is kept until the page of its last use is done and then dropped, so a bank of
// hundreds of photographs is never held in memory at once. Every question that shows a picture
// draws that same image object, so the PDF writer, which keys its images by the image's cache
// key, stores each picture once however often it is printed.
#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTextObjectInterface>
#include <vector>

namespace zn::print {

struct Picture {
    QString url;              // the document resource it is drawn from ("zn-picture:3")
    QString path;             // its file
    QSize size;               // as printed at most, in pixels (a larger picture is scaled down)
    bool missing = false;     // no such file in the data folder
    bool unreadable = false;  // no decoder reads the file
    bool shown() const { return !missing && !unreadable; }
};

class Pictures {
  public:
    // Pictures larger than this on either side are scaled down when decoded: far more pixels
    // than the printed size uses would only make the PDF large.
    static constexpr int kMaxSide = 2000;

    Pictures() = default;

    // Looks at each picture `names` names in `dataFolder` (a folder ending with the separator),
    // finding the file as the question page does (dataFilePath: letter case ignored). Names
    // that stand for the same file share one picture. Reads the files' headers only.
    static Pictures load(const QStringList& names, const QString& dataFolder);

    // The picture of a name given to load(); null for any other name.
    const Picture* find(const QString& name) const;
    // Names with no file in the data folder, and names whose file no decoder reads, each once,
    // in the order given to load(); a file that fails only when decoded is added when it does.
    const QStringList& missing() const { return missing_; }
    QStringList unreadable() const;

    // The decoded image of the picture at `url`, decoded now when it is not held; a grey
    // rectangle of its size when the file no longer decodes. Null for an unknown url.
    QImage image(const QString& url) const;
    // Drops the decoded image of `url` (the next image() decodes it again, as a new image).
    void release(const QString& url) const;
    // How many images are decoded and held now.
    int held() const { return int(held_.size()); }

  private:
    std::vector<Picture> pictures_;
    QHash<QString, size_t> byName_, byUrl_;
    QStringList missing_, unreadable_;
    std::vector<QString> names_;  // the first name of each picture
    mutable QHash<QString, QImage> held_;
    mutable QStringList failed_;  // names whose file failed when decoded
};

// Draws the images of a text document from `pictures` (which must outlive it), in place of the
// text layout's own image handler: the size is the one the HTML gives (CSS pixels), so laying
// out decodes nothing, and an image is decoded only when a page that shows it is drawn. One
// per document; install() makes the document its owner.
class PictureHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

  public:
    static void install(QTextDocument& doc, const Pictures& pictures);

    QSizeF intrinsicSize(QTextDocument* doc, int posInDocument, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int posInDocument,
                    const QTextFormat& format) override;

  private:
    PictureHandler(const Pictures& pictures, QObject* parent)
        : QObject(parent), pictures_(pictures) {}
    const Pictures& pictures_;
};

}  // namespace zn::print
