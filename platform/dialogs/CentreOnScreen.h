#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace orvela::dialogs {

/// The client rectangle of a window whose whole frame, `frame` wide on each side of the client area,
/// lies in the middle of `area`.
QRect CentredByFrame(QSize clientSize, const QMargins& frame, const QRect& area);

/// Places a window, frame included, in the middle of its screen's work area; called as it is shown.
/// A window manager tells a window's frame only once it has framed the window, so at a first
/// showing the owner's frame stands in for it until the window is on screen.
void CentreOnScreen(QWidget& window);

} // namespace orvela::dialogs
