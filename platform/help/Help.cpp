#include "platform/help/Help.h"

#include "platform/help/HelpWindow.h"

#include <QDir>
#include <QPointer>

namespace orvela::help {

namespace {

Handler& CurrentHandler()
{
    static Handler handler;
    return handler;
}

QPointer<HelpWindow>& TheWindow()
{
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

void SetHandler(Handler handler)
{
    CurrentHandler() = std::move(handler);
}

void HtmlHelp(QWidget* caller, const QString& fileName, int context)
{
    if (CurrentHandler()) {
        CurrentHandler()(caller, fileName, context);
        return;
    }
    const QString path = QDir::current().absoluteFilePath(fileName);
    // Owned by the caller's window, so that it takes input while that window is a modal dialog.
    QWidget* owner = caller != nullptr ? caller->window() : nullptr;
    QPointer<HelpWindow>& window = TheWindow();
    if (window == nullptr) {
        window = new HelpWindow(owner);
    } else if (window->parentWidget() != owner) {
        const QRect geometry = window->geometry();
        window->setParent(owner, Qt::Window);
        window->setGeometry(geometry);
    }
    window->ShowContext(path, fileName, context);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace orvela::help
