// Image list backed by the SVG files compiled into the images resource.
#include "frame/imagelist.h"

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

namespace zn {

namespace {

QString imagePath(int index) {
    return QStringLiteral(":/images/img%1.svg").arg(index, 2, 10, QLatin1Char('0'));
}

void ensureImages() {
    static const bool done = (initImages(), true);
    (void)done;
}

}  // namespace

QIcon ImageList::icon(int index) {
    if (index < 0 || index >= kCount) return {};
    ensureImages();
    // Built on demand rather than cached in a static: an icon engine from a plugin must not
    // outlive the application object.
    return QIcon(imagePath(index));
}

QPixmap ImageList::pixmap(int index, int size) {
    return icon(index).pixmap(size, size);
}

QIcon ImageList::appIcon() {
    ensureImages();
    return QIcon(QStringLiteral(":/images/znatokar.svg"));
}

}  // namespace zn
