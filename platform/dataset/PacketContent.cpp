#include "platform/dataset/PacketContent.h"

#include "platform/dialogs/Errors.h"

#include <QFile>
#include <pugixml.hpp>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace orvela::packet {
namespace {

struct TypeName {
    const char *name;
    FieldType type;
};

// Every type name a data packet may declare; those the program does not use keep their text.
constexpr TypeName kTypeNames[] = {
    {"boolean", FieldType::Boolean},   {"bin.hex", FieldType::Blob},      {"date", FieldType::Other},
    {"dateTime", FieldType::Other},    {"SQLdateTime", FieldType::Other}, {"time", FieldType::Other},
    {"fixed", FieldType::Float},       {"fixedFMT", FieldType::Float},    {"i1", FieldType::Integer},
    {"i2", FieldType::Integer},        {"i4", FieldType::Integer},        {"i8", FieldType::Integer},
    {"int", FieldType::Integer},       {"ui1", FieldType::Integer},       {"ui2", FieldType::Integer},
    {"ui4", FieldType::Integer},       {"ui8", FieldType::Integer},       {"uint", FieldType::Integer},
    {"r8", FieldType::Float},          {"r10", FieldType::Float},         {"string", FieldType::String},
    {"string.uni", FieldType::String}, {"IntArray", FieldType::Other},    {"UIntArray", FieldType::Other},
    {"nested", FieldType::Other},      {"struct", FieldType::Other},
};

bool FindType(const char *name, FieldType &type) {
    for (const TypeName &known : kTypeNames) {
        if (qstricmp(known.name, name) == 0) {
            type = known.type;
            return true;
        }
    }
    return false;
}

QByteArray RawCopy(const char *raw) {
    QByteArray copy;
    AppendRawValue(copy, raw);
    return copy;
}

RawAttributes AttributesOf(const pugi::xml_node &node) {
    RawAttributes attributes;
    for (const pugi::xml_attribute &attribute : node.attributes())
        attributes.emplace_back(attribute.name(), RawCopy(attribute.value()));
    return attributes;
}

pugi::xml_node FirstElement(const pugi::xml_node &parent) {
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element)
            return node;
    }
    return {};
}

PacketEncoding EncodingOf(const pugi::xml_document &document, const char *bytes, qsizetype size) {
    if (size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0)
        return PacketEncoding::Utf8;
    for (const pugi::xml_node &node : document.children()) {
        if (node.type() != pugi::node_declaration)
            continue;
        const char *encoding = node.attribute("encoding").value();
        if (qstricmp(encoding, "UTF-8") == 0 || qstricmp(encoding, "UTF8") == 0)
            return PacketEncoding::Utf8;
    }
    return PacketEncoding::Windows1250;
}

/// Collator of the packet's LCID; Czech when there is none or it names no locale.
UCollator *OpenCollator(const RawAttributes &params) {
    QByteArray locale = "cs";
    for (const auto &[name, value] : params) {
        qint64 lcid = 0;
        if (name != "LCID" || !ParseInteger(UnescapeAscii(value.constData()).constData(), lcid) || lcid <= 0 ||
            lcid > 0xFFFFFFFF)
            continue;
        char buffer[ULOC_FULLNAME_CAPACITY] = {};
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = uloc_getLocaleForLCID(static_cast<uint32_t>(lcid), buffer, sizeof buffer - 1, &status);
        if (U_SUCCESS(status) && length > 0)
            locale = QByteArray(buffer, length);
    }
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(locale.constData(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator = ucol_open("cs", &status);
    }
    if (U_FAILURE(status))
        return nullptr;
    ucol_setStrength(collator, UCOL_TERTIARY);
    return collator;
}

/// A field's values are ROW attributes named after it, so its name must be one that XML allows there.
bool IsAttributeName(const char *name) {
    const auto start = [](unsigned char c) { return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80; };
    if (!start(static_cast<unsigned char>(*name)))
        return false;
    for (const char *p = name + 1; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!start(c) && !std::isdigit(c) && c != '-' && c != '.')
            return false;
    }
    return true;
}

/// Attribute names are short: an inline loop beats a library call here, once per value of the file.
inline bool SameName(const char *a, const char *b) {
    for (; *a == *b; ++a, ++b) {
        if (*a == '\0')
            return true;
    }
    return false;
}

char FirstCharacter(const char *raw) {
    return raw[0] == '&' ? UnescapeAscii(raw).append('\0').at(0) : raw[0];
}

} // namespace

bool ParseInteger(const char *text, qint64 &value) {
    const bool negative = *text == '-';
    if (negative)
        ++text;
    if (*text == '\0')
        return false;
    quint64 magnitude = 0;
    const quint64 limit = negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return false;
        const unsigned digit = *text - '0';
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? static_cast<qint64>(0 - magnitude) : static_cast<qint64>(magnitude);
    return true;
}

