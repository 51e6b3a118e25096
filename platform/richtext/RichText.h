#pragma once

#include <QByteArrayView>
#include <QFont>
#include <QString>

class QTextDocument;

namespace orvela::richtext {

/// The article view's font: Arial of 15 pixels, given in points so that printing scales it.
QFont ArticleFont();

/// Fills the document with the article held in a NOTE value: rich text when it starts with "{\rtf",
/// else windows-1250 plain text. Text without a size of its own takes the document's default font.
void LoadArticle(QTextDocument& document, QByteArrayView value);

/// The characters the view shows for the article, the same as the loaded document's toPlainText(),
/// without building a document.
QString ArticleText(QByteArrayView value);

} // namespace orvela::richtext
