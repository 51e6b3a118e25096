#pragma once

class QWidget;

namespace orvela {

/// Help contexts of the program's windows.
enum HelpContext { kMainWindowHelp = 101, kSearchDialogHelp = 102, kAboutHelp = 103 };

/// Opens "Orvela.chm" from the current directory at the context; nothing is reported to the caller.
void ShowHelpContext(QWidget* window, int context);

} // namespace orvela
