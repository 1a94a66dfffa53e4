// Image list backed by the SVG files compiled into the images resource, or, in a build without
// Qt's SVG icon engine, by PNG files drawn from them on the build machine.
#include "frame/imagelist.h"

#include <QSize>
#include <QString>

#ifdef ZN_HAVE_IMAGES
// Q_INIT_RESOURCE must be used outside any namespace. The resource lives in a static library,
// so it has to be referenced explicitly or the linker drops it.
static void initImages() {
    Q_INIT_RESOURCE(images);
}
#else
static void initImages() {}
#endif
#ifdef ZN_PNG_IMAGES
static void initPngImages() {
    Q_INIT_RESOURCE(imagespng);
}
#endif

namespace zn {

namespace {

QString imageName(int index) {
    return QStringLiteral("img%1").arg(index, 2, 10, QLatin1Char('0'));
}

void ensureImages() {
#ifdef ZN_PNG_IMAGES
    static const bool done = (initImages(), initPngImages(), true);
#else
    static const bool done = (initImages(), true);
#endif
    (void)done;
}

// Built on demand rather than cached in a static: an icon engine from a plugin must not outlive
// the application object.
QIcon iconNamed(const QString& name) {
    ensureImages();
#ifdef ZN_PNG_IMAGES
    // The same picture drawn at the sizes the windows show it (tools/build-windows.sh).
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addFile(QStringLiteral(":/imagespng/%1/%2.png").arg(size).arg(name),
                     QSize(size, size));
    return icon;
#else
    return QIcon(QStringLiteral(":/images/%1.svg").arg(name));
#endif
}

}  // namespace

QIcon ImageList::icon(int index) {
    if (index < 0 || index >= kCount) return {};
    return iconNamed(imageName(index));
}

QPixmap ImageList::pixmap(int index, int size) {
    return icon(index).pixmap(size, size);
}

QIcon ImageList::appIcon() {
    return iconNamed(QStringLiteral("znatokar"));
}

}  // namespace zn
