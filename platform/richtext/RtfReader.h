#pragma once

#include <QByteArrayView>
#include <QColor>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringView>
#include <memory>
#include <unordered_map>
#include <vector>

namespace orvela::richtext {

enum class Alignment : unsigned char { Left, Center, Right, Justify };

enum class ListStyle : unsigned char {
    None, Disc, Circle, Square, Decimal, LowerAlpha, UpperAlpha, LowerRoman, UpperRoman
};

/// Numbering of a paragraph: its marker is drawn by the view and is not part of the text.
struct ListProps {
    ListStyle style = ListStyle::None;
    QString prefix;
    QString suffix;
    bool operator==(const ListProps&) const = default;
};

/// Character formatting; indexes refer to the article's font and colour tables.
struct CharProps {
    int font = -1;       // -1: the document's default font
    int halfPoints = 0;  // 0: the view's font size
    int colour = 0;      // 0: automatic
    int background = 0;  // 0: none
    signed char vertical = 0; // 1 superscript, -1 subscript
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    bool operator==(const CharProps&) const = default;
};

enum class TabKind : unsigned char { Left, Center, Right, Decimal };

struct TabStop {
    int position = 0; // twips
    TabKind kind = TabKind::Left;
    bool operator==(const TabStop&) const = default;
};

/// Paragraph formatting; lengths in twips.
struct ParaProps {
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    int lineSpacing = 0; // 0 automatic, > 0 at least, < 0 exactly
    bool lineMultiple = false; // lineSpacing in 240ths of a single line
    ListProps list;
    QList<TabStop> tabs;
};

struct FontEntry {
    QString name;
    int codePage = 0; // 0: the document's code page
};

struct RtfTables {
    std::unordered_map<int, FontEntry> fonts;
    std::vector<QColor> colours; // invalid colour: automatic
    int defaultFont = 0;
    int defaultTab = 720; // twips between default tab stops
    /// The font of that index; -1 names the default font.
    const FontEntry* Font(int index) const;
    QColor Colour(int index) const;
};

/// Receives an article as runs of text and paragraph ends. Run text never holds paragraph separators
/// or control characters other than tab; a line break inside a paragraph is U+2028.
class RtfSink {
public:
    virtual ~RtfSink() = default;
    virtual void Text(QStringView text, const CharProps& props, const RtfTables& tables) = 0;
    virtual void EndParagraph(const ParaProps& props) = 0;
    /// A picture that can be shown (PNG or JPEG data), at its size in pixels at 96 dpi.
    virtual void Picture(const QByteArray& data, QSizeF size, const CharProps& props) = 0;
    /// Formatting of the last paragraph, which has no paragraph end of its own, and the article's tables.
    virtual void Finish(const ParaProps& props, const RtfTables& tables) = 0;
};

/// True when the value is rich text; anything else is shown as plain text.
bool IsRtf(QByteArrayView value);

/// Feeds an article to the sink: RTF when IsRtf, else windows-1250 plain text with its line breaks.
/// Any input gives a result; broken RTF yields what could be read of it.
void ReadArticle(QByteArrayView value, RtfSink& sink);

class RtfParser;

/// Reads articles one after another as ReadArticle does, the memory one used serving the next.
class ArticleReader final {
public:
    ArticleReader();
    ~ArticleReader();
    ArticleReader(const ArticleReader&) = delete;
    ArticleReader& operator=(const ArticleReader&) = delete;

    void Read(QByteArrayView value, RtfSink& sink);

private:
    std::unique_ptr<RtfParser> parser_;
};

} // namespace orvela::richtext
