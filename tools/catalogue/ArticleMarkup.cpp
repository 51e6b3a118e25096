#include "tools/catalogue/ArticleMarkup.h"

#include "tools/catalogue/Rtf.h"
#include "tools/catalogue/SourceError.h"

#include <utility>
#include <vector>

namespace orvela::catalogue {

namespace {

struct Span {
    QString text;
    bool bold = false;
    bool italic = false;
};

struct Block {
    enum Kind { Title, Paragraph, Bullet } kind = Paragraph;
    bool afterBlankLine = false;
    std::vector<Span> spans;
};

void Append(std::vector<Span>& spans, const QString& text, bool bold, bool italic)
{
    if (text.isEmpty())
        return;
    if (!spans.empty() && spans.back().bold == bold && spans.back().italic == italic)
        spans.back().text += text;
    else
        spans.push_back({text, bold, italic});
}

/// Emphasis must close on the line that opens it, so that a stray star is reported where it stands.
void ParseInline(QStringView line, std::vector<Span>& spans, const QString& file, int lineNumber)
{
    bool bold = false;
    bool italic = false;
    QString current;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'\\' && i + 1 < line.size() && line[i + 1] == u'*') {
            current += u'*';
            ++i;
        } else if (c == u'*') {
            Append(spans, current, bold, italic);
            current.clear();
            if (i + 1 < line.size() && line[i + 1] == u'*') {
                bold = !bold;
                ++i;
            } else {
                italic = !italic;
            }
        } else {
            current += c;
        }
    }
    Append(spans, current, bold, italic);
    if (bold || italic)
        throw SourceError(file, lineNumber, QStringLiteral("emphasis opened with '%1' is not closed on this line")
                                                .arg(bold ? QStringLiteral("**") : QStringLiteral("*")));
}

std::vector<Block> Parse(const QStringList& lines, const QString& file, int firstLine)
{
    std::vector<Block> blocks;
    bool open = false; // the last block still takes lines
    bool blank = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const int lineNumber = firstLine + static_cast<int>(i);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            open = false;
            blank = true;
            continue;
        }
        const bool indented = line.front().isSpace();
        if (trimmed.startsWith(u'#') && !indented) {
            if (!trimmed.startsWith(QStringLiteral("# ")))
                throw SourceError(file, lineNumber, QStringLiteral("a title line reads '# text'"));
            blocks.push_back({Block::Title, std::exchange(blank, false), {}});
            ParseInline(QStringView(trimmed).mid(2).trimmed(), blocks.back().spans, file, lineNumber);
            open = false;
            continue;
        }
        if (trimmed.startsWith(QStringLiteral("- ")) && !indented) {
            blocks.push_back({Block::Bullet, std::exchange(blank, false), {}});
            ParseInline(QStringView(trimmed).mid(2).trimmed(), blocks.back().spans, file, lineNumber);
            open = true;
            continue;
        }
        const bool continuesBullet = open && blocks.back().kind == Block::Bullet && indented;
        const bool continuesParagraph = open && blocks.back().kind == Block::Paragraph;
        if (continuesBullet || continuesParagraph) {
            Append(blocks.back().spans, QStringLiteral(" "), false, false);
        } else {
            blocks.push_back({Block::Paragraph, std::exchange(blank, false), {}});
            open = true;
        }
        ParseInline(trimmed, blocks.back().spans, file, lineNumber);
    }
    if (blocks.empty())
        throw SourceError(file, firstLine, QStringLiteral("the article is empty"));
    return blocks;
}

} // namespace

QByteArray MarkupToRtf(const QStringList& lines, const QString& file, int firstLine)
{
    RtfWriter rtf;
    for (const Block& block : Parse(lines, file, firstLine)) {
        QString plain;
        switch (block.kind) {
        case Block::Title:
            for (const Span& span : block.spans)
                plain += span.text;
            rtf.Title(plain);
            continue;
        case Block::Paragraph:
            rtf.BeginParagraph(block.afterBlankLine);
            break;
        case Block::Bullet:
            rtf.BeginBullet(block.afterBlankLine);
            break;
        }
        for (const Span& span : block.spans)
            rtf.Run(span.text, span.bold, span.italic);
        rtf.EndParagraph();
    }
    return rtf.Finish();
}

QString MarkupToPlainText(const QStringList& lines)
{
    QStringList paragraphs;
    for (const Block& block : Parse(lines, {}, 1)) {
        QString text;
        for (const Span& span : block.spans)
            text += span.text;
        paragraphs << text;
    }
    return paragraphs.join(u'\n');
}

} // namespace orvela::catalogue