Content::Content() = default;

Content::~Content() {
    if (collator)
        ucol_close(collator);
}

int Content::FindColumn(QStringView name) const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

bool Content::IsNull(int column, int record) const {
    const Column &c = columns[column];
    return c.type == FieldType::Boolean ? c.flags[record] < 0 : c.raw[record] == nullptr;
}

QString Content::AsString(int column, int record) const {
    const Column &c = columns[column];
    if (IsNull(column, record))
        return {};
    if (static_cast<int>(c.texts.size()) == recordCount)
        return c.texts[record];
    switch (c.type) {
    case FieldType::Boolean:
        return c.flags[record] ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Integer:
        if (c.numberValid[record])
            return QString::number(c.numbers[record]);
        break;
    case FieldType::Blob: {
        const QByteArray bytes = AsBytes(column, record);
        return DecodeText(bytes.constData(), bytes.size(), encoding);
    }
    default:
        break;
    }
    return DecodeValue(c.raw[record], encoding);
}

qint64 Content::AsInteger(int column, int record) const {
    const Column &c = columns[column];
    if (IsNull(column, record))
        return 0;
    if (c.type == FieldType::Integer)
        return c.numberValid[record] ? c.numbers[record] : 0;
    if (c.type == FieldType::Boolean)
        return c.flags[record];
    qint64 value = 0;
    return ParseInteger(UnescapeAscii(c.raw[record]).constData(), value) ? value : 0;
}

bool Content::AsBoolean(int column, int record) const {
    const Column &c = columns[column];
    if (IsNull(column, record))
        return false;
    if (c.type == FieldType::Boolean)
        return c.flags[record] == 1;
    if (c.type == FieldType::Integer)
        return c.numberValid[record] && c.numbers[record] != 0;
    const char first = FirstCharacter(c.raw[record]);
    return first == 'T' || first == 't';
}

QByteArray Content::AsBytes(int column, int record) const {
    QByteArray bytes;
    ReadBytes(column, record, bytes);
    return bytes;
}

void Content::ReadBytes(int column, int record, QByteArray &bytes) const {
    const Column &c = columns[column];
    if (c.type != FieldType::Blob) {
        bytes = EncodeText(AsString(column, record), encoding);
        return;
    }
    const char *raw = c.raw[record];
    if (!raw) {
        bytes.resize(0);
        return;
    }
    // Base64 has no characters that need escapes: decode straight from the file buffer.
    const std::size_t length = std::strlen(raw);
    if (!std::memchr(raw, '&', length))
        DecodeBase64Into({raw, static_cast<qsizetype>(length)}, bytes);
    else
        DecodeBase64Into(UnescapeAscii(raw), bytes);
}

QString Content::DisplayText(int column, int record) const {
    const Column &c = columns[column];
    if (c.type == FieldType::Blob)
        return IsNull(column, record) ? QString() : c.textBlob ? QStringLiteral("(MEMO)") : QStringLiteral("(BLOB)");
    return AsString(column, record);
}

const std::vector<QString> &Content::Texts(int column) {
    Column &c = columns[column];
    if (static_cast<int>(c.texts.size()) != recordCount) {
        std::vector<QString> texts(recordCount);
        for (int record = 0; record < recordCount; ++record)
            texts[record] = AsString(column, record);
        c.texts = std::move(texts);
    }
    return c.texts;
}

QStringView Content::FoldedText(int column, int record) {
    Column &c = columns[column];
    if (static_cast<int>(c.foldedOffsets.size()) != recordCount + 1) {
        const std::vector<QString> &texts = Texts(column);
        QString folded;
        std::vector<std::uint32_t> offsets(recordCount + 1);
        for (int i = 0; i < recordCount; ++i) {
            offsets[i] = static_cast<std::uint32_t>(folded.size());
            folded += texts[i].toCaseFolded();
        }
        offsets[recordCount] = static_cast<std::uint32_t>(folded.size());
        c.foldedTexts = std::move(folded);
        c.foldedOffsets = std::move(offsets);
    }
    const std::uint32_t start = c.foldedOffsets[record];
    return QStringView(c.foldedTexts).mid(start, c.foldedOffsets[record + 1] - start);
}

