#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace orvela {

namespace colors {

inline const QColor Cream{255, 251, 240};
inline const QColor Yellow{255, 255, 0};
inline const QColor Navy{0, 0, 128};
inline const QColor SkyBlue{166, 202, 240};
inline const QColor Silver{192, 192, 192};
inline const QColor PaleGreen{216, 233, 216};

/// The system's button face, as the platform style paints it.
QColor ButtonFace();

} // namespace colors

/// The colour a widget paints a palette role with, and setting it for every colour group.
QColor RoleColor(const QWidget& widget, QPalette::ColorRole role);
void SetRoleColor(QWidget& widget, QPalette::ColorRole role, const QColor& color);

/// A read-only, wrapped text view with a vertical scroll bar only.
template <class TextView>
void SetUpReadOnlyView(TextView& view)
{
    view.setReadOnly(true);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setLineWrapMode(TextView::WidgetWidth);
}

} // namespace orvela
