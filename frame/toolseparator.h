// An 8-pixel-wide separator for the tool bars; Qt's own separator width depends on the style.
#pragma once

#include <QWidget>

namespace zn {

class ToolSeparator : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolSeparator)

  public:
    static constexpr int kWidth = 8;
    explicit ToolSeparator(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace zn
