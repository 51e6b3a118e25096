#pragma once

#include "platform/controls/DataFieldControl.h"

#include <QCheckBox>
#include <functional>

namespace orvela {

/// Read-only check box of a Boolean field: true checked, false unchecked, no value (or no record)
/// indeterminate; unbound or closed, unchecked.
class DBCheckBox final : public QCheckBox, public DataFieldControl {
public:
    explicit DBCheckBox(QWidget* parent = nullptr) : DBCheckBox(QString(), parent) {}
    explicit DBCheckBox(const QString& caption, QWidget* parent = nullptr);

    Qt::CheckState State() const { return checkState(); }
    bool Checked() const { return checkState() == Qt::Checked; }

    /// The background; by default the parent's.
    QColor Color() const;
    void SetColor(const QColor& color);

    /// The click event: raised when the shown state changes because the record changed,
    /// never by the user's mouse or keyboard.
    std::function<void(DBCheckBox*)> OnClick;

protected:
    bool hitButton(const QPoint& pos) const override;
    void nextCheckState() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Refresh();

    QColor color_; // invalid: the parent's background

};

} // namespace orvela
