#include "platform/richtext/RtfReader.h"

#include "platform/richtext/CodePages.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace orvela::richtext {

namespace {

/// Deeper groups are read as part of the deepest kept one: nesting costs neither stack nor memory.
constexpr std::size_t kMaxGroupDepth = 256;
constexpr int kMaxWordLength = 32;
constexpr int kMaxParameterDigits = 10;
/// 22 inches, the largest page RTF knows; larger lengths are noise and would upset the layout.
constexpr int kMaxTwips = 31680;
constexpr qsizetype kMaxTabStops = 64;

enum class Destination : unsigned char {
    Normal,
    Skip,
    FontTable,
    ColourTable,
    MarkerText,   // the number or bullet written before a list paragraph
    Numbering,    // how a list paragraph is numbered
    NumberBefore, // text before the number
    NumberAfter,  // text after the number
    Picture,      // hexadecimal picture data
};

enum class Word : unsigned char {
    Unknown,
    Mac, Pc, Pca, AnsiCodePage, DefaultFont,
    FontTable, ColourTable, Font, FontCharset, FontCodePage, Red, Green, Blue,
    Paragraph, Line, Tab, EmDash, EnDash, Bullet, LeftQuote, RightQuote, LeftDoubleQuote, RightDoubleQuote,
    Bold, Italic, Underline, UnderlineNone, Strike, FontSize, Colour, Background, Super, Sub, NoSuperSub,
    Hidden, Plain,
    ParagraphDefault, AlignLeft, AlignCenter, AlignRight, AlignJustify,
    LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter, LineSpacing, LineMultiple,
    TabPosition, TabCenter, TabRight, TabDecimal, DefaultTab,
    Unicode, UnicodeSkip, Binary,
    MarkerText, Numbering, NumberBullet, NumberContinue, NumberDecimal, NumberUpperLetter, NumberLowerLetter,
    NumberUpperRoman, NumberLowerRoman, NumberBefore, NumberAfter, NumberFont,
    Picture, PictureFormat, PictureWidthGoal, PictureHeightGoal, PictureScaleX, PictureScaleY, ShapePicture,
    SkippedDestination,
};

Word LookUp(std::string_view word)
{
    static const std::unordered_map<std::string_view, Word> words = [] {
        std::unordered_map<std::string_view, Word> table = {
            {"mac", Word::Mac}, {"pc", Word::Pc}, {"pca", Word::Pca}, {"ansicpg", Word::AnsiCodePage},
            {"deff", Word::DefaultFont}, {"fonttbl", Word::FontTable}, {"colortbl", Word::ColourTable},
            {"f", Word::Font}, {"fcharset", Word::FontCharset}, {"cpg", Word::FontCodePage},
            {"red", Word::Red}, {"green", Word::Green}, {"blue", Word::Blue},
            {"par", Word::Paragraph}, {"sect", Word::Paragraph}, {"page", Word::Paragraph},
            {"row", Word::Paragraph}, {"nestrow", Word::Paragraph}, {"line", Word::Line}, {"tab", Word::Tab},
            {"cell", Word::Tab}, {"nestcell", Word::Tab}, {"emdash", Word::EmDash}, {"endash", Word::EnDash},
            {"bullet", Word::Bullet}, {"lquote", Word::LeftQuote}, {"rquote", Word::RightQuote},
            {"ldblquote", Word::LeftDoubleQuote}, {"rdblquote", Word::RightDoubleQuote},
            {"b", Word::Bold}, {"i", Word::Italic}, {"ulnone", Word::UnderlineNone},
            {"strike", Word::Strike}, {"striked", Word::Strike}, {"fs", Word::FontSize}, {"cf", Word::Colour},
            {"cb", Word::Background}, {"highlight", Word::Background}, {"super", Word::Super},
            {"sub", Word::Sub}, {"nosupersub", Word::NoSuperSub}, {"v", Word::Hidden}, {"plain", Word::Plain},
            {"pard", Word::ParagraphDefault}, {"ql", Word::AlignLeft}, {"qc", Word::AlignCenter},
            {"qr", Word::AlignRight}, {"qj", Word::AlignJustify}, {"li", Word::LeftIndent},
            {"ri", Word::RightIndent}, {"fi", Word::FirstIndent}, {"sb", Word::SpaceBefore},
            {"sa", Word::SpaceAfter}, {"sl", Word::LineSpacing}, {"slmult", Word::LineMultiple},
            {"tx", Word::TabPosition}, {"tqc", Word::TabCenter}, {"tqr", Word::TabRight},
            {"tqdec", Word::TabDecimal}, {"deftab", Word::DefaultTab},
            {"pict", Word::Picture}, {"pngblip", Word::PictureFormat}, {"jpegblip", Word::PictureFormat},
            {"picwgoal", Word::PictureWidthGoal}, {"pichgoal", Word::PictureHeightGoal},
            {"picscalex", Word::PictureScaleX}, {"picscaley", Word::PictureScaleY},
            {"shppict", Word::ShapePicture},
            {"u", Word::Unicode}, {"uc", Word::UnicodeSkip}, {"bin", Word::Binary},
            {"pntext", Word::MarkerText}, {"listtext", Word::MarkerText}, {"pn", Word::Numbering},
            {"pnlvlblt", Word::NumberBullet}, {"pnlvlcont", Word::NumberContinue},
            {"pndec", Word::NumberDecimal}, {"pncard", Word::NumberDecimal}, {"pnord", Word::NumberDecimal},
            {"pnordt", Word::NumberDecimal}, {"pncardt", Word::NumberDecimal},
            {"pnucltr", Word::NumberUpperLetter}, {"pnlcltr", Word::NumberLowerLetter},
            {"pnucrm", Word::NumberUpperRoman}, {"pnlcrm", Word::NumberLowerRoman},
            {"pntxtb", Word::NumberBefore}, {"pntxta", Word::NumberAfter}, {"pnf", Word::NumberFont},
        };
        for (std::string_view underline : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave",
                                           "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd",
                                           "ulthldash", "ululdbwave", "ulw", "ulwave"})
            table.emplace(underline, Word::Underline);
        // Destinations whose content is not shown.
        for (std::string_view skipped :
             {"aftncn", "aftnsep", "aftnsepc", "annotation", "atnauthor", "atnid", "author", "background",
              "bkmkend", "bkmkstart", "buptim", "colorschememapping", "comment", "creatim", "datastore", "do",
              "doccomm", "docvar", "filetbl", "fldinst", "footer", "footerf", "footerl", "footerr", "footnote",
              "ftncn", "ftnsep", "ftnsepc", "generator", "header", "headerf", "headerl", "headerr", "info",
              "keywords", "latentstyles", "listoverridetable", "listtable", "mmathPr", "nonesttables",
              "nonshppict", "objdata", "object", "operator", "password", "passwordhash", "pgdsctbl",
              "printim", "private", "protusertbl", "revtbl", "revtim", "rsidtbl", "rxe", "shp", "shpinst",
              "stylesheet", "subject", "tc", "template", "themedata", "title", "txe",
              "userprops", "wgrffmtfilter", "xe", "xmlnstbl"})
            table.emplace(skipped, Word::SkippedDestination);
        return table;
    }();
    const auto found = words.find(word);
    return found == words.end() ? Word::Unknown : found->second;
}

