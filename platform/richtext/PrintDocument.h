#pragma once

class QPrinter;
class QTextDocument;

namespace orvela::richtext {

/// Prints the whole document as one job over the printer's full printable area, with no margins of
/// its own (the printer's page margins are set to those of its printable area), page after page until
/// all text is printed; an empty document prints one empty page. The job name is the caller's
/// (QPrinter::setDocName). Throws Error when the printer cannot start.
void PrintDocument(const QTextDocument& document, QPrinter& printer);

} // namespace orvela::richtext
