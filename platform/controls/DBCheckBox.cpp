#include "platform/controls/DBCheckBox.h"

#include "platform/controls/Look.h"

#include <QPainter>

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
    return color_.isValid() ? color_ : RoleColor(*this, backgroundRole());
}

void DBCheckBox::SetColor(const QColor& color)
{
    // Painted here rather than through the palette: a palette change restyles the box, and the
    // 31 trait boxes change colour on most selection changes.
    if (color == color_)
        return;
    color_ = color;
    update();
}

void DBCheckBox::paintEvent(QPaintEvent* event)
{
    if (color_.isValid()) {
        QPainter painter(this);
        painter.fillRect(rect(), color_);
    }
    QCheckBox::paintEvent(event);
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
