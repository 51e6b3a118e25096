#include "platform/richtext/SearchText.h"

#include "platform/memory/HugePages.h"
#include "platform/richtext/RtfReader.h"

#include <array>
#include <cstring>
#include <string.h>
#include <optional>
#include <unordered_map>
#include <vector>

namespace orvela::richtext {

namespace {

/// Qt's folding of every UTF-16 unit, looked up once.
const std::array<char16_t, 0x10000>& FoldTable()
{
    static const auto table = [] {
        auto folds = std::make_unique<std::array<char16_t, 0x10000>>();
        for (char32_t u = 0; u < 0x10000; ++u)
            (*folds)[u] = char16_t(QChar::toCaseFolded(u));
        return folds;
    }();
    return *table;
}

/// Appends text folded and written as UTF-8 to a buffer whose memory serves again. A surrogate pair
/// becomes its folded code point; a lone surrogate is written as it stands (three bytes).
class FoldedWriter {
public:
    explicit FoldedWriter(QByteArray& out) : out_(out), folds_(FoldTable()) {}

    /// shownBreaks: a line separator and a no-break space are written as the view reports them, a
    /// line break and a space.
    void Append(QStringView text, bool shownBreaks)
    {
        const qsizetype used = out_.size();
        out_.resize(used + 3 * text.size() + 4);
        char* p = out_.data() + used;
        for (const QChar c : text) {
            char16_t u = c.unicode();
            if (u < 0x80 && !high_) {
                *p++ = char(folds_[u]);
                continue;
            }
            if (shownBreaks && u == QChar::LineSeparator)
                u = u'\n';
            else if (shownBreaks && u == QChar::Nbsp)
                u = u' ';
            p = Put(p, u);
        }
        out_.resize(p - out_.data());
    }

    void Finish()
    {
        if (high_) {
            const qsizetype used = out_.size();
            out_.resize(used + 3);
            Encode(out_.data() + used, std::exchange(high_, 0));
        }
    }

private:
    char* Put(char* p, char16_t unit)
    {
        if (high_) {
            const char16_t high = std::exchange(high_, 0);
            if (QChar::isLowSurrogate(unit))
                return Encode(p, QChar::toCaseFolded(QChar::surrogateToUcs4(high, unit)));
            p = Encode(p, high);
        }
        if (QChar::isHighSurrogate(unit)) {
            high_ = unit;
            return p;
        }
        return Encode(p, folds_[unit]);
    }

    static char* Encode(char* p, char32_t c)
    {
        if (c < 0x80) {
            *p++ = char(c);
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        } else {
            *p++ = char(0xF0 | (c >> 18));
            *p++ = char(0x80 | ((c >> 12) & 0x3F));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
        return p;
    }

    QByteArray& out_;
    const std::array<char16_t, 0x10000>& folds_;
    char16_t high_ = 0; // the first half of a pair, waiting for the second
};

/// The article's shown text as ArticleText gives it, folded on the way.
class FoldingSink final : public RtfSink {
public:
    explicit FoldingSink(QByteArray& out) : writer_(out) {}

    void Text(QStringView text, const CharProps&, const RtfTables&) override { writer_.Append(text, true); }
    void Picture(const QByteArray&, QSizeF, const CharProps&) override
    {
        const QChar object = QChar::ObjectReplacementCharacter;
        writer_.Append(QStringView(&object, 1), true);
    }
    void EndParagraph(const ParaProps&) override { writer_.Append(u"\n", true); }
    void Finish(const ParaProps&, const RtfTables&) override { writer_.Finish(); }

private:
    FoldedWriter writer_;
};

bool Holds(QByteArrayView text, QByteArrayView pattern)
{
    return !pattern.isEmpty() &&
           memmem(text.data(), std::size_t(text.size()), pattern.data(), std::size_t(pattern.size())) != nullptr;
}

} // namespace

QByteArray FoldedText(QStringView text)
{
    QByteArray out;
    FoldedWriter writer(out);
    writer.Append(text, false);
    writer.Finish();
    return out;
}

QByteArray FoldedArticleText(QByteArrayView value)
{
    QByteArray out;
    FoldingSink sink(out);
    ReadArticle(value, sink);
    return out;
}

struct ArticleTexts::Impl {
    /// Two differently seeded hashes and the length: values that collide on all three do not occur in practice.
    struct Key {
        size_t first;
        size_t second;
        qsizetype size;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const { return key.first; }
    };
    explicit Impl(qsizetype limit) : limit(limit) {}

    /// Copies the text into the arena; an empty view when it is full. The arena asks for huge pages: first
    /// touch of fresh memory costs much more page by page.
    QByteArrayView Keep(QByteArrayView text)
    {
        if (!arena)
            arena.emplace(std::size_t(limit));
        char* at = static_cast<char*>(arena->Allocate(std::size_t(text.size())));
        if (!at)
            return {};
        std::memcpy(at, text.data(), std::size_t(text.size()));
        kept += text.size();
        return {at, text.size()};
    }

    qsizetype limit;
    qsizetype kept = 0;
    std::unordered_map<Key, QByteArrayView, KeyHash> texts;
    std::optional<memory::HugePageArena> arena; // made when the first text is kept
    ArticleReader reader;
    QByteArray scratch; // the text of the article read last; its memory serves the next one
};

ArticleTexts::ArticleTexts(qsizetype limitBytes) : d(std::make_unique<Impl>(limitBytes)) {}

ArticleTexts::~ArticleTexts() = default;

bool ArticleTexts::Contains(QByteArrayView key, const std::function<QByteArrayView()>& article, QByteArrayView pattern)
{
    const Impl::Key digest{qHash(key, 0x9e3779b97f4a7c15u), qHash(key, 0xc2b2ae3d27d4eb4fu), key.size()};
    if (const auto known = d->texts.find(digest); known != d->texts.end())
        return Holds(known->second, pattern);
    d->scratch.resize(0);
    FoldingSink sink(d->scratch);
    d->reader.Read(article(), sink);
    if (d->kept + d->scratch.size() <= d->limit) {
        if (const QByteArrayView kept = d->Keep(d->scratch); kept.data())
            d->texts.emplace(digest, kept);
    }
    return Holds(d->scratch, pattern);
}

} // namespace orvela::richtext
