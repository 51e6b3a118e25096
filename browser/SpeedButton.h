#pragma once

#include <QToolButton>
#include <functional>

namespace orvela {

/// A button of a group in which exactly one is down. Its caption's accelerator runs the click
/// handler without changing which button is down.
class SpeedButton final : public QToolButton {
public:
    explicit SpeedButton(QWidget* parent = nullptr);

    /// Runs on a click (after the button went down) and on the accelerator.
    std::function<void()> OnClick;

protected:
    bool event(QEvent* event) override;
    void nextCheckState() override;
};

} // namespace orvela
