#pragma once

class QTabWidget;
class QToolButton;

namespace orvela {

/// The page tabs drawn as flat buttons: the active one down, the others without a frame.
void DrawTabsAsFlatButtons(QTabWidget& pages);

/// A button drawn sunken while it is down, flat (auto-raised) or not; up, it keeps the style's look.
void DrawDownAsSunken(QToolButton& button);

} // namespace orvela
