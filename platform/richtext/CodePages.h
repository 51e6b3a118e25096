#pragma once

#include <QString>
#include <array>
#include <string_view>

namespace orvela::richtext {

/// Pseudo code pages of the symbol-charset fonts, whose bytes name glyphs rather than letters.
inline constexpr int kSymbolCodePage = 42;
inline constexpr int kWingdingsCodePage = -42;
/// The catalogue's own code page and the one an article uses when it names none.
inline constexpr int kDefaultCodePage = 1250;

/// Code page of a font's \fcharset; 0 when the font follows the document's code page.
int CodePageOfCharset(int charset);

/// Decoder for one code page. Single-byte pages decode through a table built once; multi-byte pages
/// (Far East) decode whole byte runs, so a lead byte and its trail byte form one character.
class CodePage final {
public:
    explicit CodePage(int number);

    int Number() const { return number_; }
    bool IsMultiByte() const { return multiByte_; }
    char16_t ByteToUnicode(unsigned char byte) const { return table_[byte]; }
    void AppendDecoded(QString& out, std::string_view bytes) const;

private:
    int number_;
    bool multiByte_ = false;
    std::array<char16_t, 256> table_{};
};

/// The decoder of a code page, kept for the life of the process. An unknown page decodes as windows-1250.
const CodePage& CodePageFor(int number);

} // namespace orvela::richtext
