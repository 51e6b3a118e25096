#include "platform/dataset/DataPacket.h"

#include "platform/dataset/PacketText.h"

#include <optional>

namespace orvela {

struct DataPacketWriter::Impl {
    std::vector<PacketField> fields;
    std::vector<QByteArray> names; // attribute names, encoded once
    PacketEncoding encoding;
    packet::RawAttributes params;
    std::vector<std::optional<QByteArray>> row; // escaped values of the row being built
    QByteArray rows;

    void Set(int field, QByteArray escaped) {
        if (field >= 0 && field < static_cast<int>(row.size()))
            row[field] = std::move(escaped);
    }
};

DataPacketWriter::DataPacketWriter(std::vector<PacketField> fields, PacketEncoding encoding)
    : d(std::make_unique<Impl>()) {
    d->fields = std::move(fields);
    d->encoding = encoding;
    for (const PacketField &field : d->fields)
        d->names.push_back(packet::EncodeText(field.name, encoding));
}

DataPacketWriter::~DataPacketWriter() = default;

void DataPacketWriter::SetParam(const QString &name, const QString &value) {
    d->params.emplace_back(packet::EncodeText(name, d->encoding), packet::Escaped(value, d->encoding));
}

void DataPacketWriter::BeginRow() {
    d->row.assign(d->fields.size(), std::nullopt);
}

void DataPacketWriter::SetString(int field, const QString &value) {
    d->Set(field, packet::Escaped(value, d->encoding));
}

void DataPacketWriter::SetInteger(int field, qint64 value) {
    d->Set(field, QByteArray::number(value));
}

void DataPacketWriter::SetBoolean(int field, bool value) {
    d->Set(field, value ? QByteArrayLiteral("TRUE") : QByteArrayLiteral("FALSE"));
}

void DataPacketWriter::SetBlob(int field, const QByteArray &bytes) {
    d->Set(field, bytes.toBase64());
}

void DataPacketWriter::EndRow() {
    d->rows.append(packet::kRowStart);
    for (size_t i = 0; i < d->row.size(); ++i) {
        if (d->row[i])
            packet::AppendAttribute(d->rows, d->names[i], *d->row[i]);
    }
    d->rows.append(packet::kRowEnd);
    d->row.clear();
}

QByteArray DataPacketWriter::ToBytes() const {
    std::vector<packet::RawAttributes> fields;
    for (const PacketField &field : d->fields) {
        packet::RawAttributes attributes{{"attrname", packet::Escaped(field.name, d->encoding)},
                                         {"fieldtype", packet::Escaped(field.fieldType, d->encoding)}};
        if (field.width > 0)
            attributes.emplace_back("WIDTH", QByteArray::number(field.width));
        if (!field.subtype.isEmpty())
            attributes.emplace_back("SUBTYPE", packet::Escaped(field.subtype, d->encoding));
        fields.push_back(std::move(attributes));
    }
    QByteArray out;
    out.reserve(d->rows.size() + 4096);
    packet::AppendPacketStart(out, d->encoding, fields, d->params);
    out.append(d->rows);
    packet::AppendPacketEnd(out);
    return out;
}

void DataPacketWriter::WriteToFile(const QString &fileName) const {
    packet::WriteFileAtomically(fileName, ToBytes());
}

} // namespace orvela
