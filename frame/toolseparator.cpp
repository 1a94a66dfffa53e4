// Fixed-width tool bar separator drawn with the style's separator primitive.
#include "frame/toolseparator.h"

#include <QPainter>
#include <QStyleOption>

namespace zn {

ToolSeparator::ToolSeparator(QWidget* parent) : QWidget(parent) {
    setFixedWidth(kWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void ToolSeparator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption opt;
    opt.initFrom(this);
    opt.state |= QStyle::State_Horizontal;  // a vertical line between horizontal buttons
    style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &opt, &painter, this);
}

}  // namespace zn
