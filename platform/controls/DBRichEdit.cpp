#include "platform/controls/DBRichEdit.h"

#include "platform/controls/Look.h"
#include "platform/richtext/RichText.h"

#include <QWindow>

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
    // A hidden view takes the value only when it is shown or asked for: a huge article costs nothing before.
    refreshPending_ = true;
    if (isVisible())
        BringUpToDate();
}

void DBRichEdit::TakeValue() const
{
    refreshPending_ = false;
    field_ = CurrentField();
    const QByteArrayView stored = field_ ? field_->StoredValue() : QByteArrayView();
    // Told again about the same value (a post of another field, a re-sort), there is nothing to redo.
    if (loaded_ && stored == QByteArrayView(stored_))
        return;
    loaded_ = true;
    stored_ = stored.toByteArray();
    valuePending_ = true;
    documentPending_ = true;
}

void DBRichEdit::BringUpToDate()
{
    if (refreshPending_)
        TakeValue();
    if (documentPending_)
        BuildDocument();
}

const QByteArray& DBRichEdit::Value() const
{
    if (refreshPending_)
        TakeValue();
    if (valuePending_) {
        value_ = field_ ? field_->AsBytes() : QByteArray();
        valuePending_ = false;
    }
    return value_;
}

bool DBRichEdit::ValueShowsText(const Field& field, const QString& text) const
{
    if (text != searchText_) {
        searchText_ = text;
        searchPattern_ = richtext::FoldedText(text);
    }
    return searchTexts_.Contains(field.StoredValue(), [&] { return field.ReadBytes(scanBytes_); }, searchPattern_);
}

QTextDocument* DBRichEdit::Document()
{
    BringUpToDate();
    return document();
}

void DBRichEdit::showEvent(QShowEvent* event)
{
    // Shown along with a window that is not on screen yet: the window's first show may still bring
    // another page to the front, so the article waits until that is over and is built only if seen.
    const QWindow* onScreen = window()->windowHandle();
    if (onScreen && onScreen->isVisible())
        BringUpToDate();
    else
        QMetaObject::invokeMethod(this, [this] {
            if (isVisible())
                BringUpToDate();
        }, Qt::QueuedConnection);
    QTextEdit::showEvent(event);
}

void DBRichEdit::BuildDocument()
{
    if (refreshPending_)
        TakeValue();
    documentPending_ = false;
    richtext::LoadArticle(*document(), Value());
    moveCursor(QTextCursor::Start);
}

} // namespace orvela
