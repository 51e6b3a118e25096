#include "platform/controls/GroupBox.h"

#include <QPainter>
#include <QStyle>

namespace orvela {

namespace {
constexpr int kCaptionIndent = 8;
constexpr int kCaptionPadding = 2;
} // namespace

GroupBox::GroupBox(QWidget* parent) : QGroupBox(parent) {}

int GroupBox::FrameTop() const
{
    return title().isEmpty() ? 0 : fontMetrics().height() / 2;
}

void GroupBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect caption(kCaptionIndent, 0, fontMetrics().horizontalAdvance(title()) + 2 * kCaptionPadding,
                        fontMetrics().height());
    painter.save();
    if (!title().isEmpty())
        painter.setClipRegion(QRegion(rect()) - caption);
    // An etched frame: a dark line with a light one beside it.
    const QRect frame(0, FrameTop(), width() - 2, height() - FrameTop() - 2);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(frame);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.translated(1, 1));
    painter.restore();
    style()->drawItemText(&painter, caption.adjusted(kCaptionPadding, 0, 0, 0), Qt::AlignLeft | Qt::TextShowMnemonic,
                          palette(), isEnabled(), title(), QPalette::WindowText);
}

} // namespace orvela
