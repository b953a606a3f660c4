// The frozen-frame veil of the live-view picture box.
//
// Threading: UI thread only.
#include "FrozenFrameMark.h"

#include <QPainter>

namespace controls {

FrozenFrameMark::FrozenFrameMark(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frozenFrameMark"));
    // Clicks go to the box as before: the veil only shows.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FrozenFrameMark::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128, 190));
    QFont font = painter.font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.5);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Not live"));
}

} // namespace controls
