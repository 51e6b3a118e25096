#include "platform/controls/DBMemo.h"

#include "platform/controls/FieldText.h"
#include "platform/controls/Look.h"

namespace orvela {

DBMemo::DBMemo(QWidget* parent) : QPlainTextEdit(parent), DataFieldControl([this] { Refresh(); })
{
    SetUpReadOnlyView(*this);
}

QColor DBMemo::Color() const
{
    return RoleColor(*this, QPalette::Base);
}

void DBMemo::SetColor(const QColor& color)
{
    SetRoleColor(*this, QPalette::Base, color);
}

void DBMemo::Refresh()
{
    if (!isVisible()) {
        stale_ = true;
        return;
    }
    const std::optional<Field> field = CurrentField();
    Show(field ? FieldText(*field) : QString());
}

void DBMemo::Show(const QString& text)
{
    stale_ = false;
    // The same note shown again keeps its scroll position.
    if (text == shown_)
        return;
    shown_ = text;
    setPlainText(text);
}

void DBMemo::showEvent(QShowEvent* event)
{
    if (stale_)
        Refresh();
    QPlainTextEdit::showEvent(event);
}

} // namespace orvela