void Content::EnsureSortKeys(int column) {
    Column &c = columns[column];
    if (static_cast<int>(c.sortKeyOffsets.size()) == recordCount + 1 || !collator)
        return;
    // Text columns are decoded straight from the file into one scratch string: no text cache is needed.
    const bool fromRaw = c.type == FieldType::String || c.type == FieldType::Float || c.type == FieldType::Other;
    const bool cached = static_cast<int>(c.texts.size()) == recordCount;
    QString scratch;
    QByteArray keys;
    keys.resize(qsizetype(recordCount) * 16 + 64);
    std::vector<std::uint32_t> offsets(recordCount + 1);
    qsizetype used = 0;
    for (int record = 0; record < recordCount; ++record) {
        offsets[record] = static_cast<std::uint32_t>(used);
        if (cached)
            scratch = c.texts[record];
        else if (!fromRaw)
            scratch = AsString(column, record);
        else if (c.raw[record])
            DecodeValueInto(scratch, c.raw[record], encoding);
        else
            scratch.resize(0);
        const QString &text = scratch;
        for (;;) {
            const auto room = static_cast<int32_t>(std::min<qsizetype>(keys.size() - used, INT32_MAX));
            const int32_t length = ucol_getSortKey(collator, reinterpret_cast<const UChar *>(text.utf16()),
                                                   static_cast<int32_t>(text.size()),
                                                   reinterpret_cast<uint8_t *>(keys.data() + used), room);
            if (length > 0 && length <= room) {
                used += length;
                break;
            }
            if (length <= 0) { // no key could be made: sorts as an empty text
                keys[used++] = '\0';
                break;
            }
            keys.resize(std::max(keys.size() * 2, used + length));
        }
    }
    offsets[recordCount] = static_cast<std::uint32_t>(used);
    keys.resize(used);
    keys.squeeze();
    c.sortKeys = std::move(keys);
    c.sortKeyOffsets = std::move(offsets);
}

const char *Content::SortKey(int column, int record) const {
    const Column &c = columns[column];
    return c.sortKeys.constData() + c.sortKeyOffsets[record];
}

QByteArray Content::SortKeyOf(const QString &text) const {
    if (!collator)
        return text.toUtf8();
    const auto *source = reinterpret_cast<const UChar *>(text.utf16());
    const auto length = static_cast<int32_t>(text.size());
    QByteArray key(ucol_getSortKey(collator, source, length, nullptr, 0), '\0');
    ucol_getSortKey(collator, source, length, reinterpret_cast<uint8_t *>(key.data()),
                    static_cast<int32_t>(key.size()));
    return key;
}

QByteArray Content::ToBytes() const {
    std::vector<RawAttributes> fields;
    for (const Column &c : columns)
        fields.push_back(c.definition);
    QByteArray out;
    qsizetype estimate = 4096;
    for (const Column &c : columns) {
        for (const char *raw : c.raw)
            estimate += raw ? static_cast<qsizetype>(std::strlen(raw)) + c.attributeName.size() + 4 : 0;
        estimate += static_cast<qsizetype>(c.flags.size()) * (c.attributeName.size() + 9);
    }
    out.reserve(estimate + qsizetype(recordCount) * 8);
    AppendPacketStart(out, encoding, fields, params);
    for (int record = 0; record < recordCount; ++record) {
        out.append(kRowStart);
        for (const Column &c : columns) {
            if (c.type == FieldType::Boolean) {
                if (c.flags[record] >= 0)
                    AppendAttribute(out, c.attributeName, c.flags[record] ? QByteArray("TRUE") : QByteArray("FALSE"));
            } else if (const char *raw = c.raw[record]) {
                AppendRawAttribute(out, c.attributeName, raw);
            }
        }
        if (const auto extra = extraAttributes.find(record); extra != extraAttributes.end()) {
            for (const auto &[name, value] : extra->second)
                AppendRawAttribute(out, name, value);
        }
        out.append(kRowEnd);
    }
    AppendPacketEnd(out);
    return out;
}

