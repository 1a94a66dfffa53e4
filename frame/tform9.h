// The picture window TForm9: shows one picture at its own size, modally.
#pragma once

#include <QDialog>
#include <QSize>

class QLabel;
class QPixmap;

namespace zn {

class TForm9 : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm9)

  public:
    static constexpr int kClientWidth = 264;
    static constexpr int kClientHeight = 238;
    // The window's outer size is the picture's size plus these.
    static constexpr int kExtraWidth = 7;
    static constexpr int kExtraHeight = 33;

    explicit TForm9(QWidget* parent = nullptr);
    ~TForm9() override;

    QLabel* image1() const { return image1_; }

    // Loads `picture` into Image1 at the picture's own size, sizes the window to it and shows
    // the window modally through the modal seam. Returns the dialog's result.
    // The size the picture is shown at in a window that must fit into `room` (the screen's
    // free area) with its frame: its own size when that fits, else scaled down keeping its
    // proportions.
    static QSize shownSize(const QSize& picture, const QSize& room);
    int showPicture(const QPixmap& picture);

  protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void applyOuterSize();

    QLabel* image1_ = nullptr;
    QSize outer_;              // wanted outer size; empty until a picture is shown
    bool outerFitted_ = true;  // the frame was known when the size was set
};

}  // namespace zn
