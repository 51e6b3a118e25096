#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace orvela {

/// Text encoding of a written packet. Windows-1250 is the catalogue's; UTF-8 is kept for packets
/// that were read as UTF-8 so that no character is lost on write-back.
enum class PacketEncoding { Windows1250, Utf8 };

struct PacketField {
    QString name;      // attrname
    QString fieldType; // "i4", "string", "boolean", "bin.hex", ...
    int width = 0;     // WIDTH, 0: none
    QString subtype;   // SUBTYPE of a blob ("Text", "Binary"), empty: none
};

/// Writes an XML data packet: header, DATAPACKET Version "2.0", METADATA, one ROW per record.
class DataPacketWriter final {
public:
    explicit DataPacketWriter(std::vector<PacketField> fields,
                              PacketEncoding encoding = PacketEncoding::Windows1250);
    ~DataPacketWriter();

    /// A packet property in PARAMS, e.g. LCID.
    void SetParam(const QString& name, const QString& value);

    void BeginRow();
    void SetString(int field, const QString& value);
    void SetInteger(int field, qint64 value);
    void SetBoolean(int field, bool value);
    void SetBlob(int field, const QByteArray& bytes); // written as Base64
    void EndRow();

    /// The whole packet as bytes.
    QByteArray ToBytes() const;
    /// Written beside the target and renamed over it once complete: an old file is never left
    /// truncated. Throws FileError("Cannot create file %s") when it cannot be written.
    void WriteToFile(const QString& fileName) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orvela
