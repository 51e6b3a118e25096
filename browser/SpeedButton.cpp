#include "browser/SpeedButton.h"

#include <QEvent>

namespace orvela {

SpeedButton::SpeedButton(QWidget* parent) : QToolButton(parent)
{
    setCheckable(true);
    setAutoExclusive(true);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QToolButton::clicked, this, [this] {
        if (OnClick)
            OnClick();
    });
}

bool SpeedButton::event(QEvent* event)
{
    if (event->type() == QEvent::Shortcut) {
        if (isEnabled() && OnClick)
            OnClick();
        return true;
    }
    return QToolButton::event(event);
}

void SpeedButton::nextCheckState()
{
    // A click on the button that is down leaves it down.
    setChecked(true);
}

} // namespace orvela
