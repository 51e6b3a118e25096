#include "platform/controls/ElidedLabel.h"

#include <QPainter>

namespace orvela {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

QSize ElidedLabel::sizeHint() const
{
    return minimumSizeHint();
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {margins.left() + margins.right(), fontMetrics().height() + margins.top() + margins.bottom()};
}

QString VisiblePart(const QString& text, int pixels)
{
    // One character more than fits, so that what is cut still shows as cut.
    return text.left(std::max(pixels, 0) + 1);
}

QString ElidedLabel::ShownText() const
{
    const int width = contentsRect().width();
    return fontMetrics().elidedText(VisiblePart(text(), width), Qt::ElideRight, width, Qt::TextSingleLine);
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, ShownText());
}

} // namespace orvela
