#include "CentreOnScreen.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace orvela::dialogs {

namespace {

QMargins FrameOf(const QWidget* window)
{
    const QWindow* handle = window ? window->windowHandle() : nullptr;
    return handle ? handle->frameMargins() : QMargins();
}

void Place(QWidget& window, const QMargins& frame)
{
    if (const QScreen* screen = window.screen())
        window.setGeometry(CentredByFrame(window.size(), frame, screen->availableGeometry()));
}

/// Places the window again when it comes on screen, if its real frame differs from the one assumed.
class FrameCheck final : public QObject {
public:
    FrameCheck(QWidget& window, const QMargins& assumed) : QObject(&window), window_(window), assumed_(assumed)
    {
        window.windowHandle()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && window_.windowHandle()->isExposed()) {
            if (const QMargins frame = FrameOf(&window_); frame != assumed_)
                Place(window_, frame);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget& window_;
    QMargins assumed_;
};

} // namespace

QRect CentredByFrame(QSize clientSize, const QMargins& frame, const QRect& area)
{
    QRect frameRect(QPoint(), clientSize.grownBy(frame));
    frameRect.moveCenter(area.center());
    return frameRect.marginsRemoved(frame);
}

void CentreOnScreen(QWidget& window)
{
    QMargins frame = FrameOf(&window);
    const bool framed = !frame.isNull();
    if (!framed && window.parentWidget())
        frame = FrameOf(window.parentWidget()->window());
    Place(window, frame);
    if (!framed && window.windowHandle())
        new FrameCheck(window, frame);
}

} // namespace orvela::dialogs
