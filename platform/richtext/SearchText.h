#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <functional>
#include <memory>

namespace orvela::richtext {

/// Text folded for the case-ignoring search, each character as Qt's case-insensitive comparison folds
/// it (Č as č), written as UTF-8: one folded text holds another exactly where the unfolded text holds
/// the other with case ignored.
QByteArray FoldedText(QStringView text);

/// The folded text of an article as ArticleText gives it, without an intermediate string.
QByteArray FoldedArticleText(QByteArrayView value);

/// The articles' folded text, kept compactly (about a byte a character for Czech text) by the stored
/// value it came from, so that a search repeated over a catalogue reads no article again. Beyond its
/// memory limit articles are read again each time.
class ArticleTexts final {
public:
    explicit ArticleTexts(qsizetype limitBytes = qsizetype(768) << 20);
    ~ArticleTexts();
    ArticleTexts(const ArticleTexts&) = delete;
    ArticleTexts& operator=(const ArticleTexts&) = delete;

    /// Whether the article holds the folded pattern. key: the article as stored, which tells articles
    /// apart; article: its bytes (rich or plain text), asked for only when its text is not kept.
    bool Contains(QByteArrayView key, const std::function<QByteArrayView()>& article, QByteArrayView pattern);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orvela::richtext
