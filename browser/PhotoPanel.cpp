#include "browser/PhotoPanel.h"

#include <QEvent>
#include <QPainter>
#include <QScrollBar>
#include <exception>

namespace orvela {

PhotoImage::PhotoImage(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PhotoImage::SetRenderer(Renderer renderer)
{
    renderer_ = std::move(renderer);
    update();
}

void PhotoImage::paintEvent(QPaintEvent*)
{
    if (!renderer_ || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    try {
        painter.drawImage(rect(), renderer_(size()));
    } catch (const std::exception&) {
        // Damage past the header shows only when the pixels are decoded; a box on every repaint
        // would lock the window, so the photo's place says it instead.
        painter.fillRect(rect(), QColor(83, 83, 83));
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("Fotografii nelze zobrazit."));
    }
}

PhotoPanel::PhotoPanel(QWidget* parent)
    : QFrame(parent), Image1(new PhotoImage(this)), ScrollBar1(new QScrollBar(Qt::Horizontal, this)),
      ScrollBar2(new QScrollBar(Qt::Vertical, this))
{
    Image1->setObjectName(QStringLiteral("Image1"));
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(kBevel);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(83, 83, 83));
    setPalette(palette);
    // Each bar keeps its thickness while hidden: the 1:1 layout counts it either way.
    ScrollBar1->setFixedHeight(kBarThickness);
    ScrollBar2->setFixedWidth(kBarThickness);
    for (QScrollBar* bar : {ScrollBar1, ScrollBar2}) {
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(10);
        bar->setFocusPolicy(Qt::NoFocus);
        bar->hide();
        bar->installEventFilter(this);
    }
    Realign();
}

void PhotoPanel::SetImageAlignClient(bool alignClient)
{
    Image1->alignClient_ = alignClient;
    Realign();
}

void PhotoPanel::Realign()
{
    // Explicit visibility: the panel may sit on a page that is not shown.
    const QRect inner = rect().adjusted(kBevel, kBevel, -kBevel, -kBevel);
    QRect client = inner;
    if (!ScrollBar1->isHidden()) {
        ScrollBar1->setGeometry(inner.left(), inner.bottom() - kBarThickness + 1, inner.width(), kBarThickness);
        client.setBottom(client.bottom() - kBarThickness);
    }
    if (!ScrollBar2->isHidden()) {
        ScrollBar2->setGeometry(client.right() - kBarThickness + 1, client.top(), kBarThickness, client.height());
        client.setRight(client.right() - kBarThickness);
    }
    if (Image1->alignClient_)
        Image1->setGeometry(client);
}

void PhotoPanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    Realign();
}

bool PhotoPanel::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == ScrollBar1 || watched == ScrollBar2) &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        Realign();
    return QFrame::eventFilter(watched, event);
}

} // namespace orvela
