#pragma once

#include "platform/dataset/BulkMemory.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketText.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

struct UCollator;

namespace orvela::packet {

/// Per-record values of a column, kept in the packet's value arena.
template <class T> using Values = std::vector<T, ValueAllocator<T>>;

/// One field with its values for every record, in file order.
struct Column {
    QByteArray attributeName; // ROW attribute name, as in the file
    QString name;             // for lookup and messages
    FieldType type = FieldType::Other;
    bool textBlob = false;    // SUBTYPE "Text"
    RawAttributes definition; // the FIELD element as read, written back unchanged

    // Values stay views into the file buffer until changed; nullptr: the record has no value.
    Values<const char *> raw;  // every type but Boolean
    Values<std::int8_t> flags; // Boolean: -1 no value, 0 false, 1 true
    Values<qint64> numbers;    // Integer: the value when numberValid
    Values<bool> numberValid;

    // Built on first use and kept: decoded text and collation keys of every record.
    std::vector<QString> texts;
    // Case-folded texts of all records end to end, for searches that ignore case: one scan over
    // every record then reads one compact block instead of a string each.
    QString foldedTexts;
    std::vector<std::uint32_t> foldedOffsets;
    QByteArray sortKeys;
    std::vector<std::uint32_t> sortKeyOffsets;
};

/// A data packet read whole into one buffer and parsed in place.
struct Content {
    Content();
    ~Content();
    Content(const Content &) = delete;
    Content &operator=(const Content &) = delete;

    FileBuffer buffer;
    std::unique_ptr<memory::HugePageArena> valueArena; // before the columns, whose arrays it holds
    PacketEncoding encoding = PacketEncoding::Windows1250;
    std::vector<Column> columns;
    RawAttributes params;
    int recordCount = 0;
    /// ROW attributes that name no field (a change log's RowState, say), kept for the write-back.
    std::unordered_map<int, std::vector<std::pair<const char *, const char *>>> extraAttributes;
    UCollator *collator = nullptr;

    int FindColumn(QStringView name) const;

    bool IsNull(int column, int record) const;
    QString AsString(int column, int record) const;
    qint64 AsInteger(int column, int record) const;
    bool AsBoolean(int column, int record) const;
    QByteArray AsBytes(int column, int record) const;
    /// AsBytes into `bytes`, whose memory serves again.
    void ReadBytes(int column, int record, QByteArray &bytes) const;
    QString DisplayText(int column, int record) const;

    /// Decoded text of every record of a column (String, Float, Other, Blob as its raw text).
    const std::vector<QString> &Texts(int column);
    QStringView FoldedText(int column, int record);
    /// Leading bytes of a collation key, big-endian. Keys whose prefixes differ sort as the prefixes do;
    /// equal prefixes mean equal keys only when both are whole.
    struct SortPrefix {
        quint64 high = 0;
        quint64 low = 0;
        bool whole = true; // the key ends within these bytes
    };
    /// The prefix of a record's key, made without the whole key; `scratch` is reused between calls.
    void SortKeyPrefix(int column, int record, QString &scratch, SortPrefix &prefix) const;
    /// Collation key of a record (a NUL-terminated byte string), after EnsureSortKeys.
    void EnsureSortKeys(int column);
    const char *SortKey(int column, int record) const;
    QByteArray SortKeyOf(const QString &text) const;

    /// The whole content as a packet, records in file order.
    QByteArray ToBytes() const;
};

/// Reads a packet file whole and parses it in place, keeping the buffer. Throws FileError("Cannot open
/// file %s") and Error("Invalid data packet in file %s: <reason>"), the name as passed.
std::unique_ptr<Content> ReadPacketFile(const QString &fileName);
/// The same from bytes in memory; `scanRows` false: rows always through the XML parser (for comparing
/// the two ways of reading rows).
std::unique_ptr<Content> ParsePacketBytes(const QByteArray &bytes, bool scanRows = true);

/// Strict decimal integer: an optional minus sign and digits, nothing else, within 64 bits.
bool ParseInteger(const char *text, qint64 &value);

} // namespace orvela::packet
