#include "browser/ShowHelpContext.h"

#include "platform/help/Help.h"

#include <QString>

namespace orvela {

void ShowHelpContext(QWidget* window, int context)
{
    help::HtmlHelp(window, QStringLiteral("Orvela.chm"), context);
}

} // namespace orvela
