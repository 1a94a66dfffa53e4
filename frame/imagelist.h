// The main window's image list: 29 images of 16 x 16 pixels, addressed by index. Indexes with
// a role: 0 topic node, 1 question node, 2 selected question node and the editor page, 3 exit,
// 4 about, 14 open database, 15 compact, 16 test information records, 17 import, 18 export,
// 19 preview page, 20 add topic, 21 edit topic, 22 delete topic, 23 add question,
// 24 edit question, 25 delete question, 26 delete all data, 27 undo, 28 redo.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace zn {

class ImageList {
  public:
    static constexpr int kCount = 29;
    static constexpr int kSize = 16;

    // The icon at `index` (0..kCount-1); a null icon for an index outside the list.
    static QIcon icon(int index);
    // The image at `index` rendered at `size` x `size` pixels.
    static QPixmap pixmap(int index, int size = kSize);
    // The program's icon.
    static QIcon appIcon();
};

}  // namespace zn
