#include "platform/dataset/ClientDataSet.h"
#include "platform/errors/Errors.h"
#include "tools/catalogue/ArticleMarkup.h"
#include "tools/catalogue/CatalogueSources.h"
#include "tools/generate/CatalogueGenerator.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace orvela;
using namespace orvela::catalogue;

namespace {

const QByteArray kFamilies = "ID: 1\ncz: Hvězdnicovité\nlatin: Asteraceae\nNote: Úbory.\n\n"
                             "ID: 2\ncz: Růžovité\nlatin: Rosaceae\nNote: Pět lístků.\n";

QByteArray Species(int id, const QByteArray& header = {}, const QByteArray& body = "# Titul\nText článku.\n")
{
    QByteArray text = "ID: " + QByteArray::number(id) + "\nCZ: Čekanka obecná\nLAT: Cichorium intybus\nFamily: 1\n"
                      "Traits: S1 S2 B4 KL3\nMonths: 7-9\nGroups: SK1 SK5 SK10\n";
    text += header;
    return text + "\n" + body;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

/// A data folder with the two families and the given species files.
void MakeSources(const QString& folder, const QList<QPair<QString, QByteArray>>& species,
                 const QByteArray& families = kFamilies)
{
    WriteFile(folder + "/families.txt", families);
    for (const auto& [name, text] : species)
        WriteFile(folder + "/plants/" + name, text);
}

QString SourceErrorOf(const QString& folder)
{
    try {
        ReadCatalogueSources(folder);
    } catch (const Error& error) {
        return error.Message();
    }
    return {};
}

QByteArray ReplaceLine(QByteArray text, const QByteArray& prefix, const QByteArray& line)
{
    const qsizetype start = text.indexOf(prefix);
    const qsizetype end = text.indexOf('\n', start);
    return text.replace(start, end - start, line);
}

} // namespace

class TestTools final : public QObject {
    Q_OBJECT

private slots:
    void brokenSourceNamesFileAndLine_data();
    void brokenSourceNamesFileAndLine();
    void traitsMonthsAndFiltrAreRead();
    void articleMarkupBecomesWindowsRtf();
    void catalogueReadsBackThroughTheDataSet();
    void generatedCatalogueHasTheRowsAsked();
    void sampleCatalogueCoversEveryTraitAndGroup();
};

void TestTools::brokenSourceNamesFileAndLine_data()
{
    QTest::addColumn<QByteArray>("families");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("species");
    QTest::addColumn<QString>("where"); // file:line
    QTest::addColumn<QString>("what");

    const QString f = QStringLiteral("5-cekanka.txt");
    const QByteArray ok = Species(5);
    QTest::newRow("unknown trait") << kFamilies << f << ReplaceLine(ok, "Traits:", "Traits: S1 B4 KL3 X7") << f + ":5"
                                   << "unknown trait 'X7'";
    QTest::newRow("group named among traits")
        << kFamilies << f << ReplaceLine(ok, "Traits:", "Traits: S1 B4 KL3 SK2") << f + ":5" << "unknown trait 'SK2'";
    QTest::newRow("trait out of range") << kFamilies << f << ReplaceLine(ok, "Groups:", "Groups: SK1 SK13 SK10")
                                        << f + ":7" << "unknown trait 'SK13'";
    QTest::newRow("missing field") << kFamilies << f << ReplaceLine(ok, "LAT:", "") << f + ":1"
                                   << "missing field 'LAT'";
    QTest::newRow("unknown field") << kFamilies << f << ReplaceLine(ok, "LAT:", "Latin: Cichorium") << f + ":3"
                                   << "unknown field 'Latin'";
    QTest::newRow("family that does not exist")
        << kFamilies << f << ReplaceLine(ok, "Family:", "Family: 9") << f + ":4" << "family 9 does not exist";
    QTest::newRow("ID that is no number") << kFamilies << f << ReplaceLine(ok, "ID:", "ID: pět") << f + ":1"
                                          << "ID must be a whole number";
    QTest::newRow("ID unlike the file name") << kFamilies << f << Species(6) << f + ":1"
                                             << "does not match the file name";
    QTest::newRow("month 13") << kFamilies << f << ReplaceLine(ok, "Months:", "Months: 11-13") << f + ":6"
                              << "unknown month '11-13'";
    QTest::newRow("undetermined with a value") << kFamilies << f
                                               << ReplaceLine(ok, "Traits:", "Traits: S0 S1 B4 KL3") << f + ":5"
                                               << "S0 (not determined) together with other S traits";
    QTest::newRow("no colour at all") << kFamilies << f << ReplaceLine(ok, "Traits:", "Traits: S1 KL3") << f + ":5"
                                      << "no B trait";
    QTest::newRow("no growth form") << kFamilies << f << ReplaceLine(ok, "Groups:", "Groups: SK1") << f + ":7"
                                    << "no growth form";
    QTest::newRow("name wider than its field")
        << kFamilies << f << ReplaceLine(ok, "CZ:", "CZ: " + QByteArray(51, 'a')) << f + ":2" << "at most 50 fit";
    QTest::newRow("letter outside windows-1250")
        << kFamilies << f << ReplaceLine(ok, "CZ:", "CZ: Čekanka ☘") << f + ":2" << "windows-1250 lacks";
    QTest::newRow("unclosed italics") << kFamilies << f << Species(5, {}, "# Titul\nprvní\n*Cichorium intybus je\n")
                                      << f + ":11" << "is not closed";
    QTest::newRow("empty article") << kFamilies << f << Species(5, {}, "\n\n") << f + ":9" << "article is empty";
    QTest::newRow("not UTF-8") << kFamilies << f << ReplaceLine(ok, "CZ:", "CZ: \xe8""ekanka") << f + ":2"
                               << "not valid UTF-8";
    QTest::newRow("FILTR not Boolean") << kFamilies << f << Species(5, "FILTR: ano\n") << f + ":8"
                                       << "FILTR is true or false";
    QTest::newRow("duplicate family ID") << kFamilies + "\nID: 2\ncz: Jiné\nlatin: Aliaceae\nNote: x\n"
                                         << f << ok << "families.txt:11"
                                         << "duplicate family ID 2, first given on line 6";
    QTest::newRow("family without a note") << QByteArray("ID: 1\ncz: Hvězdnicovité\nlatin: Asteraceae\n") << f << ok
                                           << "families.txt:1" << "missing field 'Note'";
}

void TestTools::brokenSourceNamesFileAndLine()
{
    QFETCH(QByteArray, families);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, species);
    QFETCH(QString, where);
    QFETCH(QString, what);
    QTemporaryDir dir;
    MakeSources(dir.path(), {{fileName, species}}, families);
    const QString message = SourceErrorOf(dir.path());
    QVERIFY2(message.contains(where + ": ") && message.contains(what), qPrintable(message));
}

