#include "platform/controls/DBText.h"

namespace orvela {

DBText::DBText(QWidget* parent) : QLabel(parent), DataFieldControl([this] { Refresh(); })
{
    setTextFormat(Qt::PlainText);
}

void DBText::Refresh()
{
    const std::optional<Field> field = CurrentField();
    setText(field ? field->AsString() : QString());
}

} // namespace orvela
