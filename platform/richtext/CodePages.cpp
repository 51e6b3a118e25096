#include "platform/richtext/CodePages.h"

#include <unicode/ucnv.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace orvela::richtext {

namespace {

// Symbol font glyphs 0x20-0x7E and 0xA0-0xFE by their Unicode meaning; 0 leaves the byte as Latin-1.
constexpr char16_t kSymbolLow[0x5F] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C,
    0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039,
    0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6,
    0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1, 0x03A3,
    0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F, 0x203E,
    0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC,
    0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6,
    0x007B, 0x007C, 0x007D, 0x223C};
constexpr char16_t kSymbolHigh[0x5F] = {
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190,
    0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260,
    0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205,
    0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9,
    0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA,
    0x27E8, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8,
    0x23A9, 0x23AA, 0,      0x27E9, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5,
    0x23A6, 0x23AB, 0x23AC, 0x23AD};

// The Wingdings glyphs that list bullets use.
constexpr std::pair<unsigned char, char16_t> kWingdings[] = {
    {0x6C, 0x25CF}, {0x6E, 0x25A0}, {0x6F, 0x25A1}, {0x71, 0x2751}, {0x75, 0x25C6}, {0x76, 0x2756},
    {0x9F, 0x2022}, {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2}, {0xE0, 0x27A4}, {0xFC, 0x2713},
    {0xFB, 0x2717}, {0xFE, 0x2611}};

std::unique_ptr<UConverter, decltype(&ucnv_close)> OpenConverter(int number)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(
        ucnv_open(("windows-" + std::to_string(number)).c_str(), &status), &ucnv_close);
    // Only byte-oriented pages: a page of 16- or 32-bit units is no Windows code page.
    if (U_FAILURE(status) || !converter || ucnv_getMinCharSize(converter.get()) != 1)
        converter.reset();
    return converter;
}

} // namespace

int CodePageOfCharset(int charset)
{
    switch (charset) {
    case 2: return kSymbolCodePage;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0; // ANSI, default and anything unknown follow the document
    }
}

CodePage::CodePage(int number) : number_(number)
{
    for (int byte = 0; byte < 256; ++byte)
        table_[byte] = char16_t(byte);
    if (number == kSymbolCodePage || number == kWingdingsCodePage) {
        if (number == kSymbolCodePage) {
            for (int byte = 0x20; byte < 0x7F; ++byte)
                table_[byte] = kSymbolLow[byte - 0x20];
            for (int byte = 0xA0; byte < 0xFF; ++byte)
                if (kSymbolHigh[byte - 0xA0])
                    table_[byte] = kSymbolHigh[byte - 0xA0];
        } else {
            for (auto [byte, unicode] : kWingdings)
                table_[byte] = unicode;
        }
        return;
    }
    auto converter = OpenConverter(number);
    if (!converter) {
        number_ = kDefaultCodePage;
        converter = OpenConverter(kDefaultCodePage);
    }
    if (ucnv_getMaxCharSize(converter.get()) > 1) {
        multiByte_ = true;
        return;
    }
    for (int byte = 0; byte < 256; ++byte) {
        const char in = char(byte);
        UChar out[4];
        UErrorCode status = U_ZERO_ERROR;
        const int length = ucnv_toUChars(converter.get(), out, 4, &in, 1, &status);
        table_[byte] = U_SUCCESS(status) && length == 1 ? char16_t(out[0]) : char16_t(0xFFFD);
    }
}

void CodePage::AppendDecoded(QString& out, std::string_view bytes) const
{
    if (!multiByte_) {
        const qsizetype start = out.size();
        out.resize(start + qsizetype(bytes.size()));
        QChar* target = out.data() + start;
        for (unsigned char byte : bytes)
            *target++ = QChar(table_[byte]);
        return;
    }
    auto converter = OpenConverter(number_);
    UErrorCode status = U_ZERO_ERROR;
    // Room for every byte as a surrogate pair: no page yields more.
    const qsizetype start = out.size();
    const int capacity = int(bytes.size()) * 2 + 2;
    out.resize(start + capacity);
    const int length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(out.data() + start), capacity,
                                     bytes.data(), int(bytes.size()), &status);
    out.resize(start + (U_SUCCESS(status) || status == U_STRING_NOT_TERMINATED_WARNING ? length : 0));
}

const CodePage& CodePageFor(int number)
{
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CodePage>> pages;
    std::lock_guard lock(mutex);
    // Broken input can name any number of pages; past a sane count they all decode as the default.
    if (pages.size() >= 64 && !pages.contains(number))
        number = kDefaultCodePage;
    auto& page = pages[number];
    if (!page)
        page = std::make_unique<CodePage>(number);
    return *page;
}

} // namespace orvela::richtext