void TestTools::traitsMonthsAndFiltrAreRead()
{
    QTemporaryDir dir;
    MakeSources(dir.path(), {{"2-b.txt", ReplaceLine(Species(2, "FILTR: FALSE\n"), "Months:", "Months: 11-2, 5")},
                             {"1-a.txt", ReplaceLine(Species(1), "Traits:", "Traits: s0 b0 kl0")},
                             {"3-c.txt", ReplaceLine(Species(3), "Months:", "Months: -")}});
    const Catalogue catalogue = ReadCatalogueSources(dir.path());
    QCOMPARE(catalogue.species.size(), size_t(3));
    QCOMPARE(catalogue.families.size(), size_t(2));
    QCOMPARE(catalogue.families[1].cz, QStringLiteral("Růžovité"));

    const SpeciesRecord& undetermined = catalogue.species[0]; // sorted by ID
    QCOMPARE(undetermined.id, 1);
    QVERIFY(undetermined.Flag("S0") && undetermined.Flag("B0") && undetermined.Flag("KL0"));
    QVERIFY(!undetermined.filtr.has_value());

    const SpeciesRecord& winter = catalogue.species[1];
    QStringList months;
    for (int month = 1; month <= 12; ++month)
        if (winter.Flag("DK" + QString::number(month)))
            months << QString::number(month);
    QCOMPARE(months.join(' '), QStringLiteral("1 2 5 11 12"));
    QCOMPARE(winter.filtr, std::optional<bool>(false));
    QVERIFY(winter.Flag("SK1") && winter.Flag("SK5") && winter.Flag("SK10") && !winter.Flag("SK2"));

    for (int month = 1; month <= 12; ++month)
        QVERIFY(!catalogue.species[2].Flag("DK" + QString::number(month)));
}

