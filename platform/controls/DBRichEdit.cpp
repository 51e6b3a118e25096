#include "platform/controls/DBRichEdit.h"

#include "platform/controls/Look.h"
#include "platform/richtext/RichText.h"

namespace orvela {

DBRichEdit::DBRichEdit(QWidget* parent) : QTextEdit(parent), DataFieldControl([this] { Refresh(); })
{
    SetUpReadOnlyView(*this);
    setUndoRedoEnabled(false);
    setFont(richtext::ArticleFont());
}

QColor DBRichEdit::Color() const
{
    return RoleColor(*this, QPalette::Base);
}

void DBRichEdit::SetColor(const QColor& color)
{
    SetRoleColor(*this, QPalette::Base, color);
}

void DBRichEdit::Refresh()
{
    const std::optional<Field> field = CurrentField();
    QByteArray value = field ? field->AsBytes() : QByteArray();
    // Told again about the same value (a post of another field, a re-sort), there is nothing to redo.
    if (loaded_ && value == value_)
        return;
    loaded_ = true;
    value_ = std::move(value);
    textPending_ = true;
    documentPending_ = true;
    if (isVisible())
        BuildDocument();
}

const QString& DBRichEdit::Text() const
{
    if (textPending_) {
        text_ = richtext::ArticleText(value_);
        textPending_ = false;
    }
    return text_;
}

int DBRichEdit::GetTextLen() const
{
    return static_cast<int>(Text().size());
}

int DBRichEdit::FindText(const QString& text, int start, int end) const
{
    const QString& shown = Text();
    if (end < 0 || end > shown.size())
        end = static_cast<int>(shown.size());
    start = std::max(start, 0);
    if (text.isEmpty() || end - start < text.size())
        return -1;
    const qsizetype found = richtext::FindText(QStringView(shown).sliced(start, end - start), text);
    return found < 0 ? -1 : start + static_cast<int>(found);
}

QTextDocument* DBRichEdit::Document()
{
    if (documentPending_)
        BuildDocument();
    return document();
}

void DBRichEdit::showEvent(QShowEvent* event)
{
    if (documentPending_)
        BuildDocument();
    QTextEdit::showEvent(event);
}

void DBRichEdit::BuildDocument()
{
    documentPending_ = false;
    richtext::LoadArticle(*document(), value_);
    moveCursor(QTextCursor::Start);
}

} // namespace orvela
