#include "CatalogueFixture.h"

#include "tools/catalogue/CatalogueFormat.h"
#include "platform/jpeg/WriteJpeg.h"

#include <QFile>
#include <QImage>
#include <QStringEncoder>

namespace orvela::test {

namespace {
void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}
} // namespace

void WriteFamilies(const QString& folder, const std::vector<FamilyRow>& families)
{
    std::vector<catalogue::FamilyRecord> records;
    for (const FamilyRow& family : families)
        records.push_back({family.id, family.cz, family.latin, family.note});
    WriteBytes(folder + QStringLiteral("/Familia.xml"), catalogue::FamilyPacket(records));
}

void WriteSpecies(const QString& folder, const std::vector<SpeciesRow>& species)
{
    std::vector<catalogue::SpeciesRecord> records;
    for (const SpeciesRow& row : species) {
        catalogue::SpeciesRecord record;
        record.id = row.id;
        record.cz = row.cz;
        record.lat = row.lat;
        record.family = row.family;
        record.note = row.note;
        for (const QString& trait : row.traits)
            record.SetFlag(trait);
        record.filtr = row.filtr;
        records.push_back(std::move(record));
    }
    WriteBytes(folder + QStringLiteral("/Orvela.xml"), catalogue::SpeciesPacket(records));
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
