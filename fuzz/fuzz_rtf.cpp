// Any NOTE value must give an article: no crash, no hang, and the plain text that the search reads
// must be exactly the text of the document that the view shows, also when folded for the search by a
// reader that served every input before.
#include "platform/richtext/RichText.h"
#include "platform/richtext/SearchText.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView value(data, qsizetype(size));
    const QString text = orvela::richtext::ArticleText(value);
    QTextDocument document;
    orvela::richtext::LoadArticle(document, value);
    if (document.toPlainText() != text)
        std::abort();
    static orvela::richtext::ArticleTexts reread(0);
    const QByteArray folded = orvela::richtext::FoldedText(text);
    if (orvela::richtext::FoldedArticleText(value) != folded ||
        (!folded.isEmpty() && !reread.Contains(value, [&] { return value; }, folded)))
        std::abort();
    return 0;
}
