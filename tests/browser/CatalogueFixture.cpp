#include "CatalogueFixture.h"

#include "platform/dataset/DataPacket.h"
#include "platform/jpeg/WriteJpeg.h"

#include <QImage>
#include <QStringDecoder>
#include <QStringEncoder>

namespace orvela::test {

namespace {
QStringList AllTraits()
{
    QStringList names;
    const auto add = [&names](const char* prefix, int from, int to) {
        for (int i = from; i <= to; ++i)
            names << QLatin1String(prefix) + QString::number(i);
    };
    add("S", 0, 5);
    add("B", 0, 8);
    add("KL", 0, 3);
    add("DK", 1, 12);
    add("SK", 1, 12);
    return names;
}
} // namespace

void WriteFamilies(const QString& folder, const std::vector<FamilyRow>& families)
{
    DataPacketWriter writer({{"ID", "i4"}, {"cz", "string", 40}, {"latin", "string", 40}, {"Note", "bin.hex", 0, "Text"}});
    QStringEncoder encoder("windows-1250");
    for (const FamilyRow& family : families) {
        writer.BeginRow();
        writer.SetInteger(0, family.id);
        writer.SetString(1, family.cz);
        writer.SetString(2, family.latin);
        writer.SetBlob(3, encoder.encode(family.note));
        writer.EndRow();
    }
    writer.WriteToFile(folder + QStringLiteral("/Familia.xml"));
}

void WriteSpecies(const QString& folder, const std::vector<SpeciesRow>& species)
{
    const QStringList traits = AllTraits();
    std::vector<PacketField> fields{{"ID", "i4"}, {"CZ", "string", 50}, {"LAT", "string", 50}, {"Family", "i4"},
                                    {"NOTE", "bin.hex", 0, "Binary"}};
    for (const QString& trait : traits)
        fields.push_back({trait, "boolean"});
    fields.push_back({"FILTR", "boolean"});
    DataPacketWriter writer(fields);
    for (const SpeciesRow& row : species) {
        writer.BeginRow();
        writer.SetInteger(0, row.id);
        writer.SetString(1, row.cz);
        writer.SetString(2, row.lat);
        if (row.family)
            writer.SetInteger(3, *row.family);
        writer.SetBlob(4, row.note);
        for (int i = 0; i < traits.size(); ++i)
            writer.SetBoolean(5 + i, row.traits.contains(traits[i]));
        if (row.filtr)
            writer.SetBoolean(5 + int(traits.size()), *row.filtr);
        writer.EndRow();
    }
    writer.WriteToFile(folder + QStringLiteral("/Orvela.xml"));
}

QByteArray Article(const QString& text)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fnil\\fcharset238 Arial;}}\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    QStringEncoder encoder("windows-1250");
    for (const QChar c : text) {
        if (c == u'\n') {
            rtf += "\\par\n";
        } else if (c.unicode() < 0x80) {
            if (c == u'\\' || c == u'{' || c == u'}')
                rtf += '\\';
            rtf += char(c.unicode());
        } else {
            const QByteArray bytes = encoder.encode(QString(c));
            for (const char byte : bytes)
                rtf += "\\'" + QByteArray::number(uchar(byte), 16).rightJustified(2, '0');
        }
    }
    return rtf + "\\par\n}";
}

void WritePhoto(const QString& path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 140, 60));
    WriteJpeg(image, path);
}

std::vector<FamilyRow> SampleFamilies()
{
    return {{1, QStringLiteral("Hvězdnicovité"), QStringLiteral("Asteraceae"), QStringLiteral("Úbory květů.")},
            {2, QStringLiteral("Růžovité"), QStringLiteral("Rosaceae"), QStringLiteral("Pět korunních lístků.")},
            {3, QStringLiteral("Bukovité"), QStringLiteral("Fagaceae"), QStringLiteral("Stromy s nažkami.")}};
}

std::vector<SpeciesRow> SampleSpecies()
{
    return {
        {1, QStringLiteral("Sedmikráska chudobka"), QStringLiteral("Bellis perennis"), 1,
         Article(QStringLiteral("Drobná bylina trávníků.")), {"S2", "B1", "KL3", "DK3", "DK4", "SK1", "SK10"}},
        {2, QStringLiteral("Chrpa modrá"), QStringLiteral("Centaurea cyanus"), 1,
         Article(QStringLiteral("Plevel obilných polí s modrými květy.")), {"S1", "B4", "KL3", "DK6", "SK1", "SK5", "SK10"}},
        {3, QStringLiteral("Čekanka obecná"), QStringLiteral("Cichorium intybus"), 1,
         Article(QStringLiteral("Kořen čekanky se pražil jako náhražka kávy.")), {"S1", "B4", "KL3", "DK7", "SK1", "SK5", "SK6", "SK10"}},
        {4, QStringLiteral("Růže šípková"), QStringLiteral("Rosa canina"), 2,
         Article(QStringLiteral("Keř s plody šípky, bohatými na vitamín C.")), {"S3", "B3", "KL2", "DK6", "SK1", "SK5", "SK6", "SK11"}},
        {5, QStringLiteral("Buk lesní"), QStringLiteral("Fagus sylvatica"), 3,
         Article(QStringLiteral("Mohutný strom s hladkou šedou kůrou.")), {"S3", "B0", "KL0", "DK5", "SK1", "SK12"}},
        {6, QStringLiteral("Hrách setý"), QStringLiteral("Pisum sativum"), 4,
         Article(QStringLiteral("Luštěnina zahrad.")), {"S1", "B1", "KL2", "DK6", "SK2", "SK6", "SK10"}},
    };
}

CatalogueFolder::CatalogueFolder() : previous_(QDir::currentPath())
{
    QDir::setCurrent(dir_.path());
}

CatalogueFolder::~CatalogueFolder()
{
    QDir::setCurrent(previous_);
}

} // namespace orvela::test
