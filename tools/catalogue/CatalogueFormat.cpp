#include "tools/catalogue/CatalogueFormat.h"

#include "platform/dataset/DataPacket.h"
#include "platform/errors/Errors.h"
#include "tools/catalogue/Rtf.h"

#include <QDir>
#include <memory>

namespace orvela::catalogue {

const QStringList& BooleanFieldNames()
{
    static const QStringList names = [] {
        QStringList result;
        const auto add = [&](const char* prefix, int first, int last) {
            for (int i = first; i <= last; ++i)
                result << QString::fromLatin1(prefix) + QString::number(i);
        };
        add("S", 0, 5);
        add("B", 0, 8);
        add("KL", 0, 3);
        add("DK", 1, 12);
        add("SK", 1, 12);
        return result;
    }();
    return names;
}

int BooleanFieldIndex(const QString& name)
{
    return static_cast<int>(BooleanFieldNames().indexOf(name));
}

namespace {

// Field positions of the species packet.
enum SpeciesField { kId, kCz, kLat, kFamily, kNote, kFirstFlag, kFiltr = kFirstFlag + kBooleanFieldCount };

std::vector<PacketField> SpeciesFields()
{
    std::vector<PacketField> fields = {
        {"ID", "i4", 0, {}},
        {"CZ", "string", kNameWidth, {}},
        {"LAT", "string", kNameWidth, {}},
        {"Family", "i4", 0, {}},
        {"NOTE", "bin.hex", 0, "Binary"},
    };
    for (const QString& name : BooleanFieldNames())
        fields.push_back({name, "boolean", 0, {}});
    fields.push_back({"FILTR", "boolean", 0, {}});
    return fields;
}

std::unique_ptr<DataPacketWriter> FamilyWriter(const std::vector<FamilyRecord>& families)
{
    auto writer = std::make_unique<DataPacketWriter>(std::vector<PacketField>{
        {"ID", "i4", 0, {}},
        {"cz", "string", kFamilyNameWidth, {}},
        {"latin", "string", kFamilyNameWidth, {}},
        {"Note", "bin.hex", 0, "Text"},
    });
    writer->SetParam("LCID", kCzechLcid);
    for (const FamilyRecord& family : families) {
        QByteArray note;
        if (!EncodeWindows1250(family.note, &note))
            throw Error(QStringLiteral("Family %1: the note has a character outside windows-1250").arg(family.id));
        writer->BeginRow();
        writer->SetInteger(0, family.id);
        writer->SetString(1, family.cz);
        writer->SetString(2, family.latin);
        writer->SetBlob(3, note);
        writer->EndRow();
    }
    return writer;
}

std::unique_ptr<DataPacketWriter> SpeciesWriter(const std::vector<SpeciesRecord>& species)
{
    auto writer = std::make_unique<DataPacketWriter>(SpeciesFields());
    writer->SetParam("LCID", kCzechLcid);
    for (const SpeciesRecord& record : species) {
        writer->BeginRow();
        writer->SetInteger(kId, record.id);
        writer->SetString(kCz, record.cz);
        writer->SetString(kLat, record.lat);
        writer->SetInteger(kFamily, record.family);
        writer->SetBlob(kNote, record.note);
        for (int i = 0; i < kBooleanFieldCount; ++i)
            writer->SetBoolean(kFirstFlag + i, record.flags.test(i));
        if (record.filtr)
            writer->SetBoolean(kFiltr, *record.filtr);
        writer->EndRow();
    }
    return writer;
}

} // namespace

QByteArray FamilyPacket(const std::vector<FamilyRecord>& families)
{
    return FamilyWriter(families)->ToBytes();
}

QByteArray SpeciesPacket(const std::vector<SpeciesRecord>& species)
{
    return SpeciesWriter(species)->ToBytes();
}

void WriteCatalogue(const QString& folder, const std::vector<FamilyRecord>& families,
                    const std::vector<SpeciesRecord>& species)
{
    const QDir dir(folder);
    FamilyWriter(families)->WriteToFile(dir.filePath(QStringLiteral("Familia.xml")));
    SpeciesWriter(species)->WriteToFile(dir.filePath(QStringLiteral("Orvela.xml")));
}

} // namespace orvela::catalogue
