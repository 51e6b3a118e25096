#include "browser/PhotoPanel.h"

#include "platform/dialogs/Dialogs.h"

#include <QEvent>
#include <QPainter>
#include <QScrollBar>
#include <exception>

namespace orvela {

PhotoImage::PhotoImage(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PhotoImage::Load(const QString& fileName)
{
    picture_.reset();
    unreadable_.clear();
    if (!fileName.isEmpty()) {
        try {
            JpegImage picture;
            picture.LoadFromFile(fileName);
            picture_ = std::move(picture);
        } catch (const std::exception& error) {
            SetUnreadable(error);
        }
    }
    update();
    if (parentWidget())
        parentWidget()->update();
}

QSize PhotoImage::PictureSize() const
{
    return picture_ ? QSize(picture_->Width(), picture_->Height()) : QSize(0, 0);
}

void PhotoImage::SetUnreadable(const std::exception& error)
{
    unreadable_ = QStringLiteral("Fotografii nelze zobrazit.\n") + dialogs::ErrorBoxText(QString::fromUtf8(error.what()));
    if (parentWidget())
        parentWidget()->update();
}

void PhotoImage::paintEvent(QPaintEvent*)
{
    if (!picture_ || !unreadable_.isEmpty() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    try {
        picture_->Draw(painter, rect());
    } catch (const std::exception& error) {
        // Damage past the header shows only when the pixels are decoded; from then on the photo is unreadable,
        // so that no repaint decodes it again.
        SetUnreadable(error);
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

QRect PhotoPanel::ClientRect() const
{
    // Explicit visibility: the panel may sit on a page that is not shown.
    QRect client = rect().adjusted(kBevel, kBevel, -kBevel, -kBevel);
    if (!ScrollBar1->isHidden())
        client.setBottom(client.bottom() - kBarThickness);
    if (!ScrollBar2->isHidden())
        client.setRight(client.right() - kBarThickness);
    return client;
}

void PhotoPanel::Realign()
{
    const QRect inner = rect().adjusted(kBevel, kBevel, -kBevel, -kBevel);
    const QRect client = ClientRect();
    if (!ScrollBar1->isHidden())
        ScrollBar1->setGeometry(inner.left(), inner.bottom() - kBarThickness + 1, inner.width(), kBarThickness);
    if (!ScrollBar2->isHidden())
        ScrollBar2->setGeometry(client.right() + 1, client.top(), kBarThickness, client.height());
    if (Image1->alignClient_)
        Image1->setGeometry(client);
}

void PhotoPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (Image1->Unreadable().isEmpty())
        return;
    // Drawn by the panel: a photo whose header cannot be read has no size to draw in.
    QPainter painter(this);
    painter.setPen(Qt::white);
    painter.drawText(ClientRect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, Image1->Unreadable());
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
