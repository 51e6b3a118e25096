#include "platform/controls/FieldText.h"

#include "platform/dataset/PacketText.h"

namespace orvela {

QString FieldText(const Field& field)
{
    if (field.DataType() != FieldType::Blob)
        return field.AsString();
    const QByteArray bytes = field.AsBytes();
    return packet::DecodeText(bytes.constData(), bytes.size(), PacketEncoding::Windows1250);
}

} // namespace orvela
