#include "OpenUrl.h"

#include <QDesktopServices>
#include <QUrl>

namespace orvela::dialogs {

namespace {
std::function<void(const QUrl&)>& UrlOpener()
{
    static std::function<void(const QUrl&)> opener;
    return opener;
}
} // namespace

void OpenUrl(const QUrl& url)
{
    if (UrlOpener())
        UrlOpener()(url);
    else
        QDesktopServices::openUrl(url);
}

void SetUrlOpener(std::function<void(const QUrl&)> opener) { UrlOpener() = std::move(opener); }

} // namespace orvela::dialogs
