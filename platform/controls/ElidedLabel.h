#pragma once

#include <QLabel>

namespace orvela {

/// The beginning of a text that holds all that can be seen of it in the given width: no character is
/// drawn narrower than a pixel, so a huge text is cut before it is measured and never laid out whole.
QString VisiblePart(const QString& text, int pixels);

/// A one-line label that shows what fits of its text, ending in an ellipsis when cut. Its size hints
/// do not depend on the text, so a text of any length keeps the layout in place; the text itself is
/// kept whole.
class ElidedLabel final : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    /// What the label shows of its text in its current width.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvela
