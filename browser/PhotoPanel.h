#pragma once

#include "platform/jpeg/JpegImage.h"

#include <QFrame>
#include <optional>

class QScrollBar;

namespace orvela {

/// The photo, drawn scaled to the widget's own size; its bounds are set by the layout.
class PhotoImage final : public QWidget {
public:
    explicit PhotoImage(QWidget* parent = nullptr);

    /// Shows the photo of that file; an empty name shows none. Never raises: a photo that cannot be read
    /// (now, or when its pixels are decoded) is shown as unreadable in the panel, and whatever led to it
    /// goes on.
    void Load(const QString& fileName);
    /// Natural size of the photo; empty when there is none or its header cannot be read.
    QSize PictureSize() const;
    /// "Fotografii nelze zobrazit." and the picture library's reason; empty while the photo can be shown.
    const QString& Unreadable() const { return unreadable_; }

    /// Fills the panel's area inside the bevel, less the visible scroll bars (or keeps its bounds).
    bool AlignClient() const { return alignClient_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class PhotoPanel;
    void SetUnreadable(const std::exception& error);

    std::optional<JpegImage> picture_;
    QString unreadable_;
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
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The area inside the bevel less the visible scroll bars.
    QRect ClientRect() const;

    static constexpr int kBevel = 1;
    static constexpr int kBarThickness = 16;
};

} // namespace orvela
