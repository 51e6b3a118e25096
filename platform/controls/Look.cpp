#include "platform/controls/Look.h"

#include <QApplication>

namespace orvela {

QColor colors::ButtonFace()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

QColor RoleColor(const QWidget& widget, QPalette::ColorRole role)
{
    return widget.palette().color(role);
}

void SetRoleColor(QWidget& widget, QPalette::ColorRole role, const QColor& color)
{
    QPalette colours = widget.palette();
    colours.setColor(role, color);
    widget.setPalette(colours);
}

} // namespace orvela
