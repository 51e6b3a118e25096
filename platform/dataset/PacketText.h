#pragma once

#include "platform/dataset/DataPacket.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <utility>
#include <vector>

/// Text of data packets: code pages, attribute escapes and the element layout, shared by the
/// packet writer and the dataset's write-back so that both produce the same bytes.
namespace orvela::packet {

/// Attributes whose values are already escaped for the packet, in the packet's encoding.
using RawAttributes = std::vector<std::pair<QByteArray, QByteArray>>;

/// Text in the packet's encoding; characters that windows-1250 lacks become '?'.
QByteArray EncodeText(QStringView text, PacketEncoding encoding);
QString DecodeText(const char *bytes, qsizetype length, PacketEncoding encoding);

/// Appends text as an escaped attribute value; a character that the code page lacks is written as a
/// character reference, so nothing is lost.
void AppendEscaped(QByteArray &out, QStringView text, PacketEncoding encoding);
QByteArray Escaped(QStringView text, PacketEncoding encoding);

/// Appends a value as it stood in a packet (escapes unresolved); only what would end the quoted value
/// early is escaped, everything else is copied byte for byte.
void AppendRawValue(QByteArray &out, const char *raw);

/// Resolves the escapes of a value as it stood in a packet and decodes it to text (attribute-value
/// normalisation included: a literal tab, CR or LF reads as a blank).
QString DecodeValue(const char *raw, PacketEncoding encoding);
/// The same into an existing string, whose capacity is reused.
void DecodeValueInto(QString &text, const char *raw, PacketEncoding encoding);
/// The bytes of an ASCII value (a number, Base64) with escapes resolved; a value without '&' is unchanged.
QByteArray UnescapeAscii(const char *raw);

/// Base64 (standard alphabet) as blobs are stored; whatever is not plain Base64 is read as Qt reads it.
QByteArray DecodeBase64(QByteArrayView text);
/// The same into `bytes`, whose memory serves again.
void DecodeBase64Into(QByteArrayView text, QByteArray& bytes);

/// `<?xml ...?>`, `<DATAPACKET Version="2.0">`, METADATA with FIELDS and PARAMS, `<ROWDATA>`.
void AppendPacketStart(QByteArray &out, PacketEncoding encoding, const std::vector<RawAttributes> &fields,
                       const RawAttributes &params);
void AppendPacketEnd(QByteArray &out);
/// ` name="value"` with the value already escaped.
void AppendAttribute(QByteArray &out, const QByteArray &name, const char *escapedValue, qsizetype length);
inline void AppendAttribute(QByteArray &out, const QByteArray &name, const QByteArray &escapedValue) {
    AppendAttribute(out, name, escapedValue.constData(), escapedValue.size());
}
/// ` name="value"` with a value as it stood in a packet.
void AppendRawAttribute(QByteArray &out, const char *name, const char *raw);
inline void AppendRawAttribute(QByteArray &out, const QByteArray &name, const char *raw) {
    AppendRawAttribute(out, name.constData(), raw);
}
inline constexpr const char *kRowStart = "<ROW";
inline constexpr const char *kRowEnd = "/>\n";

/// Writes beside the target and renames over it once complete and flushed; the old file stays whole on
/// any failure. Throws FileError("Cannot create file %s").
void WriteFileAtomically(const QString &fileName, const QByteArray &bytes);

/// Writes the bytes into the file itself, creating it or replacing its content, so the file keeps its
/// links and permissions and a folder the user may not write is no obstacle for a file he may. The
/// space is claimed before the old content is touched: a full disk leaves the old file as it was.
/// Throws FileError("Cannot create file %s"), with the system's reason when the space was refused.
void WriteFileInPlace(const QString &fileName, const QByteArray &bytes);

/// Reserves `length` bytes for an open file; 0 or the errno of the refusal.
using SpaceReservation = int (*)(int fd, qint64 length);
/// Test seam: replaces the reservation (nullptr: the file system's own); returns the one before.
SpaceReservation SetSpaceReservation(SpaceReservation reservation);

} // namespace orvela::packet
