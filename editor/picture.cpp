// Question pictures and the data folder's correction.
#include "editor/picture.h"

#include <QFile>
#include <QImageReader>

#include "preview/datafiles.h"

namespace zn {

namespace {

// The decoder (Qt image format) for an extension without its dot, in lower case.
QByteArray decoderFor(const QString& extension) {
    if (extension == u"bmp") return "bmp";
    if (extension == u"png") return "png";
    if (extension == u"jpg" || extension == u"jpeg") return "jpeg";
    if (extension == u"gif") return "gif";
    return {};
}

// The extension of the file name at the end of `path`, without its dot: what follows the last
// "." of the name, empty when the name has none.
QString extensionOf(const QString& path) {
    const QString name = fileNameOfPath(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

[[noreturn]] void fail(const QString& message) {
    throw PictureError(message.toStdString());
}

}  // namespace

QString pictureFilePath(const QString& dataFolder, const QString& name) {
    return dataFilePath(dataFolder, name);
}

QImage loadPicture(const QString& path) {
    const QString extension = extensionOf(path);
    const QByteArray format = decoderFor(extension.toLower());
    if (format.isEmpty())
        fail(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    // The extension decides the decoder: the contents are not sniffed for another format.
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull())
        fail(QStringLiteral("The picture file \"%1\" cannot be read as %2: %3")
                 .arg(path, QString::fromLatin1(format).toUpper(), reader.errorString()));
    return image;
}

QString fileNameOfPath(const QString& path, QChar separator) {
    const qsizetype at = path.lastIndexOf(separator);
    return at < 0 ? path : path.mid(at + 1);
}

QString ReplaceSub(const QString& source, const QString& oldPart, const QString& newPart) {
    if (oldPart.isEmpty()) return source;
    QString result;
    qsizetype rest = 0;
    for (qsizetype at; (at = source.indexOf(oldPart, rest, Qt::CaseSensitive)) >= 0;) {
        result += QStringView(source).mid(rest, at - rest);
        result += newPart;
        rest = at + oldPart.size();
    }
    result += QStringView(source).mid(rest);
    return result;
}

void ProvPath(QString& dataFolder) {
    const QString doubled = QStringLiteral("data/data/");
    if (dataFolder.contains(doubled, Qt::CaseSensitive))
        dataFolder = ReplaceSub(dataFolder, doubled, QStringLiteral("data/"));
}

}  // namespace zn
