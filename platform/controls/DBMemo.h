#pragma once

#include "platform/controls/DataFieldControl.h"

#include <QPlainTextEdit>

namespace orvela {

/// Read-only multi-line view of a text field or text blob of the current record.
class DBMemo final : public QPlainTextEdit, public DataFieldControl {
public:
    explicit DBMemo(QWidget* parent = nullptr);

    QColor Color() const;
    void SetColor(const QColor& color);

private:
    void Refresh();
};

} // namespace orvela
