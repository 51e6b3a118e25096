#include "tools/catalogue/Rtf.h"

#include <QHash>
#include <unicode/ucnv.h>

namespace orvela::catalogue {

namespace {

/// Upper half of windows-1250, read from ICU's own table so that no byte is mistyped here.
const QHash<char16_t, char>& Windows1250UpperHalf()
{
    static const QHash<char16_t, char> table = [] {
        QHash<char16_t, char> result;
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open("windows-1250", &status);
        if (U_FAILURE(status))
            return result;
        for (int byte = 0x80; byte <= 0xFF; ++byte) {
            const char in = static_cast<char>(byte);
            UChar out[4];
            status = U_ZERO_ERROR;
            const int32_t length = ucnv_toUChars(converter, out, 4, &in, 1, &status);
            if (U_SUCCESS(status) && length == 1 && out[0] != 0xFFFD && out[0] != 0x1A)
                result.insert(out[0], in);
        }
        ucnv_close(converter);
        return result;
    }();
    return table;
}

} // namespace

bool EncodeWindows1250(const QString& text, QByteArray* bytes)
{
    bytes->clear();
    bytes->reserve(text.size());
    const auto& upper = Windows1250UpperHalf();
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            bytes->append(static_cast<char>(c.unicode()));
            continue;
        }
        const auto found = upper.constFind(c.unicode());
        if (found == upper.cend())
            return false;
        bytes->append(found.value());
    }
    return true;
}

RtfWriter::RtfWriter()
{
    rtf_ = "{\\rtf1\\ansi\\ansicpg1250\\deff0\\deflang1029{\\fonttbl{\\f0\\fnil\\fcharset238 Arial;}"
           "{\\f1\\fnil\\fcharset2 Symbol;}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs20";
    needsDelimiter_ = true;
}

void RtfWriter::Control(const char* word)
{
    rtf_ += word;
    needsDelimiter_ = true;
}

void RtfWriter::Text(const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    const auto& upper = Windows1250UpperHalf();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\t') {
            Control("\\tab");
            continue;
        }
        if (u < 0x20)
            continue;
        if (needsDelimiter_) {
            rtf_ += ' ';
            needsDelimiter_ = false;
        }
        if (u == '\\' || u == '{' || u == '}') {
            rtf_ += '\\';
            rtf_ += static_cast<char>(u);
        } else if (u < 0x80) {
            rtf_ += static_cast<char>(u);
        } else if (const auto found = upper.constFind(u); found != upper.cend()) {
            const auto byte = static_cast<unsigned char>(found.value());
            rtf_ += "\\'";
            rtf_ += hex[byte >> 4];
            rtf_ += hex[byte & 0xF];
        } else {
            // Outside the code page: a Unicode escape with "?" for readers that do not know \u.
            rtf_ += "\\u" + QByteArray::number(static_cast<qint16>(u)) + '?';
        }
    }
}

void RtfWriter::Title(const QString& text)
{
    BeginParagraph();
    Control("\\b\\fs28");
    Text(text);
    Control("\\b0\\fs20");
    EndParagraph();
}

void RtfWriter::BeginParagraph(bool separated)
{
    if (inList_) {
        Control("\\pard");
        inList_ = false;
    }
    if (separated && !firstBlock_)
        ParagraphMark();
    firstBlock_ = false;
}

void RtfWriter::BeginBullet(bool separated)
{
    if (!inList_) {
        if (separated && !firstBlock_)
            ParagraphMark();
        firstBlock_ = false;
        inList_ = true;
        Control("{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}\\fi-360\\li360");
    } else {
        Control("{\\pntext\\f1\\'b7\\tab}");
        needsDelimiter_ = false;
    }
}

void RtfWriter::Run(const QString& text, bool bold, bool italic)
{
    if (bold != bold_)
        Control(bold ? "\\b" : "\\b0");
    if (italic != italic_)
        Control(italic ? "\\i" : "\\i0");
    bold_ = bold;
    italic_ = italic;
    Text(text);
}

void RtfWriter::EndParagraph()
{
    Run({}, false, false);
    ParagraphMark();
}

void RtfWriter::ParagraphMark()
{
    // The line break ends the control word; a blank after it would be text.
    rtf_ += "\\par\r\n";
    needsDelimiter_ = false;
}

QByteArray RtfWriter::Finish()
{
    if (inList_)
        Control("\\pard");
    rtf_ += "}\r\n";
    QByteArray result;
    result.swap(rtf_);
    *this = RtfWriter();
    return result;
}

} // namespace orvela::catalogue
