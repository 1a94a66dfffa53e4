// Developer tool, not part of the product: creates the program's windows, fills them with
// sample content and saves each as a PNG, for checking the layout under a real X server.
// Usage: znshots OUTDIR
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTextBrowser>
#include <QTextStream>
#include <QTreeWidget>
#include <cstdio>

#include "imagelist.h"
#include "modal.h"
#include "taboutbox.h"
#include "tform1.h"
#include "tform9.h"
#include "znapplication.h"

namespace {

bool save(const QPixmap& pixmap, const QString& path) {
    if (!pixmap.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), pixmap.width(), pixmap.height());
    return true;
}

void settle() {
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
}

// A picture with a frame and a diagonal, so stretching and clipping are visible.
QPixmap samplePicture() {
    QPixmap pixmap(200, 120);
    pixmap.fill(QColor(200, 230, 255));
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::darkBlue, 3));
    p.drawRect(1, 1, 197, 117);
    p.drawLine(0, 0, 199, 119);
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("200 x 120"));
    return pixmap;
}

}  // namespace

int main(int argc, char** argv) {
    zn::ZnApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: znshots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) return 1;
    bool ok = true;

    zn::TForm1 form1;
    zn::TAboutBox aboutBox;
    zn::TForm9 form9;
    form1.setAboutBox(&aboutBox);
    form1.setPictureWindow(&form9);

    // Sample content so the tree, preview and status bar show their look.
    form1.setShowStep([&form1] {
        QTreeWidget* tree = form1.treeDb();
        for (int t = 1; t <= 3; ++t) {
            auto* topic = new QTreeWidgetItem(tree, {QStringLiteral("Тема %1").arg(t)});
            topic->setIcon(0, zn::ImageList::icon(0));
            for (int q = 1; q <= 3; ++q) {
                auto* item = new QTreeWidgetItem(topic, {QStringLiteral("%1_%2").arg(t).arg(q)});
                item->setIcon(0, zn::ImageList::icon(q == 1 && t == 1 ? 2 : 1));
            }
        }
        tree->expandItem(tree->topLevelItem(0));
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        form1.loadPreview(QStringLiteral(
            "<center><big><h3>Тема № 1. Тема 1</h3></big><h3>Вопрос № 1</h3>"
            "<table border=1 width=90%><tr><td>Текст вопроса, обычный шрифт. <tt>моноширинный "
            "Courier New</tt></td></tr></table><br><table border=1 width=90%><tr><td><b>Ответ "
            "1</b></td></tr></table></center>"));
        form1.setStatusText(QStringLiteral("Тема : 1  Вопрос : 1"));
        form1.progBar1()->setValue(40);
    });
    form1.show();
    settle();
    ok &= save(form1.grab(), out.filePath(QStringLiteral("main.png")));

    // The editor tab shown, and the preview focused so its focus border is visible.
    form1.setEditorTabVisible(true);
    form1.activateWindow();
    form1.hv()->setFocus();
    settle();
    ok &= save(form1.grab(), out.filePath(QStringLiteral("main-editor-tab.png")));
    form1.setEditorTabVisible(false);

    // The secondary windows are shown modelessly here so they can be grabbed.
    aboutBox.show();
    settle();
    ok &= save(aboutBox.grab(), out.filePath(QStringLiteral("about.png")));
    aboutBox.hide();

    zn::ScriptedModal modal;  // showPicture goes through the seam; show it by hand afterwards
    form9.showPicture(samplePicture());
    form9.show();
    settle();
    ok &= save(form9.grab(), out.filePath(QStringLiteral("picture.png")));
    form9.hide();

    form9.setFixedSize(zn::TForm9::kClientWidth, zn::TForm9::kClientHeight);
    form9.image1()->setGeometry(0, 0, 263, 170);
    form9.image1()->setPixmap(samplePicture());
    form9.show();
    settle();
    ok &= save(form9.grab(), out.filePath(QStringLiteral("picture-at-rest.png")));

    if (QScreen* screen = QGuiApplication::primaryScreen())
        ok &= save(screen->grabWindow(0), out.filePath(QStringLiteral("screen.png")));

    // The image list, enlarged, to check every icon at a glance.
    QPixmap sheet(27 * 20 + 4, 44);
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        for (int i = 0; i < zn::ImageList::kCount; ++i) {
            p.drawPixmap(2 + i * 20, 2, zn::ImageList::pixmap(i));
            p.drawText(QRect(i * 20, 22, 20, 20), Qt::AlignCenter, QString::number(i));
        }
    }
    ok &= save(sheet, out.filePath(QStringLiteral("imagelist.png")));
    return ok ? 0 : 1;
}
