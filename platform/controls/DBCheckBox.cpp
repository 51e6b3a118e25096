#include "platform/controls/DBCheckBox.h"

#include "platform/controls/Look.h"

namespace orvela {

DBCheckBox::DBCheckBox(const QString& caption, QWidget* parent)
    : QCheckBox(caption, parent), DataFieldControl([this] { Refresh(); })
{
    setTristate(true);
    setCheckState(Qt::Unchecked);
    setFocusPolicy(Qt::NoFocus);
}

QColor DBCheckBox::Color() const
{
    return RoleColor(*this, backgroundRole());
}

void DBCheckBox::SetColor(const QColor& color)
{
    SetRoleColor(*this, backgroundRole(), color);
    setAutoFillBackground(true);
}

// Read-only: no press lands on the button, and a mnemonic click leaves the state as it is.
bool DBCheckBox::hitButton(const QPoint&) const
{
    return false;
}

void DBCheckBox::nextCheckState() {}

void DBCheckBox::Refresh()
{
    const std::optional<Field> field = CurrentField();
    // Unbound it stays unchecked; bound, a missing value (or record) is the third state.
    Qt::CheckState state = Qt::Unchecked;
    if (field)
        state = field->IsNull() ? Qt::PartiallyChecked : field->AsBoolean() ? Qt::Checked : Qt::Unchecked;
    if (state == checkState())
        return;
    setCheckState(state);
    if (OnClick)
        OnClick(this);
}

} // namespace orvela
