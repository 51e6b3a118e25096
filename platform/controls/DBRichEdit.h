#pragma once

#include "platform/controls/DataFieldControl.h"
#include "platform/richtext/SearchText.h"

#include <QByteArray>
#include <optional>
#include <QTextEdit>

namespace orvela {

/// Read-only view of a rich-text (RTF) field of the current record, with the text search the
/// article search needs. The formatted document is built only when it is seen or asked for, so a
/// hidden view follows a fast-moving cursor cheaply.
class DBRichEdit final : public QTextEdit, public DataFieldControl {
public:
    explicit DBRichEdit(QWidget* parent = nullptr);

    QColor Color() const;
    void SetColor(const QColor& color);

    /// The field's stored bytes for the current record.
    const QByteArray& Value() const;

    /// Whether the text the view shows for the field's current value holds `text`, case ignored, found
    /// without loading the value into the view: for a scan of many records that the view does not follow.
    /// The articles' text is kept, so a scan repeated over the catalogue reads no article twice.
    bool ValueShowsText(const Field& field, const QString& text) const;

    /// The formatted document of the current value (built now when still pending), e.g. for printing.
    QTextDocument* Document();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Refresh();
    void TakeValue() const;
    void BringUpToDate();
    void BuildDocument();

    // The value is decoded and its text worked out only when asked for.
    mutable std::optional<Field> field_;
    mutable QByteArray stored_; // the stored (undecoded) value the view shows
    mutable bool refreshPending_ = false;
    mutable QByteArray value_;
    mutable bool valuePending_ = false;
    mutable bool documentPending_ = false;
    mutable bool loaded_ = false;
    mutable richtext::ArticleTexts searchTexts_;
    mutable QString searchText_;
    mutable QByteArray searchPattern_; // searchText_ folded
    mutable QByteArray scanBytes_;     // the value of the record scanned, decoded
};

} // namespace orvela