std::unique_ptr<Content> ReadPacketFile(const QString &fileName) {
    const auto cannotOpen = [&] { return FileError(QStringLiteral("Cannot open file %1").arg(fileName)); };
    const auto refusal = [&](const QString &reason) {
        return Error(QStringLiteral("Invalid data packet in file %1: %2").arg(fileName, reason));
    };
    auto content = std::make_unique<Content>();
    // Only a regular file: opening a FIFO waits for a writer, a device or a folder never ends as a file.
    const int descriptor = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (descriptor >= 0)
            ::close(descriptor);
        throw cannotOpen();
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw cannotOpen();
    const qint64 size = file.size();
    try {
        content->buffer = FileBuffer(static_cast<size_t>(size));
    } catch (const std::bad_alloc &) {
        throw FileError(QStringLiteral("Cannot open file %1: not enough memory").arg(fileName));
    }
    char *bytes = content->buffer.Data();
    if (file.read(bytes, size) != size)
        throw cannotOpen();
    file.close();

    // The tree lives only until the values are taken out of it; a node costs some 40 bytes and an
    // attribute takes 5 bytes of text at least.
    ParseArenaScope arena(static_cast<size_t>(size) * 8);
    // Escapes stay unresolved: values are decoded when read, and unchanged ones are written back as they stood.
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer_inplace(bytes, static_cast<size_t>(size), pugi::parse_declaration, pugi::encoding_utf8);
    if (!parsed)
        throw refusal(QStringLiteral("not XML (%1 at offset %2)")
                          .arg(QString::fromLatin1(parsed.description()))
                          .arg(parsed.offset));
    content->encoding = EncodingOf(document, bytes, size);

    const pugi::xml_node root = document.document_element();
    if (std::strcmp(root.name(), "DATAPACKET") != 0)
        throw refusal(QStringLiteral("the document is not a DATAPACKET"));
    const pugi::xml_node first = FirstElement(root);
    pugi::xml_node rowData;
    if (std::strcmp(first.name(), "METADATA") == 0) {
        const pugi::xml_node fields = first.child("FIELDS");
        if (!fields)
            throw refusal(QStringLiteral("METADATA holds no FIELDS"));
        for (const pugi::xml_node &field : fields.children("FIELD")) {
            Column column;
            const pugi::xml_attribute attributeName = field.attribute("attrname");
            if (!attributeName || !*attributeName.value())
                throw refusal(QStringLiteral("a FIELD has no attrname"));
            column.attributeName = attributeName.value();
            column.name = DecodeValue(attributeName.value(), content->encoding);
            if (!IsAttributeName(attributeName.value()))
                throw refusal(QStringLiteral("field %1 has a name that no row can carry").arg(column.name));
            const char *typeName = field.attribute("fieldtype").value();
            if (!FindType(typeName, column.type))
                throw refusal(QStringLiteral("field %1 has the unknown type \"%2\"")
                                  .arg(column.name, DecodeValue(typeName, content->encoding)));
            if (content->FindColumn(column.name) >= 0)
                throw refusal(QStringLiteral("field %1 is listed twice").arg(column.name));
            column.textBlob = qstricmp(field.attribute("SUBTYPE").value(), "Text") == 0;
            column.definition = AttributesOf(field);
            content->columns.push_back(std::move(column));
        }
        content->params = AttributesOf(first.child("PARAMS"));
        rowData = first.next_sibling("ROWDATA");
    } else if (std::strcmp(first.name(), "ROWDATA") == 0) {
        rowData = first;
    } else {
        throw refusal(first ? QStringLiteral("%1 where METADATA or ROWDATA belongs")
                                  .arg(DecodeValue(first.name(), content->encoding))
                            : QStringLiteral("DATAPACKET is empty"));
    }
    content->collator = OpenCollator(content->params);

    int records = 0;
    for (auto row = rowData.child("ROW"); row; row = row.next_sibling("ROW"))
        ++records;
    content->recordCount = records;
    std::unordered_map<std::string_view, int> columnOf;
    for (size_t i = 0; i < content->columns.size(); ++i) {
        Column &c = content->columns[i];
        columnOf.emplace(std::string_view(c.attributeName.constData(), c.attributeName.size()), static_cast<int>(i));
        if (c.type == FieldType::Boolean) {
            c.flags.assign(records, -1);
        } else {
            c.raw.assign(records, nullptr);
        }
        if (c.type == FieldType::Integer) {
            c.numbers.assign(records, 0);
            c.numberValid.assign(records, false);
        }
    }

    const int columnCount = static_cast<int>(content->columns.size());
    std::vector<const char *> names;
    for (const Column &c : content->columns)
        names.push_back(c.attributeName.constData());
    int record = 0;
    for (auto row = rowData.child("ROW"); row; row = row.next_sibling("ROW"), ++record) {
        int expected = 0; // rows list their values in field order, so the next field is the likely one
        for (pugi::xml_attribute attribute = row.first_attribute(); attribute; attribute = attribute.next_attribute()) {
            const char *name = attribute.name();
            int index = -1;
            if (expected < columnCount && SameName(names[expected], name)) {
                index = expected;
            } else if (const auto found = columnOf.find(name); found != columnOf.end()) {
                index = found->second;
            }
            const char *value = attribute.value();
            if (index < 0) {
                content->extraAttributes[record].emplace_back(name, value);
                continue;
            }
            expected = index + 1;
            Column &c = content->columns[index];
            if (c.type == FieldType::Boolean) {
                const char first = FirstCharacter(value);
                c.flags[record] = first == 'T' || first == 't';
                continue;
            }
            c.raw[record] = value;
            if (c.type == FieldType::Integer) {
                qint64 number = 0;
                const bool valid = ParseInteger(value, number) ||
                                   (std::strchr(value, '&') && ParseInteger(UnescapeAscii(value).constData(), number));
                c.numbers[record] = number;
                c.numberValid[record] = valid;
            }
        }
    }
    return content;
}

} // namespace orvela::packet