/// Destinations read when marked ignorable (\*); every other ignorable group is skipped whole.
bool IsReadableDestination(Word word)
{
    return word == Word::Numbering || word == Word::FontTable || word == Word::ColourTable ||
           word == Word::MarkerText || word == Word::NumberBefore || word == Word::NumberAfter ||
           word == Word::ShapePicture;
}

bool IsHexDigit(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(unsigned char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

bool IsLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

int Twips(int value)
{
    return std::clamp(value, -kMaxTwips, kMaxTwips);
}

ListStyle BulletStyle(QChar bullet)
{
    switch (bullet.unicode()) {
    case u'o': case 0x25CB: case 0x25E6: case 0x25A1: return ListStyle::Circle;
    case 0x25AA: case 0x25A0: case 0x00A7: case 0x25FB: case 0x2751: return ListStyle::Square;
    default: return ListStyle::Disc;
    }
}

/// The numbering that a marker written before a paragraph stands for ("1.", "a)", a bullet).
ListProps ListFromMarker(QStringView marker)
{
    ListProps list;
    marker = marker.trimmed(); // also drops the tab after the marker
    if (marker.isEmpty())
        return list;
    const auto firstDigit = std::find_if(marker.begin(), marker.end(), [](QChar c) { return c.isDigit(); });
    if (firstDigit != marker.end()) {
        const auto afterDigits = std::find_if(firstDigit, marker.end(), [](QChar c) { return !c.isDigit(); });
        list.style = ListStyle::Decimal;
        list.prefix = QStringView(marker.begin(), firstDigit).toString();
        list.suffix = QStringView(afterDigits, marker.end()).toString();
    } else if (marker.size() > 1 && marker.front().isLetter() && !marker[1].isLetterOrNumber()) {
        list.style = marker.front().isUpper() ? ListStyle::UpperAlpha : ListStyle::LowerAlpha;
        list.suffix = marker.mid(1).toString();
    } else {
        list.style = BulletStyle(marker.front());
    }
    return list;
}

/// "Arial CE" and its kin are the same face under a script-specific alias that only Windows knows.
QString WithoutScriptSuffix(const QString& name)
{
    for (QStringView suffix : {u" CE", u" Cyr", u" Greek", u" Baltic", u" Tur"})
        if (name.endsWith(suffix) && name.size() > suffix.size())
            return name.first(name.size() - suffix.size());
    return name;
}

/// Drops characters that the view cannot hold inside a paragraph: control codes and paragraph marks.
void Sanitize(QString& text)
{
    QChar* out = text.data();
    for (QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t')
            continue;
        *out++ = (u == 0x2029 || u == 0xFDD0 || u == 0xFDD1) ? QChar(u' ') : c;
    }
    text.truncate(out - text.constData());
}

struct GroupState {
    Destination destination = Destination::Normal;
    int unicodeSkip = 1;
    CharProps chars;
    ParaProps para;
};

} // namespace

class RtfParser final {
public:
    RtfParser() { groups_.reserve(64); }

    /// Reads one article; what the previous one used of memory serves again.
    void Run(QByteArrayView input, RtfSink& sink)
    {
        p_ = reinterpret_cast<const unsigned char*>(input.data());
        end_ = p_ + input.size();
        sink_ = &sink;
        article_ = {};
        groups_.clear();
        groups_.emplace_back();
        runBytes_.clear();
        runText_.resize(0);

        while (p_ < end_ && !article_.done) {
            const unsigned char c = *p_++;
            switch (c) {
            case '{': OpenGroup(); break;
            case '}': CloseGroup(); break;
            case '\\': ReadControl(); break;
            case '\r':
            case '\n': break;
            case '\t':
                if (Token())
                    Unit(u'\t');
                break;
            default: Literal(c); break;
            }
        }
        FlushRun();
        sink_->Finish(article_.pendingParagraph ? *article_.pendingParagraph : CurrentParagraph(), article_.tables);
    }

private:
    GroupState& State() { return groups_.back(); }
    Destination Dest() const { return groups_.back().destination; }

    /// Common start of every token that is not a brace: settles a pending \* and the \uc fallback
    /// count. False when the token is to be dropped.
    bool Token()
    {
        if (article_.ignorableNext) {
            article_.ignorableNext = false;
            State().destination = Destination::Skip;
        }
        if (article_.fallbackLeft > 0) {
            --article_.fallbackLeft;
            return false;
        }
        return Dest() != Destination::Skip;
    }

    void OpenGroup()
    {
        if (article_.ignorableNext) {
            article_.ignorableNext = false;
            State().destination = Destination::Skip;
        }
        article_.fallbackLeft = 0;
        if (groups_.size() >= kMaxGroupDepth) {
            ++article_.overflow;
            return;
        }
        groups_.push_back(groups_.back());
    }

    void CloseGroup()
    {
        article_.ignorableNext = false;
        article_.fallbackLeft = 0;
        if (article_.overflow > 0) {
            --article_.overflow;
            return;
        }
        if (groups_.size() <= 2) {
            // The document's own group ends the article; what follows it is not read.
            article_.done = groups_.size() == 2;
            return;
        }
        const Destination closed = Dest();
        groups_.pop_back();
        if (closed == Destination::FontTable)
            EndFontEntry();
        if (closed == Destination::Numbering && Dest() != Destination::Numbering)
            State().para.list = FinishedNumbering();
        if (closed == Destination::Picture && Dest() != Destination::Picture)
            EndPicture();
    }

    void Literal(unsigned char c)
    {
        if (!Token())
            return;
        if (Dest() != Destination::Normal) {
            Byte(c);
            return;
        }
        if (State().chars.hidden)
            return;
        SyncRun();
        // Plain text runs up to the next special byte are taken in one go.
        const unsigned char* start = p_ - 1;
        while (p_ < end_ && *p_ != '\\' && *p_ != '{' && *p_ != '}' && *p_ != '\r' && *p_ != '\n' &&
               *p_ != '\t')
            ++p_;
        runBytes_.append(reinterpret_cast<const char*>(start), std::size_t(p_ - start));
    }

    void ReadControl()
    {
        if (p_ == end_)
            return;
        if (!IsLetter(*p_)) {
            ControlSymbol(*p_++);
            return;
        }
        const unsigned char* start = p_;
        while (p_ < end_ && IsLetter(*p_))
            ++p_;
        const std::string_view word(reinterpret_cast<const char*>(start),
                                    std::size_t(std::min<std::ptrdiff_t>(p_ - start, kMaxWordLength + 1)));
        bool negative = false;
        if (p_ + 1 < end_ && *p_ == '-' && IsDigit(p_[1])) {
            negative = true;
            ++p_;
        }
        const bool hasParameter = p_ < end_ && IsDigit(*p_);
        long long value = 0;
        for (int digits = 0; p_ < end_ && IsDigit(*p_); ++p_, ++digits)
            if (digits < kMaxParameterDigits)
                value = value * 10 + (*p_ - '0');
        value = std::min<long long>(value, 0x7FFFFFFF);
        if (p_ < end_ && *p_ == ' ')
            ++p_;
        const int parameter = int(negative ? -value : value);
        if (word.size() > std::size_t(kMaxWordLength)) {
            Token();
            return;
        }
        ControlWord(LookUp(word), hasParameter, parameter);
    }

    void ControlSymbol(unsigned char symbol)
    {
        int byte = -1;
        if (symbol == '\'') {
            // A cut-off \'h yields nothing; the byte after it is read as usual.
            if (p_ + 1 < end_ && IsHexDigit(p_[0]) && IsHexDigit(p_[1])) {
                byte = HexValue(p_[0]) * 16 + HexValue(p_[1]);
                p_ += 2;
            } else {
                while (p_ < end_ && IsHexDigit(*p_))
                    ++p_;
            }
        }
        if (symbol == '*') {
            article_.ignorableNext = true;
            return;
        }
        if (!Token())
            return;
        switch (symbol) {
        case '\'': if (byte >= 0) Byte(static_cast<unsigned char>(byte)); break;
        case '\\':
        case '{':
        case '}': Byte(symbol); break;
        case '~': Unit(0x00A0); break;
        case '-': Unit(0x00AD); break;
        case '_': Unit(0x2011); break;
        case '\r':
        case '\n': EndParagraph(); break;
        default: break;
        }
    }

    void ControlWord(Word word, bool hasParameter, int parameter)
    {
        if (word == Word::Binary) {
            // Binary data is never read as RTF, whatever the destination: it may hold braces.
            const std::ptrdiff_t length = std::min<std::ptrdiff_t>(std::max(parameter, 0), end_ - p_);
            if (Dest() == Destination::Picture)
                article_.picture.data.append(reinterpret_cast<const char*>(p_), length);
            p_ += length;
            Token();
            return;
        }
        if (article_.ignorableNext && IsReadableDestination(word))
            article_.ignorableNext = false;
        if (!Token())
            return;
        const bool on = !hasParameter || parameter != 0;
        GroupState& state = State();
        CharProps& chars = state.chars;
        ParaProps& para = state.para;
        switch (word) {
        case Word::Unknown: break;
        case Word::Mac: article_.documentCodePage = 10000; break;
        case Word::Pc: article_.documentCodePage = 437; break;
        case Word::Pca: article_.documentCodePage = 850; break;
        case Word::AnsiCodePage: article_.documentCodePage = parameter > 0 ? parameter : kDefaultCodePage; break;
        case Word::DefaultFont: article_.tables.defaultFont = parameter; break;
        case Word::FontTable:
            state.destination = Destination::FontTable;
            article_.fontIndex = -1;
            break;
        case Word::ColourTable:
            state.destination = Destination::ColourTable;
            article_.tables.colours.clear();
            ResetColour();
            break;
        case Word::Font:
            if (state.destination == Destination::FontTable) {
                EndFontEntry();
                article_.fontIndex = parameter;
                article_.tables.fonts[article_.fontIndex] = FontEntry{};
            } else {
                chars.font = parameter;
                if (state.destination == Destination::Numbering)
                    article_.numberingCodePage = CodePageOfFont(parameter);
            }
            break;
        case Word::FontCharset:
        case Word::FontCodePage:
            if (state.destination == Destination::FontTable && article_.fontIndex >= 0)
                article_.tables.fonts[article_.fontIndex].codePage =
                    word == Word::FontCharset ? CodePageOfCharset(parameter) : std::max(parameter, 0);
            break;
        case Word::Red: SetColourPart(&QColor::setRed, parameter); break;
        case Word::Green: SetColourPart(&QColor::setGreen, parameter); break;
        case Word::Blue: SetColourPart(&QColor::setBlue, parameter); break;
        case Word::Paragraph: EndParagraph(); break;
        case Word::Line: Unit(0x2028); break;
        case Word::Tab: Unit(u'\t'); break;
        case Word::EmDash: Unit(0x2014); break;
        case Word::EnDash: Unit(0x2013); break;
        case Word::Bullet: Unit(0x2022); break;
        case Word::LeftQuote: Unit(0x2018); break;
        case Word::RightQuote: Unit(0x2019); break;
        case Word::LeftDoubleQuote: Unit(0x201C); break;
        case Word::RightDoubleQuote: Unit(0x201D); break;
        case Word::Bold: chars.bold = on; break;
        case Word::Italic: chars.italic = on; break;
        case Word::Underline: chars.underline = on; break;
        case Word::UnderlineNone: chars.underline = false; break;
        case Word::Strike: chars.strike = on; break;
        case Word::Hidden: chars.hidden = on; break;
        case Word::FontSize: chars.halfPoints = hasParameter ? std::clamp(parameter, 2, 3276) : 24; break;
        case Word::Colour: chars.colour = parameter; break;
        case Word::Background: chars.background = parameter; break;
        case Word::Super: chars.vertical = 1; break;
        case Word::Sub: chars.vertical = -1; break;
        case Word::NoSuperSub: chars.vertical = 0; break;
        case Word::Plain: chars = CharProps{}; break;
        case Word::ParagraphDefault: para = ParaProps{}; break;
        case Word::AlignLeft: para.alignment = Alignment::Left; break;
        case Word::AlignCenter: para.alignment = Alignment::Center; break;
        case Word::AlignRight: para.alignment = Alignment::Right; break;
        case Word::AlignJustify: para.alignment = Alignment::Justify; break;
        case Word::LeftIndent: para.leftIndent = Twips(parameter); break;
        case Word::RightIndent: para.rightIndent = Twips(parameter); break;
        case Word::FirstIndent: para.firstIndent = Twips(parameter); break;
        case Word::SpaceBefore: para.spaceBefore = std::max(Twips(parameter), 0); break;
        case Word::SpaceAfter: para.spaceAfter = std::max(Twips(parameter), 0); break;
        case Word::LineSpacing: para.lineSpacing = Twips(parameter); break;
        case Word::LineMultiple: para.lineMultiple = on; break;
        case Word::TabCenter: article_.tabKind = TabKind::Center; break;
        case Word::TabRight: article_.tabKind = TabKind::Right; break;
        case Word::TabDecimal: article_.tabKind = TabKind::Decimal; break;
        case Word::TabPosition:
            // A paragraph has few real tab stops; a flood of them is noise.
            if (para.tabs.size() < kMaxTabStops)
                para.tabs.append(TabStop{std::clamp(parameter, 0, kMaxTwips), article_.tabKind});
            article_.tabKind = TabKind::Left;
            break;
        case Word::DefaultTab:
            if (parameter > 0)
                article_.tables.defaultTab = std::min(parameter, kMaxTwips);
            break;
        case Word::Unicode:
            Unit(parameter < 0 ? char16_t(parameter + 65536) : parameter <= 0xFFFF ? char16_t(parameter)
                                                                                   : char16_t(0xFFFD));
            article_.fallbackLeft = state.unicodeSkip;
            break;
        case Word::UnicodeSkip: state.unicodeSkip = std::max(parameter, 0); break;
        case Word::Binary: break;
        case Word::MarkerText:
            state.destination = Destination::MarkerText;
            article_.markerText.clear();
            break;
        case Word::Numbering:
            state.destination = Destination::Numbering;
            article_.numbering = ListProps{ListStyle::Decimal, {}, {}};
            article_.numberingCodePage = CodePageOfFont(chars.font);
            break;
        case Word::NumberBefore:
        case Word::NumberAfter:
            if (state.destination == Destination::Numbering) {
                const bool before = word == Word::NumberBefore;
                state.destination = before ? Destination::NumberBefore : Destination::NumberAfter;
                (before ? article_.numbering.prefix : article_.numbering.suffix).clear();
            } else {
                state.destination = Destination::Skip; // numbering text outside numbering is never shown
            }
            break;
        case Word::NumberFont:
            if (state.destination == Destination::Numbering)
                article_.numberingCodePage = CodePageOfFont(parameter);
            break;
        case Word::NumberBullet: SetNumbering(ListStyle::Disc); break;
        case Word::NumberContinue: SetNumbering(ListStyle::None); break;
        case Word::NumberDecimal: SetNumbering(ListStyle::Decimal); break;
        case Word::NumberUpperLetter: SetNumbering(ListStyle::UpperAlpha); break;
        case Word::NumberLowerLetter: SetNumbering(ListStyle::LowerAlpha); break;
        case Word::NumberUpperRoman: SetNumbering(ListStyle::UpperRoman); break;
        case Word::NumberLowerRoman: SetNumbering(ListStyle::LowerRoman); break;
        case Word::Picture:
            if (state.destination == Destination::Normal) {
                state.destination = Destination::Picture;
                article_.picture = PictureData{};
            } else {
                state.destination = Destination::Skip;
            }
            break;
        case Word::PictureFormat: article_.picture.known = state.destination == Destination::Picture; break;
        case Word::PictureWidthGoal: article_.picture.widthGoal = Twips(parameter); break;
        case Word::PictureHeightGoal: article_.picture.heightGoal = Twips(parameter); break;
        case Word::PictureScaleX: article_.picture.scaleX = std::clamp(parameter, 1, 1000); break;
        case Word::PictureScaleY: article_.picture.scaleY = std::clamp(parameter, 1, 1000); break;
        case Word::ShapePicture: break;
        case Word::SkippedDestination: state.destination = Destination::Skip; break;
        }
    }

    /// A byte of text in the current destination, in the code page of the current font.
    void Byte(unsigned char byte)
    {
        switch (Dest()) {
        case Destination::Normal:
            if (!State().chars.hidden) {
                SyncRun();
                runBytes_.push_back(char(byte));
            }
            break;
        case Destination::FontTable:
            if (byte == ';')
                EndFontEntry();
            else if (article_.fontIndex >= 0)
                article_.fontNameBytes.push_back(char(byte));
            break;
        case Destination::ColourTable:
            if (byte == ';') {
                article_.tables.colours.push_back(article_.colourGiven ? article_.colour : QColor());
                ResetColour();
            }
            break;
        case Destination::MarkerText:
            CodePageFor(CodePageOfFont(State().chars.font))
                .AppendDecoded(article_.markerText, {reinterpret_cast<const char*>(&byte), 1});
            break;
        case Destination::NumberBefore:
        case Destination::NumberAfter:
            CodePageFor(article_.numberingCodePage)
                .AppendDecoded(Dest() == Destination::NumberBefore ? article_.numbering.prefix
                                                                   : article_.numbering.suffix,
                               {reinterpret_cast<const char*>(&byte), 1});
            break;
        case Destination::Picture:
            if (!IsHexDigit(byte))
                break;
            if (article_.picture.nibble < 0) {
                article_.picture.nibble = HexValue(byte);
            } else {
                article_.picture.data.append(char(article_.picture.nibble * 16 + HexValue(byte)));
                article_.picture.nibble = -1;
            }
            break;
        case Destination::Skip:
        case Destination::Numbering: break;
        }
    }

    /// A UTF-16 unit of text in the current destination.
    void Unit(char16_t unit)
    {
        switch (Dest()) {
        case Destination::Normal:
            if (!State().chars.hidden) {
                SyncRun();
                DecodeRunBytes();
                runText_.append(QChar(unit));
            }
            break;
        case Destination::MarkerText: article_.markerText.append(QChar(unit)); break;
        case Destination::NumberBefore: article_.numbering.prefix.append(QChar(unit)); break;
        case Destination::NumberAfter: article_.numbering.suffix.append(QChar(unit)); break;
        default: break;
        }
    }

    void EndParagraph()
    {
        if (Dest() != Destination::Normal)
            return;
        FlushRun();
        if (article_.pendingParagraph)
            sink_->EndParagraph(*article_.pendingParagraph);
        // Held back: the paragraph mark before the document's end makes no empty paragraph.
        article_.pendingParagraph = CurrentParagraph();
        article_.markerText.clear();
    }

    ParaProps CurrentParagraph() const
    {
        ParaProps para = groups_.back().para;
        if (para.list.style == ListStyle::None && !article_.markerText.isEmpty())
            para.list = ListFromMarker(article_.markerText);
        return para;
    }

    /// Makes the run take the current character formatting before text is added to it.
    void SyncRun()
    {
        if (article_.pendingParagraph) {
            FlushRun();
            sink_->EndParagraph(*article_.pendingParagraph);
            article_.pendingParagraph.reset();
        }
        const CharProps& chars = State().chars;
        if (chars == article_.runProps)
            return;
        FlushRun();
        article_.runProps = chars;
    }

    void DecodeRunBytes()
    {
        if (runBytes_.empty())
            return;
        CodePageFor(CodePageOfFont(article_.runProps.font)).AppendDecoded(runText_, runBytes_);
        runBytes_.clear();
    }

    void FlushRun()
    {
        DecodeRunBytes();
        Sanitize(runText_);
        if (!runText_.isEmpty())
            sink_->Text(runText_, article_.runProps, article_.tables);
        runText_.resize(0);
    }

    int CodePageOfFont(int font) const
    {
        const FontEntry* entry = article_.tables.Font(font);
        return entry && entry->codePage != 0 ? entry->codePage : article_.documentCodePage;
    }

    void EndFontEntry()
    {
        if (article_.fontIndex < 0)
            return;
        FontEntry& font = article_.tables.fonts[article_.fontIndex];
        if (!article_.fontNameBytes.empty()) {
            QString name;
            CodePageFor(font.codePage != 0 ? font.codePage : article_.documentCodePage)
                .AppendDecoded(name, article_.fontNameBytes);
            font.name = WithoutScriptSuffix(name.trimmed());
            article_.fontNameBytes.clear();
        }
        if (font.name.compare(u"Symbol", Qt::CaseInsensitive) == 0)
            font.codePage = kSymbolCodePage;
        else if (font.codePage == kSymbolCodePage && font.name.startsWith(u"Wingdings", Qt::CaseInsensitive))
            font.codePage = kWingdingsCodePage;
        article_.fontIndex = -1;
    }

    void SetColourPart(void (QColor::*set)(int), int value)
    {
        if (Dest() != Destination::ColourTable)
            return;
        (article_.colour.*set)(std::clamp(value, 0, 255));
        article_.colourGiven = true;
    }

    void ResetColour()
    {
        article_.colour = QColor(0, 0, 0);
        article_.colourGiven = false;
    }

    void SetNumbering(ListStyle style)
    {
        if (Dest() == Destination::Numbering)
            article_.numbering.style = style;
    }

    /// A PNG or JPEG picture whose size can be read is shown; any other picture is skipped.
    void EndPicture()
    {
        if (!article_.picture.known || Dest() != Destination::Normal || State().chars.hidden)
            return;
        QBuffer buffer(&article_.picture.data);
        QImageReader reader(&buffer);
        const QSize pixels = reader.size();
        if (!pixels.isValid() || pixels.isEmpty())
            return;
        // Twips of the intended size, else pixels, scaled; never beyond the largest page.
        const auto length = [](int goal, int pixels, int scale) {
            return std::min((goal > 0 ? goal / 15.0 : pixels) * scale / 100, kMaxTwips / 15.0);
        };
        const QSizeF size(length(article_.picture.widthGoal, pixels.width(), article_.picture.scaleX),
                          length(article_.picture.heightGoal, pixels.height(), article_.picture.scaleY));
        SyncRun();
        FlushRun();
        sink_->Picture(article_.picture.data, size, article_.runProps);
        article_.picture = PictureData{};
    }

    ListProps FinishedNumbering()
    {
        ListProps list = article_.numbering;
        if (list.style == ListStyle::Disc) {
            list.style = list.prefix.isEmpty() ? ListStyle::Disc : BulletStyle(list.prefix.front());
            list.prefix.clear();
            list.suffix.clear();
        }
        if (list.style == ListStyle::None)
            list = ListProps{};
        return list;
    }

    const unsigned char* p_ = nullptr;
    const unsigned char* end_ = nullptr;
    RtfSink* sink_ = nullptr;
    struct PictureData {
        QByteArray data;
        int nibble = -1; // first half of a hexadecimal byte
        bool known = false;
        int widthGoal = 0;
        int heightGoal = 0;
        int scaleX = 100;
        int scaleY = 100;
    };

    /// Everything read of the article so far; a new article starts from a fresh one.
    struct ArticleState {
        int overflow = 0; // groups opened beyond the deepest kept one
        bool done = false;
        bool ignorableNext = false;
        int fallbackLeft = 0;
        TabKind tabKind = TabKind::Left; // kind of the next tab stop

        RtfTables tables;
        int documentCodePage = kDefaultCodePage;
        int fontIndex = -1;
        std::string fontNameBytes;
        QColor colour;
        bool colourGiven = false;

        CharProps runProps;
        std::optional<ParaProps> pendingParagraph;
        PictureData picture;

        QString markerText;
        ListProps numbering;
        int numberingCodePage = kDefaultCodePage;
    };
    ArticleState article_;

    // Working buffers, emptied at each start: their memory serves the next article.
    std::vector<GroupState> groups_;
    std::string runBytes_;
    QString runText_;
};

namespace {

void ReadPlainText(QByteArrayView value, RtfSink& sink)
{
    const CodePage& codePage = CodePageFor(kDefaultCodePage);
    const CharProps chars;
    const RtfTables tables;
    const ParaProps para;
    QString line;
    qsizetype start = 0;
    for (qsizetype i = 0;; ++i) {
        const bool atEnd = i == value.size();
        if (!atEnd && value[i] != '\r' && value[i] != '\n')
            continue;
        line.resize(0);
        codePage.AppendDecoded(line, std::string_view(value.data() + start, std::size_t(i - start)));
        Sanitize(line);
        if (!line.isEmpty())
            sink.Text(line, chars, tables);
        if (atEnd)
            break;
        sink.EndParagraph(para);
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    sink.Finish(para, tables);
}

} // namespace

const FontEntry* RtfTables::Font(int index) const
{
    const auto found = fonts.find(index < 0 ? defaultFont : index);
    return found == fonts.end() ? nullptr : &found->second;
}

QColor RtfTables::Colour(int index) const
{
    return index >= 0 && std::size_t(index) < colours.size() ? colours[std::size_t(index)] : QColor();
}

bool IsRtf(QByteArrayView value)
{
    return value.startsWith("{\\rtf");
}

void ReadArticle(QByteArrayView value, RtfSink& sink)
{
    ArticleReader().Read(value, sink);
}

ArticleReader::ArticleReader() : parser_(std::make_unique<RtfParser>()) {}

ArticleReader::~ArticleReader() = default;

void ArticleReader::Read(QByteArrayView value, RtfSink& sink)
{
    if (IsRtf(value))
        parser_->Run(value, sink);
    else
        ReadPlainText(value, sink);
}

} // namespace orvela::richtext
