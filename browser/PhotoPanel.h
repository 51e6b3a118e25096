#pragma once

#include <QFrame>
#include <QImage>
#include <functional>

class QScrollBar;

namespace orvela {

/// The photo, drawn scaled to the widget's own size; its bounds are set by the layout.
class PhotoImage final : public QWidget {
public:
    using Renderer = std::function<QImage(const QSize& size)>;

    explicit PhotoImage(QWidget* parent = nullptr);

    /// The picture to draw; the renderer decodes it for the size asked.
    void SetRenderer(Renderer renderer);

    /// Fills the panel's area inside the bevel, less the visible scroll bars (or keeps its bounds).
    bool AlignClient() const { return alignClient_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class PhotoPanel;
    Renderer renderer_;
    bool alignClient_ = true;
};

/// Dark panel with a 1-pixel raised bevel holding the photo and its two scroll bars, placed as
/// aligned children: the horizontal bar along the bottom, the vertical one at the right above it.
class PhotoPanel final : public QFrame {
public:
    explicit PhotoPanel(QWidget* parent = nullptr);

    PhotoImage* Image1;
    QScrollBar* ScrollBar1; // horizontal
    QScrollBar* ScrollBar2; // vertical

    /// Aligns the photo to the client area at once (as the layout does before it measures).
    void SetImageAlignClient(bool alignClient);
    /// Re-places the aligned children for the current size and scroll bar visibility.
    void Realign();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int kBevel = 1;
    static constexpr int kBarThickness = 16;
};

} // namespace orvela