void TestTools::articleMarkupBecomesWindowsRtf()
{
    const QStringList lines = {"# Čekanka obecná",
                               "",
                               "*Cichorium intybus* roste **hojně**",
                               "u cest.",
                               "Využití:",
                               "- kořen jako náhražka kávy,",
                               "  hlavně dříve",
                               "- listy do salátu",
                               "",
                               "Hvězdička \\* zůstane."};
    const QByteArray rtf = MarkupToRtf(lines, "x.txt", 1);
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1250\\deff0"));
    QVERIFY(rtf.contains("\\fcharset238 Arial;"));
    QVERIFY(rtf.endsWith("}\r\n"));
    QVERIFY(rtf.contains("\\b\\fs28 \\'c8ekanka obecn\\'e1\\b0\\fs20\\par")); // Č and á as windows-1250 bytes
    // Lines without a blank between them make one paragraph; a list may follow it directly.
    QVERIFY(rtf.contains("\\i Cichorium intybus\\i0  roste \\b hojn\\'ec\\b0  u cest. Vyu\\'9eit\\'ed:\\par\r\n"
                         "{\\pntext\\f1\\'b7\\tab}"));
    QVERIFY(rtf.contains("k\\'e1vy, hlavn\\'ec d\\'f8\\'edve\\par\r\n{\\pntext\\f1\\'b7\\tab}listy"));
    QVERIFY(rtf.contains("\\pard\\par\r\nHv\\'eczdi\\'e8ka * z\\'f9stane."));
    QCOMPARE(rtf.count("\\pntext"), 2);
    // Every brace opened is closed: a reader must see one document.
    QCOMPARE(rtf.count('{') - rtf.count("\\{"), rtf.count('}') - rtf.count("\\}"));

    QCOMPARE(MarkupToPlainText(lines).split('\n').first(), QStringLiteral("Čekanka obecná"));
}

void TestTools::catalogueReadsBackThroughTheDataSet()
{
    QTemporaryDir dir;
    MakeSources(dir.path(), {{"1-cekanka.txt", Species(1, "FILTR: true\n")},
                             {"2-chrpa.txt", ReplaceLine(ReplaceLine(Species(2), "CZ:", "CZ: Chrpa modrá"), "Family:",
                                                         "Family: 2")}});
    const Catalogue catalogue = ReadCatalogueSources(dir.path());
    WriteCatalogue(dir.path(), catalogue.families, catalogue.species);

    ClientDataSet families(QStringLiteral("DataFam"));
    families.LoadFromFile(dir.filePath("Familia.xml"));
    QCOMPARE(families.RecordCount(), 2);
    QVERIFY(families.Locate("ID", "2"));
    QCOMPARE(families.FieldByName("cz").AsString(), QStringLiteral("Růžovité"));
    QCOMPARE(families.FieldByName("Note").AsBytes(), QByteArray("P\xec""t l\xedstk\xf9."));

    ClientDataSet species(QStringLiteral("DataOrvela"));
    species.SetIndexFieldNames("cz");
    species.LoadFromFile(dir.filePath("Orvela.xml"));
    QCOMPARE(species.RecordCount(), 2);
    // Czech order: "Č" after "C" and "Ch" after "H" put the Chrpa first.
    QCOMPARE(species.FieldByName("CZ").AsString(), QStringLiteral("Čekanka obecná"));
    QCOMPARE(species.FieldByName("FILTR").AsBoolean(), true);
    QCOMPARE(species.FieldByName("B4").AsBoolean(), true);
    QCOMPARE(species.FieldByName("B1").AsBoolean(), false);
    QVERIFY(species.FieldByName("NOTE").AsBytes().startsWith("{\\rtf1\\ansi\\ansicpg1250"));
    QVERIFY(species.Locate("ID", "2"));
    QCOMPARE(species.FieldByName("Family").AsInteger(), 2);
    QVERIFY(species.FieldByName("FILTR").IsNull()); // no mark until a search sets one
}

