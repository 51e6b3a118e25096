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
    const std::optional<Field> field = CurrentField();
    const QString text = field ? FieldText(*field) : QString();
    // The same note shown again keeps its scroll position.
    if (text != toPlainText())
        setPlainText(text);
}

} // namespace orvela
