#pragma once

#include <functional>

class QUrl;

namespace orvela::dialogs {

/// Hands a link or a folder to the desktop, which opens it with the program registered for it.
/// Whether that works is the desktop's business: nothing is reported either way.
void OpenUrl(const QUrl& url);

/// Test seam: receives what would be opened in place of the desktop while set (empty restores it).
void SetUrlOpener(std::function<void(const QUrl&)> opener);

} // namespace orvela::dialogs
