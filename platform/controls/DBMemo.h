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

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Refresh();
    void Show(const QString& text);

    // While hidden the memo only remembers that its note changed: laying out a note that nobody sees
    // would cost more than the rest of a selection change (a text search passes every species).
    bool stale_ = false;
    QString shown_;
};

} // namespace orvela
