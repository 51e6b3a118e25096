#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace orvela::help {

/// Opens the help file at a context number; nothing is reported to the caller.
void HtmlHelp(QWidget* caller, const QString& fileName, int context);

using Handler = std::function<void(QWidget* caller, const QString& fileName, int context)>;

/// Test seam: while set, HtmlHelp calls it in place of the help window (empty restores it).
void SetHandler(Handler handler);

} // namespace orvela::help
