#include "platform/richtext/RichText.h"

#include "platform/richtext/CodePages.h"
#include "platform/richtext/RtfReader.h"

#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>

namespace orvela::richtext {

namespace {

/// Lengths of the view's layout are pixels at 96 dpi; RTF gives twips.
qreal Pixels(int twips)
{
    return twips / 15.0;
}

QTextCharFormat CharFormat(const CharProps& props, const RtfTables& tables)
{
    QTextCharFormat format;
    if (const FontEntry* font = tables.Font(props.font);
        font && !font->name.isEmpty() && font->codePage != kSymbolCodePage && font->codePage != kWingdingsCodePage)
        format.setFontFamilies({font->name});
    if (props.halfPoints > 0)
        format.setFontPointSize(props.halfPoints / 2.0);
    if (props.bold)
        format.setFontWeight(QFont::Bold);
    if (props.italic)
        format.setFontItalic(true);
    if (props.underline)
        format.setFontUnderline(true);
    if (props.strike)
        format.setFontStrikeOut(true);
    if (props.vertical != 0)
        format.setVerticalAlignment(props.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                       : QTextCharFormat::AlignSubScript);
    if (const QColor colour = tables.Colour(props.colour); props.colour > 0 && colour.isValid())
        format.setForeground(colour);
    if (const QColor colour = tables.Colour(props.background); props.background > 0 && colour.isValid())
        format.setBackground(colour);
    return format;
}

QTextBlockFormat BlockFormat(const ParaProps& para)
{
    QTextBlockFormat format;
    switch (para.alignment) {
    case Alignment::Left: format.setAlignment(Qt::AlignLeft); break;
    case Alignment::Center: format.setAlignment(Qt::AlignHCenter); break;
    case Alignment::Right: format.setAlignment(Qt::AlignRight); break;
    case Alignment::Justify: format.setAlignment(Qt::AlignJustify); break;
    }
    if (para.list.style != ListStyle::None) {
        // The marker takes the hanging indent: the list's own indent holds it.
        format.setLeftMargin(Pixels(std::max(para.leftIndent + para.firstIndent, 0)));
    } else {
        format.setLeftMargin(Pixels(para.leftIndent));
        format.setTextIndent(Pixels(para.firstIndent));
    }
    format.setRightMargin(Pixels(para.rightIndent));
    format.setTopMargin(Pixels(para.spaceBefore));
    format.setBottomMargin(Pixels(para.spaceAfter));
    if (para.lineSpacing != 0) {
        if (para.lineMultiple)
            format.setLineHeight(std::abs(para.lineSpacing) * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (para.lineSpacing > 0)
            format.setLineHeight(Pixels(para.lineSpacing), QTextBlockFormat::MinimumHeight);
        else
            format.setLineHeight(Pixels(-para.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    if (!para.tabs.isEmpty()) {
        QList<QTextOption::Tab> tabs;
        for (const TabStop& tab : para.tabs) {
            switch (tab.kind) {
            case TabKind::Left: tabs.append({Pixels(tab.position), QTextOption::LeftTab}); break;
            case TabKind::Center: tabs.append({Pixels(tab.position), QTextOption::CenterTab}); break;
            case TabKind::Right: tabs.append({Pixels(tab.position), QTextOption::RightTab}); break;
            case TabKind::Decimal: tabs.append({Pixels(tab.position), QTextOption::DelimiterTab, u','}); break;
            }
        }
        format.setTabPositions(tabs);
    }
    return format;
}

QTextListFormat ListFormat(const ListProps& list)
{
    QTextListFormat format;
    switch (list.style) {
    case ListStyle::None:
    case ListStyle::Disc: format.setStyle(QTextListFormat::ListDisc); break;
    case ListStyle::Circle: format.setStyle(QTextListFormat::ListCircle); break;
    case ListStyle::Square: format.setStyle(QTextListFormat::ListSquare); break;
    case ListStyle::Decimal: format.setStyle(QTextListFormat::ListDecimal); break;
    case ListStyle::LowerAlpha: format.setStyle(QTextListFormat::ListLowerAlpha); break;
    case ListStyle::UpperAlpha: format.setStyle(QTextListFormat::ListUpperAlpha); break;
    case ListStyle::LowerRoman: format.setStyle(QTextListFormat::ListLowerRoman); break;
    case ListStyle::UpperRoman: format.setStyle(QTextListFormat::ListUpperRoman); break;
    }
    format.setNumberPrefix(list.prefix);
    format.setNumberSuffix(list.suffix);
    format.setIndent(1);
    return format;
}

class DocumentSink final : public RtfSink {
public:
    explicit DocumentSink(QTextDocument& document) : cursor_(&document)
    {
        // One edit for the whole article: the layout and listeners hear of it once.
        cursor_.beginEditBlock();
    }

    void Text(QStringView text, const CharProps& props, const RtfTables& tables) override
    {
        if (!formatKnown_ || !(props == formatProps_)) {
            format_ = CharFormat(props, tables);
            formatProps_ = props;
            formatKnown_ = true;
        }
        cursor_.insertText(text.toString(), format_);
    }

    void Picture(const QByteArray& data, QSizeF size, const CharProps&) override
    {
        QTextDocument& document = *cursor_.document();
        const QString name = QStringLiteral("article-picture:%1").arg(++pictures_);
        // A picture whose data is broken past its header still holds its place, as an empty image.
        document.addResource(QTextDocument::ImageResource, QUrl(name), QImage::fromData(data));
        QTextImageFormat format;
        format.setName(name);
        format.setWidth(size.width());
        format.setHeight(size.height());
        cursor_.insertImage(format);
    }

    void EndParagraph(const ParaProps& props) override
    {
        FormatBlock(props);
        // A plain new block: the default one would inherit the list of this one.
        cursor_.insertBlock(QTextBlockFormat(), format_);
    }

    void Finish(const ParaProps& props, const RtfTables& tables) override
    {
        FormatBlock(props);
        cursor_.endEditBlock();
        QTextOption option = cursor_.document()->defaultTextOption();
        option.setTabStopDistance(Pixels(tables.defaultTab));
        cursor_.document()->setDefaultTextOption(option);
    }

private:
    void FormatBlock(const ParaProps& props)
    {
        cursor_.setBlockFormat(BlockFormat(props));
        if (props.list.style == ListStyle::None) {
            list_ = nullptr;
        } else if (list_ && props.list == listProps_) {
            list_->add(cursor_.block());
        } else {
            list_ = cursor_.createList(ListFormat(props.list));
            listProps_ = props.list;
        }
    }

    QTextCursor cursor_;
    CharProps formatProps_;
    QTextCharFormat format_;
    bool formatKnown_ = false;
    QTextList* list_ = nullptr;
    ListProps listProps_;
    int pictures_ = 0;
};

class PlainTextSink final : public RtfSink {
public:
    explicit PlainTextSink(QString& text) : text_(text) {}

    void Text(QStringView text, const CharProps&, const RtfTables&) override
    {
        const qsizetype start = text_.size();
        text_.append(text);
        // The document reports these as a line break and a space.
        for (QChar* c = text_.data() + start, *end = text_.data() + text_.size(); c != end; ++c) {
            if (*c == QChar::LineSeparator)
                *c = u'\n';
            else if (*c == QChar::Nbsp)
                *c = u' ';
        }
    }

    void Picture(const QByteArray&, QSizeF, const CharProps&) override
    {
        text_.append(QChar::ObjectReplacementCharacter);
    }
    void EndParagraph(const ParaProps&) override { text_.append(u'\n'); }
    void Finish(const ParaProps&, const RtfTables&) override {}

private:
    QString& text_;
};

} // namespace

QFont ArticleFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(15 * 72.0 / 96.0);
    // Set outright, so that a bold parent (the page control) does not pass its weight on.
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

void LoadArticle(QTextDocument& document, QByteArrayView value)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    DocumentSink sink(document);
    ReadArticle(value, sink);
    document.setUndoRedoEnabled(undo);
}

QString ArticleText(QByteArrayView value)
{
    QString text;
    text.reserve(value.size());
    PlainTextSink sink(text);
    ReadArticle(value, sink);
    return text;
}

} // namespace orvela::richtext
