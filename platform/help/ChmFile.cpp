#include "platform/help/ChmFile.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>

namespace orvela::help {

namespace {

/// Texts recorded by the compiler: UTF-8 from chmcmd, an ANSI code page from older compilers.
QString DecodeText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QByteArrayView ZeroTerminated(QByteArrayView bytes)
{
    const auto end = bytes.indexOf('\0');
    return end < 0 ? bytes : bytes.first(end);
}

quint32 ReadUInt32(const QByteArray& bytes, qsizetype offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

quint16 ReadUInt16(const QByteArray& bytes, qsizetype offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

/// Splits "a\b/./c#x" into path parts and anchor; links of the form "ms-its:file.chm::/topic" keep the topic.
QStringList PathParts(QString path, QString* anchor)
{
    const auto storage = path.indexOf(QLatin1String("::"));
    if (storage >= 0)
        path = path.mid(storage + 2);
    const auto hash = path.indexOf(u'#');
    if (hash >= 0) {
        if (anchor != nullptr)
            *anchor = path.mid(hash + 1);
        path.truncate(hash);
    }
    path.replace(u'\\', u'/');
    QStringList parts;
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return parts;
}

QString Key(const QString& path)
{
    return path.toLower();
}

} // namespace

ChmFile::OpenResult ChmFile::Open(const QString& path)
{
    Assign({});
    if (!QFileInfo(path).isFile())
        return OpenResult::Missing;
    auto objects = ExtractChm(path);
    if (!objects)
        return OpenResult::Broken;
    Assign(std::move(*objects));
    return OpenResult::Opened;
}

void ChmFile::Assign(std::vector<ChmObject> objects)
{
    files_.clear();
    contexts_.clear();
    title_.clear();
    defaultTopic_.clear();
    contentsFile_.clear();
    for (ChmObject& object : objects) {
        const QString key = Key(object.path);
        files_.insert(key, {std::move(object.path), std::move(object.bytes), object.readable});
    }
    ReadSystem();
    ReadContextMap();
}

// #SYSTEM: a version, then records {code, length, data}; 0 contents file, 2 default topic, 3 title.
void ChmFile::ReadSystem()
{
    const Stored* system = Lookup(QStringLiteral("/#SYSTEM"));
    if (system == nullptr || !system->readable)
        return;
    const QByteArray& bytes = system->bytes;
    for (qsizetype at = 4; at + 4 <= bytes.size();) {
        const quint16 code = ReadUInt16(bytes, at);
        const quint16 length = ReadUInt16(bytes, at + 2);
        at += 4;
        if (length > bytes.size() - at)
            break;
        const QString text = DecodeText(ZeroTerminated(QByteArrayView(bytes).sliced(at, length)));
        if (code == 0)
            contentsFile_ = text;
        else if (code == 2)
            defaultTopic_ = text;
        else if (code == 3)
            title_ = text;
        at += length;
    }
}

// #IVB: the byte length of the table, then pairs {context number, offset of the topic's path in #STRINGS}.
void ChmFile::ReadContextMap()
{
    const Stored* map = Lookup(QStringLiteral("/#IVB"));
    const Stored* strings = Lookup(QStringLiteral("/#STRINGS"));
    if (map == nullptr || strings == nullptr || !map->readable || !strings->readable || map->bytes.size() < 4)
        return;
    const QByteArray& pairs = map->bytes;
    const qsizetype end = 4 + std::min<qsizetype>(ReadUInt32(pairs, 0), pairs.size() - 4);
    for (qsizetype at = 4; at + 8 <= end; at += 8) {
        const auto context = static_cast<int>(ReadUInt32(pairs, at));
        const quint32 offset = ReadUInt32(pairs, at + 4);
        if (offset >= static_cast<quint32>(strings->bytes.size()) || contexts_.contains(context))
            continue;
        const QString path = DecodeText(ZeroTerminated(QByteArrayView(strings->bytes).sliced(offset)));
        if (!path.isEmpty())
            contexts_.insert(context, path);
    }
}

const ChmFile::Stored* ChmFile::Lookup(const QString& path) const
{
    const auto found = files_.constFind(Key(path));
    return found == files_.constEnd() ? nullptr : &found.value();
}

// The compiler records a topic as the path it was given, often a full path on the build machine:
// the longest tail of it that is stored wins, then a stored file of the same name.
std::optional<QString> ChmFile::Locate(const QString& recordedPath) const
{
    QString anchor;
    const QStringList parts = PathParts(recordedPath, &anchor);
    if (parts.isEmpty())
        return std::nullopt;
    const QString suffix = anchor.isEmpty() ? QString() : u'#' + anchor;
    for (qsizetype first = 0; first < parts.size(); ++first) {
        if (const Stored* stored = Lookup(u'/' + parts.sliced(first).join(u'/')))
            return stored->path + suffix;
    }
    const QString name = u'/' + parts.last().toLower();
    std::optional<QString> best;
    for (const Stored& stored : files_) {
        if (!stored.path.toLower().endsWith(name))
            continue;
        if (!best || stored.path.size() < best->size() || (stored.path.size() == best->size() && stored.path < *best))
            best = stored.path;
    }
    if (best)
        return *best + suffix;
    return std::nullopt;
}

QString ChmFile::DefaultTopic() const
{
    if (!defaultTopic_.isEmpty()) {
        if (auto topic = Find(u'/' + defaultTopic_))
            return *topic;
    }
    return {};
}

std::vector<ContentsEntry> ChmFile::Contents() const
{
    if (contentsFile_.isEmpty())
        return {};
    const auto path = Find(u'/' + contentsFile_);
    if (!path)
        return {};
    return ParseContents(Read(*path).value_or(QByteArray()));
}

std::optional<QString> ChmFile::Topic(int context) const
{
    const auto recorded = contexts_.constFind(context);
    if (recorded == contexts_.constEnd())
        return std::nullopt;
    return Locate(recorded.value());
}

std::optional<QString> ChmFile::Find(const QString& path) const
{
    const QStringList parts = PathParts(path, nullptr);
    const Stored* stored = Lookup(u'/' + parts.join(u'/'));
    if (stored == nullptr || parts.isEmpty())
        return std::nullopt;
    return stored->path;
}

std::optional<QByteArray> ChmFile::Read(const QString& path) const
{
    const auto found = Find(path);
    if (!found)
        return std::nullopt;
    const Stored* stored = Lookup(*found);
    if (!stored->readable)
        return std::nullopt;
    return stored->bytes;
}

namespace {

QString DecodeEntities(const QString& text)
{
    if (!text.contains(u'&'))
        return text;
    static const QHash<QString, QString> named{{QStringLiteral("amp"), QStringLiteral("&")},
                                               {QStringLiteral("lt"), QStringLiteral("<")},
                                               {QStringLiteral("gt"), QStringLiteral(">")},
                                               {QStringLiteral("quot"), QStringLiteral("\"")},
                                               {QStringLiteral("apos"), QStringLiteral("'")},
                                               {QStringLiteral("nbsp"), QString(QChar(0xa0))}};
    QString out;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype semicolon = text.indexOf(u';', at);
        if (text[at] != u'&' || semicolon < 0 || semicolon - at > 10) {
            out += text[at++];
            continue;
        }
        const QString entity = text.sliced(at + 1, semicolon - at - 1);
        bool ok = false;
        uint code = 0;
        if (entity.startsWith(u'#'))
            code = entity.startsWith(QLatin1String("#x"), Qt::CaseInsensitive) ? entity.mid(2).toUInt(&ok, 16)
                                                                                : entity.mid(1).toUInt(&ok, 10);
        if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
            const char32_t character = code;
            out += QString::fromUcs4(&character, 1);
        } else if (named.contains(entity.toLower())) {
            out += named.value(entity.toLower());
        } else {
            out += text.sliced(at, semicolon - at + 1);
        }
        at = semicolon + 1;
    }
    return out;
}

/// Attributes of a tag's text (after the name): name="value", name='value' or name=value.
QHash<QString, QString> Attributes(QStringView tag)
{
    QHash<QString, QString> attributes;
    qsizetype at = 0;
    const auto skipSpace = [&] {
        while (at < tag.size() && tag[at].isSpace())
            ++at;
    };
    while (at < tag.size()) {
        skipSpace();
        const qsizetype nameStart = at;
        while (at < tag.size() && !tag[at].isSpace() && tag[at] != u'=')
            ++at;
        const QString name = tag.sliced(nameStart, at - nameStart).toString().toLower();
        skipSpace();
        if (at >= tag.size() || tag[at] != u'=') {
            if (at == nameStart)
                ++at;
            continue;
        }
        ++at;
        skipSpace();
        qsizetype valueStart = at;
        qsizetype valueEnd;
        if (at < tag.size() && (tag[at] == u'"' || tag[at] == u'\'')) {
            const QChar quote = tag[at];
            valueStart = ++at;
            valueEnd = tag.indexOf(quote, at);
            if (valueEnd < 0)
                valueEnd = tag.size();
            at = std::min(valueEnd + 1, tag.size());
        } else {
            while (at < tag.size() && !tag[at].isSpace())
                ++at;
            valueEnd = at;
        }
        attributes.insert(name, DecodeEntities(tag.sliced(valueStart, valueEnd - valueStart).toString()));
    }
    return attributes;
}

} // namespace

std::vector<ContentsEntry> ParseContents(const QByteArray& sitemap)
{
    const QString text = DecodeText(sitemap);
    std::vector<ContentsEntry> entries;
    int depth = 0;
    bool inObject = false;
    ContentsEntry entry;
    for (qsizetype at = text.indexOf(u'<'); at >= 0; at = text.indexOf(u'<', at)) {
        if (QStringView(text).sliced(at).startsWith(QLatin1String("<!--"))) {
            const qsizetype end = text.indexOf(QLatin1String("-->"), at + 4);
            if (end < 0)
                break;
            at = end + 3;
            continue;
        }
        const qsizetype close = text.indexOf(u'>', at);
        if (close < 0)
            break;
        const QStringView tag = QStringView(text).sliced(at + 1, close - at - 1).trimmed();
        at = close + 1;
        qsizetype nameEnd = 0;
        while (nameEnd < tag.size() && !tag[nameEnd].isSpace())
            ++nameEnd;
        const QString name = tag.first(nameEnd).toString().toLower();
        if (name == QLatin1String("ul")) {
            ++depth;
        } else if (name == QLatin1String("/ul")) {
            depth = std::max(0, depth - 1);
        } else if (name == QLatin1String("object")) {
            inObject = true;
            entry = {QString(), QString(), std::max(0, depth - 1)};
        } else if (name == QLatin1String("param") && inObject) {
            const auto attributes = Attributes(tag.sliced(nameEnd));
            const QString key = attributes.value(QStringLiteral("name")).toLower();
            if (key == QLatin1String("name") && entry.name.isEmpty())
                entry.name = attributes.value(QStringLiteral("value"));
            else if (key == QLatin1String("local") && entry.local.isEmpty())
                entry.local = attributes.value(QStringLiteral("value"));
        } else if (name == QLatin1String("/object") && inObject) {
            inObject = false;
            if (!entry.name.isEmpty() || !entry.local.isEmpty())
                entries.push_back(entry);
        }
    }
    return entries;
}

} // namespace orvela::help
