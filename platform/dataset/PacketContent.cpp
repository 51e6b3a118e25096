#include "platform/dataset/PacketContent.h"

#include "platform/errors/Errors.h"

#include <QFile>
#include <pugixml.hpp>
#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/uloc.h>

#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <functional>
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

void Content::SortKeyPrefix(int column, int record, QString &scratch, SortPrefix &prefix) const {
    const Column &c = columns[column];
    if (c.type == FieldType::String || c.type == FieldType::Float || c.type == FieldType::Other)
        DecodeValueInto(scratch, c.raw[record], encoding);
    else
        scratch = AsString(column, record);
    unsigned char bytes[16] = {};
    int32_t length = 0;
    if (collator) {
        UCharIterator iterator;
        uiter_setString(&iterator, reinterpret_cast<const UChar *>(scratch.utf16()), static_cast<int32_t>(scratch.size()));
        uint32_t state[2] = {};
        UErrorCode status = U_ZERO_ERROR;
        length = ucol_nextSortKeyPart(collator, &iterator, state, bytes, sizeof bytes, &status);
        if (U_FAILURE(status)) { // no key could be made: sorts as an empty text
            std::memset(bytes, 0, sizeof bytes);
            length = 0;
        }
    } else {
        const QByteArray key = SortKeyOf(scratch);
        length = static_cast<int32_t>(std::min<qsizetype>(key.size(), sizeof bytes));
        std::memcpy(bytes, key.constData(), static_cast<std::size_t>(length));
        length = key.size() > static_cast<qsizetype>(sizeof bytes) ? static_cast<int32_t>(sizeof bytes) + 1 : length;
    }
    prefix.high = 0;
    prefix.low = 0;
    for (int i = 0; i < 8; ++i) {
        prefix.high = prefix.high << 8 | bytes[i];
        prefix.low = prefix.low << 8 | bytes[8 + i];
    }
    prefix.whole = length < static_cast<int32_t>(sizeof bytes);
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

namespace {

struct Refusal {
    QString reason;
};

/// Fields, parameters and encoding from the parsed packet; the ROWDATA element, which may be empty.
pugi::xml_node ReadHeader(const pugi::xml_document &document, const char *bytes, qsizetype size, Content &content) {
    content.encoding = EncodingOf(document, bytes, size);
    const pugi::xml_node root = document.document_element();
    if (std::strcmp(root.name(), "DATAPACKET") != 0)
        throw Refusal{QStringLiteral("the document is not a DATAPACKET")};
    const pugi::xml_node first = FirstElement(root);
    pugi::xml_node rowData;
    if (std::strcmp(first.name(), "METADATA") == 0) {
        const pugi::xml_node fields = first.child("FIELDS");
        if (!fields)
            throw Refusal{QStringLiteral("METADATA holds no FIELDS")};
        for (const pugi::xml_node &field : fields.children("FIELD")) {
            Column column;
            const pugi::xml_attribute attributeName = field.attribute("attrname");
            if (!attributeName || !*attributeName.value())
                throw Refusal{QStringLiteral("a FIELD has no attrname")};
            column.attributeName = attributeName.value();
            column.name = DecodeValue(attributeName.value(), content.encoding);
            if (!IsAttributeName(attributeName.value()))
                throw Refusal{QStringLiteral("field %1 has a name that no row can carry").arg(column.name)};
            const char *typeName = field.attribute("fieldtype").value();
            if (!FindType(typeName, column.type))
                throw Refusal{QStringLiteral("field %1 has the unknown type \"%2\"")
                                  .arg(column.name, DecodeValue(typeName, content.encoding))};
            if (content.FindColumn(column.name) >= 0)
                throw Refusal{QStringLiteral("field %1 is listed twice").arg(column.name)};
            column.textBlob = qstricmp(field.attribute("SUBTYPE").value(), "Text") == 0;
            column.definition = AttributesOf(field);
            content.columns.push_back(std::move(column));
        }
        content.params = AttributesOf(first.child("PARAMS"));
        rowData = first.next_sibling("ROWDATA");
    } else if (std::strcmp(first.name(), "ROWDATA") == 0) {
        rowData = first;
    } else {
        throw Refusal{first ? QStringLiteral("%1 where METADATA or ROWDATA belongs")
                                  .arg(DecodeValue(first.name(), content.encoding))
                            : QStringLiteral("DATAPACKET is empty")};
    }
    return rowData;
}

/// Fills the records' values from ROW attributes, one row at a time.
class RowReader {
  public:
    /// `bytes`: size of the rows in the file, which bounds the arena that holds the values.
    RowReader(Content &content, std::size_t bytes) : content_(content) {
        content.valueArena = std::make_unique<memory::HugePageArena>(bytes);
        const ValueAllocator<char> allocator(content.valueArena.get());
        for (Column &c : content.columns) {
            c.raw = Values<const char *>(allocator);
            c.flags = Values<std::int8_t>(allocator);
            c.numbers = Values<qint64>(allocator);
            c.numberValid = Values<bool>(allocator);
        }
        for (std::size_t i = 0; i < content.columns.size(); ++i) {
            const QByteArray &name = content.columns[i].attributeName;
            columnOf_.emplace(std::string_view(name.constData(), name.size()), static_cast<int>(i));
            Name short_{};
            short_.length = static_cast<std::size_t>(name.size());
            std::memcpy(&short_.word, name.constData(), std::min<std::size_t>(short_.length, 8));
            names_.push_back(short_);
        }
    }

    /// Address space for this many records; pages are touched only as records come.
    void Reserve(std::size_t records) {
        for (Column &c : content_.columns) {
            if (c.type == FieldType::Boolean) {
                c.flags.reserve(records);
                continue;
            }
            c.raw.reserve(records);
            if (c.type == FieldType::Integer) {
                c.numbers.reserve(records);
                c.numberValid.reserve(records);
            }
        }
    }

    /// Every column holds `records` records; new ones have no values.
    void Resize(std::size_t records) {
        for (Column &c : content_.columns) {
            if (c.type == FieldType::Boolean) {
                c.flags.resize(records, -1);
                continue;
            }
            c.raw.resize(records, nullptr);
            if (c.type == FieldType::Integer) {
                c.numbers.resize(records, 0);
                c.numberValid.resize(records, false);
            }
        }
        size_ = records;
    }
    std::size_t Size() const { return size_; }

    void BeginRow() { expected_ = 0; }

    /// Column of an attribute name of `length` bytes, -1 when no field has it. Rows list their values in
    /// field order, so the field after the last one found is tried first. `readable8`: eight bytes can be
    /// read at name, so a short name compares as one word.
    int ColumnOf(const char *name, std::size_t length, bool readable8) {
        const int count = static_cast<int>(names_.size());
        if (expected_ < count && names_[expected_].length == length) {
            const Name &candidate = names_[expected_];
            bool same;
            if (length <= 8 && readable8) {
                std::uint64_t word = 0;
                std::memcpy(&word, name, 8);
                const std::uint64_t mask = length == 8 ? ~std::uint64_t(0) : (std::uint64_t(1) << (8 * length)) - 1;
                same = (word & mask) == candidate.word; // little-endian: the name's bytes are the low ones
            } else {
                same = std::memcmp(content_.columns[expected_].attributeName.constData(), name, length) == 0;
            }
            if (same)
                return expected_++;
        }
        const auto found = columnOf_.find(std::string_view(name, length));
        if (found == columnOf_.end())
            return -1;
        expected_ = found->second + 1;
        return found->second;
    }

    /// The record's value of a column; `value` is NUL-terminated.
    void Set(int column, int record, const char *value) {
        Column &c = content_.columns[column];
        if (c.type == FieldType::Boolean) {
            const char first = FirstCharacter(value);
            c.flags[record] = first == 'T' || first == 't';
            return;
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

  private:
    struct Name {
        std::uint64_t word = 0; // up to eight leading bytes
        std::size_t length = 0;
    };
    Content &content_;
    std::vector<Name> names_;
    std::unordered_map<std::string_view, int> columnOf_;
    int expected_ = 0;
    std::size_t size_ = 0;
};

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "short attribute names are compared as little-endian words");

void WalkRows(const pugi::xml_node &rowData, std::size_t bytes, Content &content) {
    RowReader reader(content, bytes);
    int records = 0;
    for (auto row = rowData.child("ROW"); row; row = row.next_sibling("ROW"))
        ++records;
    reader.Resize(records);
    int record = 0;
    for (auto row = rowData.child("ROW"); row; row = row.next_sibling("ROW"), ++record) {
        reader.BeginRow();
        for (pugi::xml_attribute attribute = row.first_attribute(); attribute; attribute = attribute.next_attribute()) {
            const char *name = attribute.name();
            const int column = reader.ColumnOf(name, std::strlen(name), false);
            if (column < 0)
                content.extraAttributes[record].emplace_back(name, attribute.value());
            else
                reader.Set(column, record, attribute.value());
        }
    }
    content.recordCount = records;
}

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
inline bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
inline bool IsNameCharacter(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

/// Reads the rows in [begin, end) without an XML tree, when they are what writers produce: only
/// `<ROW name="value" .../>` elements (either quote) and white space between them. Values and the
/// names of unknown attributes get their NUL in place, as the XML parser leaves them. False at anything
/// else; the buffer then holds NULs that the parser must not see.
bool ScanRows(char *begin, char *end, Content &content) {
    RowReader reader(content, static_cast<std::size_t>(end - begin));
    // Room is reserved by the rows' average size so far and filled a block at a time: no record is
    // counted first and no column is copied often.
    constexpr std::size_t kBlock = 4096;
    std::size_t reserved = 0;
    int record = 0;
    char *p = begin;
    for (;;) {
        while (p < end && IsSpace(*p))
            ++p;
        if (p == end)
            break;
        if (end - p < 5 || std::memcmp(p, "<ROW", 4) != 0 || !(IsSpace(p[4]) || p[4] == '/'))
            return false;
        if (static_cast<std::size_t>(record) == reader.Size()) {
            if (reader.Size() + kBlock > reserved) {
                const std::size_t average = record ? static_cast<std::size_t>(p - begin) / record : 0;
                const std::size_t left = average ? static_cast<std::size_t>(end - p) / average : kBlock;
                reserved = reader.Size() + kBlock + left + left / 8;
                reader.Reserve(reserved);
            }
            reader.Resize(reader.Size() + kBlock);
        }
        p += 4;
        reader.BeginRow();
        for (;;) {
            const bool spaced = IsSpace(*p);
            while (p < end && IsSpace(*p))
                ++p;
            if (p + 1 < end && p[0] == '/' && p[1] == '>') {
                p += 2;
                break;
            }
            if (!spaced || p == end || !IsNameStart(*p))
                return false;
            char *name = p;
            while (p < end && IsNameCharacter(*p))
                ++p;
            if (end - p < 2 || p[0] != '=' || (p[1] != '"' && p[1] != '\''))
                return false;
            const std::size_t nameLength = static_cast<std::size_t>(p - name);
            const char quote = p[1];
            char *value = p + 2;
            // Most values are short: a plain loop finds their end before a library call would start.
            char *close = value;
            while (close < end && close < value + 16 && *close != quote)
                ++close;
            if (close == end || *close != quote)
                close = static_cast<char *>(std::memchr(close, quote, static_cast<std::size_t>(end - close)));
            // A NUL ends the document for the parser; such a value is left to it.
            if (!close || std::memchr(value, '\0', static_cast<std::size_t>(close - value)))
                return false;
            *close = '\0';
            // The rows are followed by "</ROWDATA": eight bytes can always be read at a name.
            const int column = reader.ColumnOf(name, nameLength, true);
            if (column < 0) {
                *p = '\0'; // the name ends at its '='
                content.extraAttributes[record].emplace_back(name, value);
            } else {
                reader.Set(column, record, value);
            }
            p = close + 1;
        }
        ++record;
    }
    reader.Resize(record);
    content.recordCount = record;
    return true;
}

/// The byte run of ROWDATA's rows when the packet lays them out plainly: after the first "<ROWDATA>"
/// and before the last "</ROWDATA".
bool FindRows(char *bytes, std::size_t size, char *&begin, char *&end) {
    static constexpr std::string_view open = "<ROWDATA>";
    static constexpr std::string_view close = "</ROWDATA";
    const std::string_view text(bytes, size);
    const std::size_t start = text.find(open);
    const std::size_t stop = text.rfind(close);
    if (start == std::string_view::npos || stop == std::string_view::npos || stop < start + open.size())
        return false;
    begin = bytes + start + open.size();
    end = bytes + stop;
    return true;
}

std::unique_ptr<Content> ParsePacket(FileBuffer buffer, const QString &fileName, const std::function<bool(char *)> &refill,
                                     bool scanRows) {
    const auto refusal = [&](const QString &reason) {
        return Error(QStringLiteral("Invalid data packet in file %1: %2").arg(fileName, reason));
    };
    char *bytes = buffer.Data();
    const std::size_t size = buffer.Size();

    // The rows are nearly all of a packet. When they are laid out plainly they are scanned directly and
    // the XML parser reads only the rest; its verdict on that rest is its verdict on the whole, because
    // plain rows are well-formed content of ROWDATA. Anything unusual goes to the parser whole.
    char *rowsBegin = nullptr;
    char *rowsEnd = nullptr;
    if (scanRows && FindRows(bytes, size, rowsBegin, rowsEnd)) {
        auto content = std::make_unique<Content>();
        // The packet without its rows; the parser's tree of it is small.
        QByteArray outline(bytes, rowsBegin - bytes);
        outline.append(rowsEnd, static_cast<qsizetype>(bytes + size - rowsEnd));
        const qsizetype rowDataName = rowsBegin - bytes - 8; // "ROWDATA" of the start tag
        pugi::xml_document document;
        bool read = false;
        if (document.load_buffer_inplace(outline.data(), outline.size(), pugi::parse_declaration,
                                         pugi::encoding_utf8)) {
            try {
                const pugi::xml_node rowData = ReadHeader(document, bytes, static_cast<qsizetype>(size), *content);
                read = rowData && rowData.name() == outline.constData() + rowDataName && !rowData.first_child() &&
                       ScanRows(rowsBegin, rowsEnd, *content);
            } catch (const Refusal &) {
                // the parser reads the whole packet and gives the reason
            }
        }
        if (read) {
            content->buffer = std::move(buffer);
            content->collator = OpenCollator(content->params);
            return content;
        }
        if (!refill(bytes))
            throw FileError(QStringLiteral("Cannot open file %1").arg(fileName));
    }

    auto content = std::make_unique<Content>();
    // The tree lives only until the values are taken out of it; a node costs some 40 bytes and an
    // attribute takes 5 bytes of text at least.
    ParseArenaScope arena(size * 8);
    // Escapes stay unresolved: values are decoded when read, and unchanged ones are written back as they stood.
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer_inplace(bytes, size, pugi::parse_declaration, pugi::encoding_utf8);
    if (!parsed)
        throw refusal(QStringLiteral("not XML (%1 at offset %2)")
                          .arg(QString::fromLatin1(parsed.description()))
                          .arg(parsed.offset));
    try {
        WalkRows(ReadHeader(document, bytes, static_cast<qsizetype>(size), *content), size, *content);
    } catch (const Refusal &refused) {
        throw refusal(refused.reason);
    }
    content->buffer = std::move(buffer);
    content->collator = OpenCollator(content->params);
    return content;
}

} // namespace

std::unique_ptr<Content> ReadPacketFile(const QString &fileName) {
    const auto cannotOpen = [&] { return FileError(QStringLiteral("Cannot open file %1").arg(fileName)); };
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
    FileBuffer buffer;
    try {
        buffer = FileBuffer(static_cast<size_t>(size));
    } catch (const std::bad_alloc &) {
        throw FileError(QStringLiteral("Cannot open file %1: not enough memory").arg(fileName));
    }
    const auto read = [&](char *bytes) { return file.seek(0) && file.read(bytes, size) == size; };
    if (!read(buffer.Data()))
        throw cannotOpen();
    return ParsePacket(std::move(buffer), fileName, read, true);
}

std::unique_ptr<Content> ParsePacketBytes(const QByteArray &bytes, bool scanRows) {
    FileBuffer buffer(static_cast<std::size_t>(bytes.size()));
    std::memcpy(buffer.Data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const auto refill = [&](char *into) {
        std::memcpy(into, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return true;
    };
    return ParsePacket(std::move(buffer), QStringLiteral("packet"), refill, scanRows);
}

} // namespace orvela::packet
