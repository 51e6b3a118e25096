#pragma once

#include <QGroupBox>

namespace orvela {

/// A group box whose frame line runs through the middle of its caption, so that children placed by
/// their distance from the box's top edge stand clear of the line, whatever the style draws.
class GroupBox final : public QGroupBox {
public:
    explicit GroupBox(QWidget* parent = nullptr);

    /// The row of the frame's top line.
    int FrameTop() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvela
