#pragma once

#include <QByteArray>
#include <QString>

namespace orvela::catalogue {

/// Bytes of the text in windows-1250; false when a character has no byte there.
bool EncodeWindows1250(const QString& text, QByteArray* bytes);

/// Writes an article the way a Windows rich-text control saves it: windows-1250 text as \'hh bytes,
/// Arial in the East European character set, bullets as \pntext groups.
class RtfWriter final {
public:
    RtfWriter();

    void Title(const QString& text);
    /// Starts a paragraph; separated: an empty paragraph goes before it, as a blank line between
    /// paragraphs. A bullet continues the list it follows.
    void BeginParagraph(bool separated = true);
    void BeginBullet(bool separated = true);
    void Run(const QString& text, bool bold = false, bool italic = false);
    void EndParagraph();

    /// Closes the document and returns it; the writer is empty afterwards.
    QByteArray Finish();
    qsizetype Size() const { return rtf_.size(); }

private:
    void Control(const char* word);
    void Text(const QString& text);
    void ParagraphMark();

    QByteArray rtf_;
    bool needsDelimiter_ = false;
    bool inList_ = false;
    bool firstBlock_ = true;
    bool bold_ = false;
    bool italic_ = false;
};

} // namespace orvela::catalogue