void TestTools::generatedCatalogueHasTheRowsAsked()
{
    const GeneratedCatalogue first = GenerateCatalogue(250);
    QCOMPARE(first.species.size(), size_t(250));
    QCOMPARE(SpeciesPacket(first.species), SpeciesPacket(GenerateCatalogue(250).species)); // same seed, same bytes
    for (const SpeciesRecord& record : first.species) {
        QVERIFY(record.note.size() >= 3000 && record.note.size() < 4000);
        QVERIFY(record.family >= 1 && record.family <= int(first.families.size()));
        QVERIFY(record.cz.toLocal8Bit().size() <= kNameWidth * 2);
    }

    QTemporaryDir dir;
    WriteCatalogue(dir.path(), first.families, first.species);
    ClientDataSet species(QStringLiteral("DataOrvela"));
    species.LoadFromFile(dir.filePath("Orvela.xml"));
    QCOMPARE(species.RecordCount(), 250);
    species.SetFilter("SK10=true");
    species.SetFiltered(true);
    QVERIFY(species.RecordCount() > 100 && species.RecordCount() < 250);
    ClientDataSet families(QStringLiteral("DataFam"));
    families.LoadFromFile(dir.filePath("Familia.xml"));
    QCOMPARE(families.RecordCount(), int(first.families.size()));
}

void TestTools::sampleCatalogueCoversEveryTraitAndGroup()
{
    const Catalogue catalogue = ReadCatalogueSources(ORVELA_DATA_DIR);
    QVERIFY(catalogue.species.size() >= 60);
    QVERIFY(catalogue.families.size() >= 15);
    for (size_t i = 0; i < catalogue.species.size(); ++i)
        QCOMPARE(catalogue.species[i].id, int(i) + 1); // photos are found by ID: no gaps

    QSet<int> familiesUsed;
    QSet<QString> names;
    for (const SpeciesRecord& record : catalogue.species) {
        familiesUsed.insert(record.family);
        QVERIFY2(!names.contains(record.cz), qPrintable(record.cz));
        names.insert(record.cz);
    }
    QCOMPARE(familiesUsed.size(), qsizetype(catalogue.families.size())); // no family without species

    for (int field = 0; field < kBooleanFieldCount; ++field) {
        const bool used = std::any_of(catalogue.species.begin(), catalogue.species.end(),
                                      [&](const SpeciesRecord& record) { return record.flags.test(field); });
        QVERIFY2(used, qPrintable(BooleanFieldNames()[field]));
    }

    QTemporaryDir dir;
    WriteCatalogue(dir.path(), catalogue.families, catalogue.species);
    ClientDataSet species(QStringLiteral("DataOrvela"));
    species.LoadFromFile(dir.filePath("Orvela.xml"));
    QCOMPARE(species.RecordCount(), int(catalogue.species.size()));
    QVERIFY(species.Locate("CZ", QStringLiteral("Žluťucha orlíčkolistá")));

    // Articles: 80 to 250 words each.
    const QDir speciesDir(QStringLiteral(ORVELA_DATA_DIR "/plants"));
    for (const QString& name : speciesDir.entryList({"*.txt"}, QDir::Files)) {
        QFile file(speciesDir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        const QStringList body = lines.mid(lines.indexOf(QString()) + 1);
        const qsizetype words =
            MarkupToPlainText(body).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts).size();
        QVERIFY2(words >= 80 && words <= 250, qPrintable(QStringLiteral("%1: %2 words").arg(name).arg(words)));
    }
}

QTEST_GUILESS_MAIN(TestTools)
#include "test_tools.moc"
