#include "platform/dataset/BulkMemory.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketContent.h"
#include "platform/dataset/PacketText.h"
#include "platform/errors/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <unicode/ucol.h>

#include <csignal>
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvela;

namespace {

struct Species {
    int id = 0;
    std::optional<QString> cz;
    QString lat;
    int family = 0;
    std::optional<bool> filtr;
    QStringList traits; // Boolean fields that are true; every other trait is false
    QByteArray note;
};

const QStringList &TraitNames() {
    static const QStringList names = [] {
        static const struct {
            const char *prefix;
            int first, last;
        } groups[] = {{"S", 0, 5}, {"B", 0, 8}, {"KL", 0, 3}, {"DK", 1, 12}, {"SK", 1, 12}};
        QStringList list;
        for (const auto &group : groups) {
            for (int i = group.first; i <= group.last; ++i)
                list << QString::fromLatin1(group.prefix) + QString::number(i);
        }
        return list;
    }();
    return names;
}

PacketField Column(const QString &name, const QString &type, int width = 0, const QString &subtype = {}) {
    return {name, type, width, subtype};
}

Species Named(int id, std::optional<QString> cz, const QString &lat = {}) {
    Species species;
    species.id = id;
    species.cz = std::move(cz);
    species.lat = lat;
    return species;
}

/// A species catalogue shaped like Orvela.xml.
QByteArray Catalogue(const std::vector<Species> &species, const QString &lcid = {}) {
    std::vector<PacketField> fields{Column("ID", "i4"), Column("CZ", "string", 60), Column("LAT", "string", 60),
                                    Column("Family", "i4"), Column("NOTE", "bin.hex", 0, "Binary")};
    for (const QString &trait : TraitNames())
        fields.push_back(Column(trait, "boolean"));
    fields.push_back(Column("FILTR", "boolean"));
    const int filtr = static_cast<int>(fields.size()) - 1;
    DataPacketWriter writer(fields);
    if (!lcid.isEmpty())
        writer.SetParam("LCID", lcid);
    for (const Species &s : species) {
        writer.BeginRow();
        writer.SetInteger(0, s.id);
        if (s.cz)
            writer.SetString(1, *s.cz);
        writer.SetString(2, s.lat);
        writer.SetInteger(3, s.family);
        writer.SetBlob(4, s.note);
        for (int i = 0; i < TraitNames().size(); ++i)
            writer.SetBoolean(5 + i, s.traits.contains(TraitNames()[i]));
        if (s.filtr)
            writer.SetBoolean(filtr, *s.filtr);
        writer.EndRow();
    }
    return writer.ToBytes();
}

/// A packet written by hand, for what the writer never produces.
QByteArray Packet(const QByteArray &fields, const QByteArray &rows, const QByteArray &declaration = {}) {
    return (declaration.isEmpty() ? QByteArray("<?xml version=\"1.0\" standalone=\"yes\"?>") : declaration) +
           "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields + "</FIELDS></METADATA><ROWDATA>" + rows +
           "</ROWDATA></DATAPACKET>";
}

QString Write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray Read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Records the events and notifications of a dataset in the order they arrive.
class Recorder final : public DataSetObserver {
  public:
    explicit Recorder(ClientDataSet &dataSet) : dataSet_(dataSet) {
        dataSet.AfterOpen = [this] { log << "open"; };
        dataSet.AfterScroll = [this] {
            log << (dataSet_.RecNo() < 0 ? QStringLiteral("scroll:none")
                                         : "scroll:" + dataSet_.FieldByName("ID").AsString());
        };
        dataSet.AddObserver(this);
    }
    ~Recorder() override { dataSet_.RemoveObserver(this); }
    void DataSetChanged() override { log << "changed"; }
    void RecordChanged() override { log << "record"; }

    int Scrolls() const { return static_cast<int>(log.filter(QStringLiteral("scroll:")).size()); }
    QStringList TakeLog() { return std::exchange(log, {}); }

    QStringList log;

  private:
    ClientDataSet &dataSet_;
};

/// IDs of the visible records in the current order; leaves the cursor on the first one.
QList<int> VisibleIds(ClientDataSet &dataSet) {
    QList<int> ids;
    for (int row = 0; row < dataSet.RecordCount(); ++row)
        ids << dataSet.DisplayText(row, 0).toInt();
    return ids;
}

/// A field of the row with ID 3 as a strict XML reader reads a windows-1250 packet; its error when it
/// refuses the packet.
QString StrictlyRead(const QByteArray &packet, const QString &field) {
    QXmlStreamReader reader(packet::DecodeText(packet.constData(), packet.size(), PacketEncoding::Windows1250));
    QString value = QStringLiteral("no row 3");
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"ROW" &&
            reader.attributes().value(QLatin1String("ID")) == u"3")
            value = reader.attributes().value(field).toString();
    }
    return reader.hasError() ? "refused: " + reader.errorString() : value;
}

template <class Exception, class Operation> QString MessageOf(Operation operation) {
    try {
        operation();
    } catch (const Exception &error) {
        return error.Message();
    }
    return QStringLiteral("(no error)");
}

/// The article text search's marking pass.
void MarkAll(ClientDataSet &dataSet, const QList<int> &marked) {
    dataSet.SetReadOnly(false);
    dataSet.SetFiltered(false);
    dataSet.First();
    while (!dataSet.Eof()) {
        dataSet.Edit();
        dataSet.FieldByName("FILTR").SetAsBoolean(marked.contains(dataSet.FieldByName("ID").AsInteger()));
        dataSet.Post();
        dataSet.Next();
    }
    dataSet.SetReadOnly(true);
}

std::vector<Species> Herbs() {
    return {
        {1, "Hrách", "Pisum sativum", 12, false, {"SK2", "SK6", "SK10", "B1", "DK5"}, "{\\rtf1 hrach}"},
        {2, "Chrpa", "Centaurea cyanus", 7, true, {"SK1", "SK10", "B4", "S1", "DK6", "KL3"}, "{\\rtf1 chrpa}"},
        {3, "Cibule", "Allium cepa", 12, std::nullopt, {"SK2", "SK6", "SK10"}, "{\\rtf1 cibule}"},
        {4,
         "Čekanka",
         "Cichorium intybus",
         7,
         false,
         {"SK1", "S3", "B2", "DK5", "KL3", "SK10", "SK5"},
         "{\\rtf1 cekanka}"},
        {5, "Fíkus", "Ficus benjamina", 3, true, {"SK3", "SK11"}, {}},
    };
}

} // namespace

class TestDataSet final : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }
    void cleanup() { QDir::setCurrent(QDir::tempPath()); }

    void booleanSpellings_data();
    void booleanSpellings();
    void base64AsQtReadsIt_data();
    void base64AsQtReadsIt();
    void rowWithoutMark();
    void refusedPackets_data();
    void refusedPackets();
    void rowsScannedAsParsed_data();
    void rowsScannedAsParsed();
    void unopenableFile_data();
    void unopenableFile();
    void windows1250RoundTrip();
    void utf8Packet();
    void escapesRoundTrip();
    void valuesKeptAsRead();
    void czechOrder();
    void czechOrderOfAlikeNames();
    void localeOrder();
    void orderChangeKeepsRecord();
    void filters_data();
    void filters();
    void badFilters_data();
    void badFilters();
    void emptyFilterResult();
    void locate_data();
    void locate();
    void scrollEvents();
    void editRules();
    void scanOfNothingAddsNothing();
    void writeBack_data();
    void writeBack();
    void failedWriteKeepsOldFile();
    void vanishedFolder();
    void writeBackAfterDirectoryChange();
    void concurrentWriteBacks();
    void blobSave_data();
    void blobSave();
    void fileBufferBeyondMemory();
    void fieldAccess();

  private:
    QString CataloguePath(const std::vector<Species> &species = Herbs()) {
        return Write(dir_->filePath("Orvela.xml"), Catalogue(species));
    }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestDataSet::booleanSpellings_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("expected");
    QTest::newRow("TRUE") << QByteArray("TRUE") << true;
    QTest::newRow("true") << QByteArray("true") << true;
    QTest::newRow("T") << QByteArray("T") << true;
    QTest::newRow("escaped T") << QByteArray("&#084;rue") << true;
    QTest::newRow("FALSE") << QByteArray("FALSE") << false;
    QTest::newRow("f") << QByteArray("f") << false;
    QTest::newRow("1") << QByteArray("1") << false;
    QTest::newRow("yes") << QByteArray("yes") << false;
    QTest::newRow("empty") << QByteArray("") << false;
}

void TestDataSet::booleanSpellings() {
    QFETCH(QByteArray, value);
    QFETCH(bool, expected);
    const QString path = Write(dir_->filePath("b.xml"), Packet(R"(<FIELD attrname="ID" fieldtype="i4"/>)"
                                                               R"(<FIELD attrname="FILTR" fieldtype="Boolean"/>)",
                                                               R"(<ROW ID="1" FILTR=")" + value + R"("/>)"));
    ClientDataSet dataSet("DataOrvela");
    dataSet.LoadFromFile(path);
    QCOMPARE(dataSet.FieldByName("filtr").AsBoolean(), expected);
    QVERIFY(!dataSet.FieldByName("FILTR").IsNull());
    dataSet.SetFilter("FILTR=true");
    dataSet.SetFiltered(true);
    QCOMPARE(dataSet.RecordCount(), expected ? 1 : 0);
}

void TestDataSet::rowWithoutMark() {
    ClientDataSet dataSet("DataOrvela");
    dataSet.SetFileName("Orvela.xml");
    dataSet.SetIndexFieldNames("cz");
    dataSet.LoadFromFile(CataloguePath());
    dataSet.SetFilter("FILTR=true");
    dataSet.SetFiltered(true);
    QCOMPARE(VisibleIds(dataSet), (QList<int>{5, 2}));
    QVERIFY(!dataSet.Locate("ID", "3"));
    dataSet.SetFiltered(false);
    QVERIFY(dataSet.Locate("ID", "3"));
    QVERIFY(dataSet.FieldByName("FILTR").IsNull());
    QCOMPARE(dataSet.FieldByName("FILTR").AsString(), QString());
    // Marking it false is still a change: it had no value before.
    dataSet.SetReadOnly(false);
    dataSet.Edit();
    dataSet.FieldByName("FILTR").SetAsBoolean(false);
    dataSet.Post();
    QCOMPARE(dataSet.ChangeCount(), 1);
    QVERIFY(!dataSet.FieldByName("FILTR").IsNull());
}

void TestDataSet::refusedPackets_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray field = R"(<FIELD attrname="ID" fieldtype="i4"/>)";
    QTest::newRow("empty file") << QByteArray() << "not XML";
    QTest::newRow("text") << QByteArray("Hrách, Chrpa") << "not XML";
    QTest::newRow("broken XML") << Packet(field, "<ROW ID=\"1\">") << "not XML";
    QTest::newRow("other root") << QByteArray("<PACKET><METADATA/></PACKET>") << "the document is not a DATAPACKET";
    QTest::newRow("first element") << QByteArray("<DATAPACKET><PARAMS/><METADATA><FIELDS/></METADATA></DATAPACKET>")
                                   << "PARAMS where METADATA or ROWDATA belongs";
    QTest::newRow("no fields") << QByteArray("<DATAPACKET><METADATA><PARAMS/></METADATA><ROWDATA/></DATAPACKET>")
                               << "METADATA holds no FIELDS";
    QTest::newRow("unknown type") << Packet(R"(<FIELD attrname="ID" fieldtype="i5"/>)", {})
                                  << "field ID has the unknown type \"i5\"";
    QTest::newRow("nameless field") << Packet(R"(<FIELD fieldtype="i4"/>)", {}) << "a FIELD has no attrname";
    QTest::newRow("name no row can carry") << Packet(R"(<FIELD attrname="FIL*R" fieldtype="boolean"/>)", {})
                                           << "field FIL*R has a name that no row can carry";
    QTest::newRow("twice") << Packet(field + R"(<FIELD attrname="id" fieldtype="string"/>)", {})
                           << "field id is listed twice";
}

void TestDataSet::refusedPackets() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QDir::setCurrent(dir_->path());
    Write("Orvela.xml", bytes);
    ClientDataSet dataSet("DataOrvela");
    Recorder recorder(dataSet);
    const QString message = MessageOf<Error>([&] { dataSet.LoadFromFile("Orvela.xml"); });
    QVERIFY2(message.startsWith("Invalid data packet in file Orvela.xml: " + reason), qPrintable(message));
    QVERIFY(!dataSet.Active());
    QVERIFY(!recorder.log.contains("open"));
    QCOMPARE(MessageOf<DataSetError>([&] { dataSet.RecordCount(); }),
             QString("DataOrvela: Cannot perform this operation on a closed dataset"));
}

void TestDataSet::rowsScannedAsParsed_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");
    const QByteArray fields = R"(<FIELD attrname="ID" fieldtype="i4"/><FIELD attrname="CZ" fieldtype="string"/>)"
                              R"(<FIELD attrname="SK1" fieldtype="boolean"/>)";
    const auto rows = [&](const QByteArray &rows) { return Packet(fields, rows); };
    const QByteArray tail = "</ROWDATA></DATAPACKET>";
    QTest::newRow("plain") << rows("<ROW ID=\"1\" CZ=\"Dub\" SK1=\"TRUE\"/>\n<ROW ID=\"2\" CZ=\"Buk\" SK1=\"F\"/>\n") << true;
    QTest::newRow("apostrophes, escapes") << rows(R"(<ROW ID='1' CZ='say "hi" &amp; &#269;&#010;' SK1='t'/>)") << true;
    QTest::newRow("white space") << rows("\r\n\t<ROW\tID=\"1\"\n CZ=\"a\"  />  <ROW\r\nID=\"2\"/>\n") << true;
    QTest::newRow("other order, unknown names") << rows(R"(<ROW RowState="4" CZ="x" ID="7" Extra="y"/>)") << true;
    QTest::newRow("names twice") << rows(R"(<ROW ID="1" ID="2" CZ="a" CZ="b" SK1="T" SK1="F" X="1" X="2"/>)") << true;
    QTest::newRow("rows without values") << rows("<ROW/><ROW />") << true;
    QTest::newRow("no rows") << rows({}) << true;
    QTest::newRow("markup in a value") << rows(R"(<ROW CZ="a<b>c</ROW>"/>)") << true;
    QTest::newRow("end tag in a value") << rows(R"(<ROW CZ="</ROWDATA>"/>)") << true;
    QTest::newRow("comment between rows") << rows(R"(<ROW ID="1"/><!-- c --><ROW ID="2"/>)") << true;
    QTest::newRow("other element") << rows(R"(<X/><ROW ID="1"/><ROWS ID="5"/>)") << true;
    QTest::newRow("text between rows") << rows(R"(<ROW ID="1"/>text<ROW ID="2"/>)") << true;
    QTest::newRow("CDATA, instruction") << rows(R"(<![CDATA[<ROW ID="3"/>]]><?pi x?><ROW ID="1"/>)") << true;
    QTest::newRow("row with end tag") << rows(R"(<ROW ID="1"></ROW><ROW ID="2"><ROW ID="3"/></ROW>)") << true;
    QTest::newRow("blanks around =") << rows(R"(<ROW ID = "1" CZ= 'a'/>)") << true;
    QTest::newRow("names with - : .") << rows(R"(<ROW x-y="1" a:b="2" c.d="3" ID="4"/>)") << true;
    QTest::newRow("name in windows-1250") << Packet(fields + "<FIELD attrname=\"\xc8\" fieldtype=\"i4\"/>",
                                                    "<ROW \xc8=\"5\" ID=\"1\"/>") << true;
    QTest::newRow("no blank between values") << rows(R"(<ROW ID="1"CZ="a"/>)") << false;
    QTest::newRow("open value") << rows(R"(<ROW ID="1/>)") << false;
    QTest::newRow("row left open") << rows(R"(<ROW ID="1")") << false;
    QTest::newRow("NUL in a value") << rows(QByteArray("<ROW CZ=\"a\0b\"/>", 16)) << false;
    QTest::newRow("NUL between rows") << rows(QByteArray("<ROW/>\0<ROW/>", 13)) << false;
    QTest::newRow("end tag in a trailing comment") << rows(R"(<ROW ID="1"/>)") + "<!-- </ROWDATA> -->" << true;
    QTest::newRow("start tag in a comment") << "<!-- <ROWDATA> --><DATAPACKET><METADATA><FIELDS>" + fields +
                                                   "</FIELDS></METADATA><ROWDATA><ROW ID=\"1\"/>" + tail
                                            << true;
    QTest::newRow("second ROWDATA") << rows(R"(<ROW ID="1"/></ROWDATA><ROWDATA><ROW ID="9"/>)") << true;
    QTest::newRow("ROWDATA with a value") << "<DATAPACKET><METADATA><FIELDS>" + fields +
                                                 R"(</FIELDS></METADATA><ROWDATA a="1"><ROW ID="1"/>)" + tail
                                          << true;
    QTest::newRow("no METADATA") << "<DATAPACKET><ROWDATA><ROW ID=\"1\"/>" + tail << true;
    QTest::newRow("UTF-8") << Packet(fields, "<ROW CZ=\"\xc5\x99\"/>", "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
                           << true;
    QTest::newRow("refused header") << Packet(R"(<FIELD attrname="ID" fieldtype="i5"/>)", "<ROW ID=\"1\"/>") << false;
    QTest::newRow("broken header") << "<DATAPACKET><METADATA><FIELDS>" + fields + "</METADATA><ROWDATA><ROW/>" + tail
                                   << false;
    QTest::newRow("text after the packet") << rows("<ROW/>") + "junk" << true;
    QTest::newRow("end tag unclosed") << QByteArray("<DATAPACKET><ROWDATA><ROW/></ROWDATA") << false;
}

void TestDataSet::rowsScannedAsParsed() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    // Plain rows are read without the XML parser; every packet must read as the parser reads it.
    const auto read = [&](bool scanRows) -> QByteArray {
        try {
            const auto content = packet::ParsePacketBytes(bytes, scanRows);
            return QByteArray::number(content->recordCount) + ' ' + content->ToBytes();
        } catch (const Error &error) {
            return "refused: " + error.Message().toUtf8();
        }
    };
    const QByteArray parsed = read(false);
    QCOMPARE(read(true), parsed);
    QCOMPARE(!parsed.startsWith("refused"), loads);
}

void TestDataSet::unopenableFile_data() {
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"missing", "folder", "FIFO", "link to /dev/zero"})
        QTest::newRow(kind) << QString(kind);
}

void TestDataSet::unopenableFile() {
    QFETCH(QString, kind);
    QDir::setCurrent(dir_->path());
    const QByteArray path = QFile::encodeName(dir_->filePath("Familia.xml"));
    if (kind == "folder")
        QVERIFY(QDir().mkdir(path));
    else if (kind == "FIFO")
        QVERIFY(::mkfifo(path.constData(), 0600) == 0);
    else if (kind == "link to /dev/zero")
        QVERIFY(QFile::link("/dev/zero", path));
    ClientDataSet dataSet("DataFam");
    dataSet.LoadFromFile(CataloguePath());
    ::alarm(10); // a file that blocks or never ends kills the test instead of hanging it
    QCOMPARE(MessageOf<FileError>([&] { dataSet.LoadFromFile("Familia.xml"); }),
             QString("Cannot open file Familia.xml"));
    ::alarm(0);
    QVERIFY(!dataSet.Active()); // the old content is gone too
}

void TestDataSet::windows1250RoundTrip() {
    const QString lower = "ěščřžýáíéůú ďťň";
    const QString upper = "ĚŠČŘŽÝÁÍÉŮÚ ĎŤŇ";
    std::vector<Species> species{Named(1, lower, upper)};
    const QString path = Write(dir_->filePath("Orvela.xml"), Catalogue(species));
    // Single bytes of the code page: ě is 0xEC, Ů is 0xD9.
    const QByteArray bytes = Read(path);
    QVERIFY(bytes.contains("\xEC\x9A\xE8\xF8\x9E\xFD\xE1\xED\xE9\xF9\xFA \xEF\x9D\xF2"));
    QVERIFY(bytes.contains("\xCC\x8A\xC8\xD8\x8E\xDD\xC1\xCD\xC9\xD9\xDA \xCF\x8D\xD2"));
    QVERIFY(bytes.startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>"));

    {
        ClientDataSet dataSet("DataOrvela");
        dataSet.SetFileName(path);
        dataSet.LoadFromFile(path);
        QCOMPARE(dataSet.FieldByName("CZ").AsString(), lower);
        QCOMPARE(dataSet.FieldByName("LAT").AsString(), upper);
        QCOMPARE(dataSet.FieldByName("CZ").AsBytes(),
                 QByteArray("\xEC\x9A\xE8\xF8\x9E\xFD\xE1\xED\xE9\xF9\xFA \xEF\x9D\xF2"));
        MarkAll(dataSet, {1});
    }
    QVERIFY(Read(path).contains("\xEC\x9A\xE8\xF8\x9E\xFD\xE1\xED\xE9\xF9\xFA \xEF\x9D\xF2"));
    ClientDataSet again("DataOrvela");
    again.LoadFromFile(path);
    QCOMPARE(again.FieldByName("CZ").AsString(), lower);
    QCOMPARE(again.FieldByName("LAT").AsString(), upper);
    QVERIFY(again.FieldByName("FILTR").AsBoolean());
}

void TestDataSet::utf8Packet() {
    // Characters beyond windows-1250 survive reading and the write-back in UTF-8.
    const QString name = QString::fromUtf8("Řeřicha Ω 中 \xF0\x9F\x8C\xB1");
    const QByteArray declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";
    const QString path =
        Write(dir_->filePath("u.xml"),
              Packet(R"(<FIELD attrname="ID" fieldtype="i4"/><FIELD attrname="CZ" fieldtype="string"/>)"
                     R"(<FIELD attrname="FILTR" fieldtype="boolean"/>)",
                     R"(<ROW ID="1" CZ=")" + name.toUtf8() + R"("/>)", declaration));
    {
        ClientDataSet dataSet("DataOrvela");
        dataSet.SetFileName(path);
        dataSet.LoadFromFile(path);
        QCOMPARE(dataSet.FieldByName("CZ").AsString(), name);
        MarkAll(dataSet, {1});
    }
    const QByteArray written = Read(path);
    QVERIFY(written.startsWith(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"));
    QVERIFY(written.contains(name.toUtf8()));
    ClientDataSet again("DataOrvela");
    again.LoadFromFile(path);
    QCOMPARE(again.FieldByName("CZ").AsString(), name);

    // A windows-1250 packet carries such characters as references.
    DataPacketWriter writer({Column("CZ", "string")});
    writer.BeginRow();
    writer.SetString(0, name);
    writer.EndRow();
    writer.WriteToFile(path);
    QVERIFY(Read(path).contains("&#937;"));
    again.LoadFromFile(path);
    QCOMPARE(again.FieldByName("CZ").AsString(), name);
}

void TestDataSet::escapesRoundTrip() {
    const QString tricky = "a\"b&c'd\re\nf\tg\\h<i>j";
    DataPacketWriter writer({Column("ID", "i4"), Column("CZ", "string"), Column("FILTR", "boolean")});
    writer.BeginRow();
    writer.SetInteger(0, 1);
    writer.SetString(1, tricky);
    writer.EndRow();
    const QString path = Write(dir_->filePath("e.xml"), writer.ToBytes());
    QVERIFY(Read(path).contains(R"(CZ="a&quot;b&amp;c&apos;d&#013;e&#010;f&#009;g&#092;h&lt;i&gt;j")"));
    {
        ClientDataSet dataSet("DataOrvela");
        dataSet.SetFileName(path);
        dataSet.LoadFromFile(path);
        QCOMPARE(dataSet.FieldByName("CZ").AsString(), tricky);
        MarkAll(dataSet, {1});
    }
    ClientDataSet again("DataOrvela");
    again.LoadFromFile(path);
    QCOMPARE(again.FieldByName("CZ").AsString(), tricky);
    QVERIFY(again.FieldByName("FILTR").AsBoolean());
}

void TestDataSet::valuesKeptAsRead() {
    // Types the program does not use, single-quoted values, change-log attributes and PARAMS all come back.
    const QString path = Write(
        dir_->filePath("k.xml"),
        "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        "<FIELD attrname=\"ID\" fieldtype=\"i4\" required=\"true\"/><FIELD attrname=\"Since\" fieldtype=\"date\"/>"
        "<FIELD attrname=\"Weight\" fieldtype=\"r8\"/><FIELD attrname=\"CZ\" fieldtype=\"string\" WIDTH=\"20\"/>"
        "<FIELD attrname=\"FILTR\" fieldtype=\"boolean\"/></FIELDS><PARAMS LCID=\"1029\" CHANGE_LOG=\"1 0 4\"/>"
        "</METADATA><ROWDATA><ROW RowState=\"4\" ID=\"1\" Since=\"20240131\" Weight=\"1.5E3\" CZ='say \"hi\"'/>"
        "</ROWDATA></DATAPACKET>");
    {
        ClientDataSet dataSet("DataOrvela");
        dataSet.SetFileName(path);
        dataSet.LoadFromFile(path);
        QCOMPARE(dataSet.FieldByName("Since").AsString(), QString("20240131"));
        QCOMPARE(dataSet.FieldByName("CZ").AsString(), QString("say \"hi\""));
        MarkAll(dataSet, {1});
    }
    const QByteArray written = Read(path);
    for (const char *kept : {R"(<FIELD attrname="ID" fieldtype="i4" required="true"/>)", R"(Since="20240131")",
                             R"(Weight="1.5E3")", R"(CZ="say &quot;hi&quot;")", R"(RowState="4")",
                             R"(<PARAMS LCID="1029" CHANGE_LOG="1 0 4"/>)", R"(WIDTH="20")", R"(FILTR="TRUE")"})
        QVERIFY2(written.contains(kept), kept);
}

void TestDataSet::czechOrder() {
    std::vector<Species> species{Named(1, "Hrách"),   Named(2, "Chrpa"), Named(3, "Cibule"),
                                 Named(4, "Čekanka"), Named(5, {}),      Named(6, "hrách"),
                                 Named(7, "Dub"),     Named(8, "Hrách"), Named(9, "Ha")};
    ClientDataSet dataSet("DataOrvela");
    dataSet.SetIndexFieldNames("cz");
    dataSet.LoadFromFile(CataloguePath(species));
    // No value first; č after c, ch after h; case decides only between equal names; ties in file order.
    QCOMPARE(VisibleIds(dataSet), (QList<int>{5, 3, 4, 7, 9, 6, 1, 8, 2}));
}

void TestDataSet::czechOrderOfAlikeNames() {
    // Names alike far beyond any key prefix, Czech letters, case and accents: the order is that of the
    // whole collation keys, and equal names keep file order.
    const QStringList stems{"Pryskyřník prudký", "Pryskyřník plazivý", "pryskyřník prudký", "PRYSKYŘNÍK PRUDKÝ",
                            "Pryskyrnik prudky", "Chrpa luční", "Chrpa lucni", "Hrách", "Cibule", "Čekanka",
                            "Ř", "R", "Rz", "ch", "Ch", "CH", "h", "Hz", "Štírovník", "Stírovník", "Ďáblík", "Dablik"};
    const QStringList endings{"", " a", " A", " á", " ch", " h", " č", " c", " se stejným dlouhým začátkem názvu",
                              " se stejným dlouhým začátkem názvu a", " se stejným dlouhým začátkem názvu Á"};
    std::vector<Species> species;
    QRandomGenerator random(15);
    for (int copy = 0; copy < 2; ++copy) {
        for (const QString &stem : stems) {
            for (const QString &ending : endings)
                species.push_back(Named(0, stem + ending));
        }
    }
    species.push_back(Named(0, {}));
    std::shuffle(species.begin(), species.end(), random);
    for (int i = 0; i < static_cast<int>(species.size()); ++i)
        species[i].id = i + 1;

    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open("cs", &status);
    QVERIFY(U_SUCCESS(status));
    ucol_setStrength(collator, UCOL_TERTIARY);
    const auto key = [&](const Species &s) {
        if (!s.cz)
            return QByteArray();
        const auto *text = reinterpret_cast<const UChar *>(s.cz->utf16());
        QByteArray bytes(ucol_getSortKey(collator, text, static_cast<int32_t>(s.cz->size()), nullptr, 0), '\0');
        ucol_getSortKey(collator, text, static_cast<int32_t>(s.cz->size()), reinterpret_cast<uint8_t *>(bytes.data()),
                        static_cast<int32_t>(bytes.size()));
        return bytes;
    };
    std::vector<Species> expected = species;
    std::stable_sort(expected.begin(), expected.end(), [&](const Species &a, const Species &b) {
        return a.cz.has_value() != b.cz.has_value() ? !a.cz : std::strcmp(key(a).constData(), key(b).constData()) < 0;
    });
    ucol_close(collator);
    QList<int> ids;
    for (const Species &s : expected)
        ids << s.id;

    ClientDataSet dataSet("DataOrvela");
    dataSet.SetIndexFieldNames("cz");
    dataSet.LoadFromFile(CataloguePath(species));
    QCOMPARE(VisibleIds(dataSet), ids);
}

void TestDataSet::localeOrder() {
    std::vector<Species> species{Named(1, "Hrách"), Named(2, "Chrpa"), Named(3, "Čekanka"), Named(4, "Dub")};
    const QString path = Write(dir_->filePath("Orvela.xml"), Catalogue(species, "1033"));
    ClientDataSet dataSet("DataOrvela");
    dataSet.SetIndexFieldNames("CZ");
    dataSet.LoadFromFile(path);
    QCOMPARE(VisibleIds(dataSet), (QList<int>{3, 2, 4, 1})); // English: Č with C, Ch with C
    Write(path, Catalogue(species, "99999"));                // names no locale: Czech
    dataSet.LoadFromFile(path);
    QCOMPARE(VisibleIds(dataSet), (QList<int>{3, 4, 1, 2}));
}

void TestDataSet::orderChangeKeepsRecord() {
    ClientDataSet dataSet("DataOrvela");
    Recorder recorder(dataSet);
    dataSet.SetIndexFieldNames("cz");
    dataSet.LoadFromFile(CataloguePath());
    QVERIFY(dataSet.Locate("ID", "2"));
    recorder.TakeLog();
    dataSet.SetIndexFieldNames("lat");
    QCOMPARE(recorder.TakeLog(), QStringList{"changed"});
    QCOMPARE(VisibleIds(dataSet), (QList<int>{3, 2, 4, 5, 1}));
    QCOMPARE(dataSet.FieldByName("ID").AsInteger(), 2);
    QCOMPARE(dataSet.RecNo(), 1);
    QCOMPARE(MessageOf<DataSetError>([&] { dataSet.SetIndexFieldNames("xx"); }),
             QString("DataOrvela: Field 'xx' not found"));
    QCOMPARE(dataSet.IndexFieldNames(), QString("lat"));
}

void TestDataSet::filters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("group") << "SK3=true" << QList<int>{5};
    QTest::newRow("family") << "Family=12" << QList<int>{3, 1};
    QTest::newRow("marks") << "FILTR=true" << QList<int>{5, 2};
    QTest::newRow("all and group") << "ID>0 and SK12=true" << QList<int>{};
    QTest::newRow("all") << "ID>0" << QList<int>{3, 4, 5, 1, 2};
    QTest::newRow("greater") << "Family>7" << QList<int>{3, 1};
    QTest::newRow("criteria") << "SK1=true and S3=true and B2=true and DK5=true and KL3=true and SK10=true"
                              << QList<int>{4};
    QTest::newRow("AND") << "SK1=true AND SK10=true" << QList<int>{4, 2};
    QTest::newRow("True") << "SK10=True" << QList<int>{3, 4, 1, 2};
    QTest::newRow("field case") << "sk3=TRUE" << QList<int>{5};
    QTest::newRow("false") << "FILTR=false" << QList<int>{4, 1}; // 3 has no mark
}

void TestDataSet::filters() {
    QFETCH(QString, filter);
    QFETCH(QList<int>, ids);
    ClientDataSet dataSet("DataOrvela");
    dataSet.SetIndexFieldNames("cz");
    dataSet.LoadFromFile(CataloguePath());
    dataSet.SetFilter(filter);
    QCOMPARE(VisibleIds(dataSet).size(), 5); // stored only until switched on
    dataSet.SetFiltered(true);
    QCOMPARE(VisibleIds(dataSet), ids);
    QCOMPARE(dataSet.RecNo(), ids.isEmpty() ? -1 : 0);
    dataSet.SetFiltered(false);
    QCOMPARE(dataSet.RecordCount(), 5);
    QCOMPARE(dataSet.Filter(), filter);
}

void TestDataSet::badFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown field") << "SK13=true"
                                   << "DataOrvela: Field 'SK13' not found";
    QTest::newRow("no value") << "SK3="
                              << "DataOrvela: Invalid filter \"SK3=\": true, false or a number is expected";
    QTest::newRow("no operator") << "SK3"
                                 << "DataOrvela: Invalid filter \"SK3\": \"=\" or \">\" is expected";
    QTest::newRow("dangling and") << "SK3=true and"
                                  << "DataOrvela: Invalid filter \"SK3=true and\": \" and \" is";
    QTest::newRow("no blank") << "SK3=trueand SK1=true"
                              << "DataOrvela: Invalid filter";
    QTest::newRow("word") << "SK3=maybe"
                          << "DataOrvela: Invalid filter \"SK3=maybe\": \"maybe\" is neither";
    QTest::newRow("or") << "SK3=true or SK1=true"
                        << "DataOrvela: Invalid filter";
    QTest::newRow("quoted") << "CZ='Hrách'"
                            << "DataOrvela: Invalid filter";
    QTest::newRow("huge") << "ID>99999999999999999999"
                          << "DataOrvela: Invalid filter";
    QTest::newRow("keyword on integer") << "Family=true"
                                        << "DataOrvela: Type mismatch";
    QTest::newRow("string field") << "CZ=1"
                                  << "DataOrvela: Type mismatch";
}

void TestDataSet::badFilters() {
    QFETCH(QString, filter);
    QFETCH(QString, message);
    ClientDataSet dataSet("DataOrvela");
    Recorder recorder(dataSet);
    dataSet.LoadFromFile(CataloguePath());
    recorder.TakeLog();
    dataSet.SetFilter(filter);
    const QString error = MessageOf<DataSetError>([&] { dataSet.SetFiltered(true); });
    QVERIFY2(error.startsWith(message), qPrintable(error));
    QVERIFY(!dataSet.Filtered());
    QCOMPARE(dataSet.RecordCount(), 5);
    QVERIFY(recorder.log.isEmpty());
}

void TestDataSet::emptyFilterResult() {
    ClientDataSet dataSet("DataOrvela");
    Recorder recorder(dataSet);
    QList<QVariantList> readInScroll;
    dataSet.AfterScroll = [&] {
        readInScroll << QVariantList{dataSet.FieldByName("ID").AsString(), dataSet.FieldByName("Family").AsInteger(),
                                     dataSet.FieldByName("SK1").AsBoolean(), dataSet.RecNo(), dataSet.Eof()};
    };
    dataSet.LoadFromFile(CataloguePath());
    readInScroll.clear();
    dataSet.SetFilter("SK12=true");
    dataSet.SetFiltered(true);
    QCOMPARE(dataSet.RecordCount(), 0);
    QCOMPARE(readInScroll, (QList<QVariantList>{{QString(), qint64(0), false, -1, true}}));
    QVERIFY(dataSet.Eof());
    dataSet.SetFiltered(true); // the same value again still scrolls
    QCOMPARE(readInScroll.size(), 2);
    QVERIFY(!dataSet.Locate("ID", "1"));
    QCOMPARE(readInScroll.size(), 2);
}

void TestDataSet::locate_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("partial");
    QTest::addColumn<int>("found"); // ID, 0: not found

    QTest::newRow("id") << ""
                        << "ID"
                        << "4" << false << 4;
    QTest::newRow("id hidden") << "SK3=true"
                               << "ID"
                               << "4" << false << 0;
    QTest::newRow("id not a number") << ""
                                     << "ID"
                                     << "4a" << false << 0;
    QTest::newRow("id empty") << ""
                              << "ID"
                              << "" << false << 0;
    QTest::newRow("name whole") << ""
                                << "cz"
                                << "Chrpa" << false << 2;
    QTest::newRow("name with other case") << ""
                                          << "CZ"
                                          << "chrpa" << false << 0;
    QTest::newRow("name prefix only") << ""
                                      << "CZ"
                                      << "Chr" << false << 0;
    QTest::newRow("apostrophe") << ""
                                << "cz"
                                << "Kozí 'brada'" << false << 6;
    QTest::newRow("partial") << ""
                             << "cz"
                             << "ch" << true << 2;
    QTest::newRow("partial upper") << ""
                                   << "cz"
                                   << "FÍ" << true << 5;
    QTest::newRow("partial first in order") << ""
                                            << "lat"
                                            << "c" << true << 2;
    QTest::newRow("partial apostrophe") << ""
                                        << "cz"
                                        << "kozí '" << true << 6;
    QTest::newRow("partial empty") << ""
                                   << "cz"
                                   << "" << true << 0;
    QTest::newRow("partial hidden") << "FILTR=true"
                                    << "cz"
                                    << "hr" << true << 0;
    QTest::newRow("partial longer than name") << ""
                                              << "cz"
                                              << "Hráchovec" << true << 0;
}

void TestDataSet::locate() {
    QFETCH(QString, filter);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, partial);
    QFETCH(int, found);
    std::vector<Species> species = Herbs();
    species.push_back(Named(6, "Kozí 'brada'", "Tragopogon"));
    ClientDataSet dataSet("DataOrvela");
    Recorder recorder(dataSet);
    dataSet.SetIndexFieldNames("cz");
    dataSet.LoadFromFile(CataloguePath(species));
    if (!filter.isEmpty()) {
        dataSet.SetFilter(filter);
        dataSet.SetFiltered(true);
    }
    const QString before = dataSet.FieldByName("ID").AsString();
    recorder.TakeLog();
    const auto options = partial ? ClientDataSet::LocateOptions(ClientDataSet::LocateOption::CaseInsensitive |
                                                                ClientDataSet::LocateOption::PartialKey)
                                 : ClientDataSet::LocateOptions();
    dataSet.SetIndexFieldNames(field == "lat" ? "lat" : "cz");
    recorder.TakeLog();
    QCOMPARE(dataSet.Locate(field, value, options), found != 0);
    if (found) {
        QCOMPARE(dataSet.FieldByName("ID").AsInteger(), found);
        QCOMPARE(recorder.log.last(), "scroll:" + QString::number(found));
        // Found again while current: the scroll event runs again.
        QVERIFY(dataSet.Locate(field, value, options));
        QCOMPARE(recorder.Scrolls(), 2);
    } else {
        QCOMPARE(dataSet.FieldByName("ID").AsString(), before);
        QVERIFY(recorder.log.isEmpty());
    }
}

void TestDataSet::scrollEvents() {
    ClientDataSet dataSet("DataOrvela");
    Recorder recorder(dataSet);
    dataSet.SetIndexFieldNames("cz");
    dataSet.LoadFromFile(CataloguePath());
    QCOMPARE(recorder.TakeLog(), (QStringList{"changed", "open", "scroll:3"}));

    dataSet.SetFilter("FILTR=true");
    dataSet.SetFiltered(true);
    // Observers hear first, then the handler.
    QCOMPARE(recorder.TakeLog(), (QStringList{"changed", "record", "scroll:5"}));
    dataSet.Next();
    QCOMPARE(recorder.TakeLog(), (QStringList{"record", "scroll:2"}));
    QVERIFY(!dataSet.Eof());
    dataSet.Next(); // on the last: stays, sets Eof, still scrolls
    QCOMPARE(recorder.TakeLog(), QStringList{"scroll:2"});
    QVERIFY(dataSet.Eof());
    dataSet.Next(); // once Eof, nothing
    QVERIFY(recorder.TakeLog().isEmpty());
    dataSet.First();
    QCOMPARE(recorder.TakeLog(), (QStringList{"record", "scroll:5"}));
    QVERIFY(!dataSet.Eof());
    dataSet.MoveTo(1);
    QCOMPARE(recorder.TakeLog(), (QStringList{"record", "scroll:2"}));
    dataSet.MoveTo(7); // no such row
    QVERIFY(recorder.TakeLog().isEmpty());
    dataSet.SetFiltered(true); // unchanged value: back to the first, scrolls
    QCOMPARE(recorder.TakeLog(), (QStringList{"changed", "record", "scroll:5"}));

    dataSet.SetReadOnly(false);
    dataSet.Edit();
    dataSet.FieldByName("FILTR").SetAsBoolean(true); // as it was
    dataSet.Post();
    QVERIFY(recorder.TakeLog().isEmpty());
    dataSet.Edit();
    dataSet.FieldByName("FILTR").SetAsBoolean(false);
    QVERIFY(dataSet.FieldByName("FILTR").AsBoolean() == false); // the edit shows before it is stored
    dataSet.Post();
    QCOMPARE(recorder.TakeLog(), QStringList{"record"});
    QCOMPARE(dataSet.ChangeCount(), 1);

    // An empty catalogue opens without a scroll.
    ClientDataSet empty("DataFam");
    Recorder emptyRecorder(empty);
    empty.LoadFromFile(CataloguePath({}));
    QCOMPARE(emptyRecorder.TakeLog(), (QStringList{"changed", "open"}));
    QVERIFY(empty.Eof());
}

void TestDataSet::editRules() {
    ClientDataSet dataSet("DataOrvela");
    QCOMPARE(MessageOf<DataSetError>([&] { dataSet.First(); }),
             QString("DataOrvela: Cannot perform this operation on a closed dataset"));
    QVERIFY(dataSet.Eof());
    dataSet.SetReadOnly(true);
    dataSet.LoadFromFile(CataloguePath());
    QCOMPARE(MessageOf<DataSetError>([&] { dataSet.Edit(); }),
             QString("DataOrvela: Cannot modify a read-only dataset"));
    QCOMPARE(MessageOf<DataSetError>([&] { dataSet.FieldByName("S1").SetAsBoolean(true); }),
             QString("DataOrvela: Dataset not in edit or insert mode"));
    QCOMPARE(MessageOf<DataSetError>([&] { dataSet.Post(); }),
             QString("DataOrvela: Dataset not in edit or insert mode"));
    dataSet.SetReadOnly(false);
    dataSet.Edit();
    QVERIFY(dataSet.Editing());
    QCOMPARE(MessageOf<DataSetError>([&] { dataSet.FieldByName("CZ").SetAsBoolean(true); }),
             QString("DataOrvela: Field 'CZ' is not a Boolean field"));
    // A move stores the edit, as Post would.
    const bool was = dataSet.FieldByName("S1").AsBoolean();
    dataSet.FieldByName("S1").SetAsBoolean(!was);
    dataSet.First();
    QVERIFY(!dataSet.Editing());
    QCOMPARE(dataSet.FieldByName("S1").AsBoolean(), !was);
    QCOMPARE(dataSet.ChangeCount(), 1);
}

void TestDataSet::scanOfNothingAddsNothing() {
    const QString path = CataloguePath({});
    const QByteArray before = Read(path);
    {
        ClientDataSet dataSet("DataOrvela");
        dataSet.SetFileName(path);
        dataSet.LoadFromFile(path);
        MarkAll(dataSet, {1});
        // Edit with no record visible stores nothing, even with a value set.
        dataSet.SetReadOnly(false);
        dataSet.Edit();
        dataSet.FieldByName("FILTR").SetAsBoolean(true);
        dataSet.Post();
        QCOMPARE(dataSet.RecordCount(), 0);
        QCOMPARE(dataSet.ChangeCount(), 0);
    }
    QCOMPARE(Read(path), before);

    // The same with every record filtered away.
    ClientDataSet dataSet("DataOrvela");
    dataSet.LoadFromFile(CataloguePath());
    dataSet.SetFilter("SK12=true");
    dataSet.SetFiltered(true);
    dataSet.Edit();
    dataSet.FieldByName("FILTR").SetAsBoolean(true);
    dataSet.Post();
    dataSet.SetFiltered(false);
    QCOMPARE(dataSet.RecordCount(), 5);
    QCOMPARE(dataSet.ChangeCount(), 0);
}

void TestDataSet::writeBack_data() {
    QTest::addColumn<bool>("withFileName");
    QTest::addColumn<bool>("search");
    QTest::addColumn<bool>("everyRowMarked");
    QTest::addColumn<QList<int>>("marks");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QByteArray>("storedName"); // the onion's CZ as the file holds it, quotes included
    QTest::addColumn<QString>("name");
    const QByteArray onion = R"("Cibule")";
    QTest::newRow("no search") << true << false << true << QList<int>{} << false << onion << "Cibule";
    QTest::newRow("changed mark") << true << true << true << QList<int>{1, 2, 5} << true << onion << "Cibule";
    QTest::newRow("unchanged marks") << true << true << true << QList<int>{2, 5} << false << onion << "Cibule";
    QTest::newRow("first mark of a row") << true << true << false << QList<int>{2, 5} << true << onion << "Cibule";
    QTest::newRow("family without file name") << false << true << true << QList<int>{1} << false << onion << "Cibule";
    // What only a lenient reader takes in is written back as well-formed XML.
    const auto lenient = [](const char *row, const QByteArray &stored, const QString &name) {
        QTest::newRow(row) << true << true << true << QList<int>{1} << true << stored << name;
    };
    lenient("bare ampersand", R"("Cibule & spol.")", "Cibule & spol.");
    lenient("unknown entity", R"("&nbsp;Cibule&copy")", "&nbsp;Cibule&copy");
    lenient("escapes kept", R"("a&amp;b&#269;&lt;&#x3E;&quot;")", "a&bč<>\"");
    lenient("quote and markup", R"('a"b<c>')", "a\"b<c>");
    lenient("line break", "\"a\nb\tc\"", "a b c");
    lenient("control character", "\"a\x01z\"", "a\x01z");
}

void TestDataSet::writeBack() {
    QFETCH(bool, withFileName);
    QFETCH(bool, search);
    QFETCH(bool, everyRowMarked);
    QFETCH(QList<int>, marks);
    QFETCH(bool, written);
    QFETCH(QByteArray, storedName);
    QFETCH(QString, name);
    std::vector<Species> species = Herbs();
    if (everyRowMarked)
        species[2].filtr = false;
    const QString path = Write(dir_->filePath("Orvela.xml"),
                               Catalogue(species).replace(R"(CZ="Cibule")", "CZ=" + storedName));
    const QByteArray before = Read(path);
    // Beside the catalogue: what a killed write left, which the next write removes, and look-alikes
    // that are not ours to remove (the one held locked is a write still running).
    QDir folder(dir_->path());
    const QString stale = "Orvela.xml.writing.Ab12Cd";
    const QStringList others{"Familia.xml.writing.Ab12Cd", "Orvela.xml.Ab12Cd", "Orvela.xml.backup",
                             "Orvela.xml.writing.Ab12C", "Orvela.xml.writing.Ab12Cd.bak", "Orvela.xml.writing.Link00",
                             "Orvela.xml.writing.Li7e00", "Orvela.xml.writing.Dir000"};
    Write(folder.filePath(stale), "<?xml version=\"1.0\" standalone=\"yes\"?>\n<DATAPACKET Vers");
    for (const QString &name : others.mid(0, 5))
        Write(folder.filePath(name), "not ours");
    QVERIFY(QFile::link(folder.filePath("Orvela.xml.backup"), folder.filePath(others[5])));
    QFile running(Write(folder.filePath(others[6]), "being written"));
    QVERIFY(running.open(QIODevice::ReadOnly) && ::flock(running.handle(), LOCK_EX) == 0);
    QVERIFY(folder.mkdir(others[7]));
    {
        ClientDataSet dataSet("DataOrvela");
        if (withFileName)
            dataSet.SetFileName("Orvela.xml");
        QDir::setCurrent(dir_->path());
        dataSet.LoadFromFile("Orvela.xml");
        if (search)
            MarkAll(dataSet, marks);
        if (!withFileName)
            QVERIFY(dataSet.ChangeCount() > 0); // changed, and still never written
    }
    QCOMPARE(Read(path) != before, written);
    QCOMPARE(folder.exists(stale), !written);
    for (const QString &name : others)
        QVERIFY2(QFileInfo(folder.filePath(name)).exists(), qPrintable(name));
    QCOMPARE(Read(folder.filePath("Orvela.xml.backup")), QByteArray("not ours"));
    if (!written)
        return;
    ClientDataSet again("DataOrvela");
    again.LoadFromFile(path);
    QCOMPARE(again.RecordCount(), 5);
    again.SetFilter("FILTR=true");
    again.SetFiltered(true);
    QCOMPARE(VisibleIds(again), marks);
    // Everything else is as it was.
    again.SetFiltered(false);
    QVERIFY(again.Locate("ID", "4"));
    QCOMPARE(again.FieldByName("CZ").AsString(), QString("Čekanka"));
    QCOMPARE(again.FieldByName("NOTE").AsBytes(), QByteArray("{\\rtf1 cekanka}"));
    QVERIFY(again.FieldByName("S3").AsBoolean());
    QVERIFY(again.Locate("ID", "3"));
    QCOMPARE(again.FieldByName("CZ").AsString(), name);
    if (!name.contains(QChar(1))) // which XML 1.0 cannot hold, escaped or not
        QCOMPARE(StrictlyRead(Read(path), "CZ"), name);
}

void TestDataSet::failedWriteKeepsOldFile() {
    // A write cut short (here by a file size limit, as a full disk would) must not touch the old file.
    const QString path = CataloguePath();
    const QByteArray before = Read(path);
    ClientDataSet dataSet("DataOrvela");
    dataSet.SetFileName(path);
    dataSet.LoadFromFile(path);
    MarkAll(dataSet, {1});

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 512;
    setrlimit(RLIMIT_FSIZE, &small);
    const QString message = MessageOf<FileError>([&] { dataSet.Close(); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(message, "Cannot create file " + path);
    QCOMPARE(Read(path), before);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"Orvela.xml"}); // no leftover temporary file
    QVERIFY(dataSet.Active()); // the marks are still there to be written
    dataSet.Close();
    QVERIFY(Read(path) != before);
}

void TestDataSet::vanishedFolder() {
    const QString folder = dir_->filePath("cd");
    QDir().mkpath(folder);
    const QString path = Write(folder + "/Orvela.xml", Catalogue(Herbs()));
    {
        ClientDataSet dataSet("DataOrvela");
        dataSet.SetFileName(path);
        dataSet.LoadFromFile(path);
        MarkAll(dataSet, {1});
        // Take the folder away: nothing can be created there any more, as on a CD-ROM.
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QFile::link(dir_->filePath("nowhere"), folder));
        QCOMPARE(MessageOf<FileError>([&] { dataSet.Close(); }), "Cannot create file " + path);
    } // the destructor tries again and does not throw
    QFile::remove(folder);
}

void TestDataSet::writeBackAfterDirectoryChange() {
    const QString path = CataloguePath();
    const QString elsewhere = dir_->filePath("install");
    QDir().mkpath(elsewhere);
    {
        ClientDataSet dataSet("DataOrvela");
        dataSet.SetFileName("Orvela.xml");
        QDir::setCurrent(dir_->path());
        dataSet.LoadFromFile("Orvela.xml");
        MarkAll(dataSet, {4});
        QDir::setCurrent(elsewhere);
    }
    QVERIFY(!QFile::exists(elsewhere + "/Orvela.xml"));
    ClientDataSet again("DataOrvela");
    again.LoadFromFile(path);
    again.SetFilter("FILTR=true");
    again.SetFiltered(true);
    QCOMPARE(VisibleIds(again), QList<int>{4});
}

void TestDataSet::concurrentWriteBacks() {
    // Copies of the program sharing one catalogue, each writing back again and again: none may take
    // another's temporary for a stale one, and every read finds a whole catalogue.
    const QString path = CataloguePath();
    std::vector<pid_t> copies;
    for (int copy = 0; copy < 6; ++copy) {
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid > 0) {
            copies.push_back(pid);
            continue;
        }
        int failures = 0;
        for (int round = 0; round < 60; ++round) {
            try {
                ClientDataSet dataSet("DataOrvela");
                dataSet.SetFileName(path);
                dataSet.LoadFromFile(path);
                MarkAll(dataSet, {1 + (copy + round) % 5});
                dataSet.Close();
            } catch (const Error &) {
                ++failures;
            }
        }
        ::_exit(failures);
    }
    for (const pid_t pid : copies) {
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }
    ClientDataSet again("DataOrvela");
    again.LoadFromFile(path);
    QCOMPARE(again.RecordCount(), 5);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"Orvela.xml"});
}

void TestDataSet::blobSave_data() {
    QTest::addColumn<int>("reservation"); // the file system's answer to a reservation; -1: its own
    QTest::addColumn<QString>("reason");  // of the refusal; empty: written
    QTest::newRow("reserved") << -1 << QString();
    QTest::newRow("cannot reserve") << int(EOPNOTSUPP) << QString();
    QTest::newRow("write-only emulation") << int(EBADF) << QString();
    QTest::newRow("disk full") << int(ENOSPC) << qt_error_string(ENOSPC);
    QTest::newRow("quota") << int(EDQUOT) << qt_error_string(EDQUOT);
}

void TestDataSet::blobSave() {
    QFETCH(int, reservation);
    QFETCH(QString, reason);
    static int answer;
    answer = reservation;
    const auto previous =
        packet::SetSpaceReservation(reservation < 0 ? nullptr : +[](int, qint64) { return answer; });
    const auto restore = qScopeGuard([&] { packet::SetSpaceReservation(previous); });
    QByteArray every;
    for (int i = 0; i < 256; ++i)
        every.append(static_cast<char>(i));
    Species pea = Named(1, "Hrách");
    pea.note = every;
    std::vector<Species> species{pea};
    ClientDataSet dataSet("DataOrvela");
    dataSet.LoadFromFile(CataloguePath(species));
    const QString target = dir_->filePath("clanek.rtf");
    const QString fresh = dir_->filePath("novy.rtf");
    Write(target, QByteArray(1000, 'x')); // an old, longer file is replaced whole
    const auto save = [&](const QString &path) {
        return MessageOf<FileError>([&] { dataSet.FieldByName("note").SaveToFile(path); });
    };
    if (reason.isEmpty()) {
        QCOMPARE(save(target), QString("(no error)"));
        QCOMPARE(Read(target), every);
    } else {
        QCOMPARE(save(target), "Cannot create file " + target + ": " + reason);
        QCOMPARE(Read(target), QByteArray(1000, 'x'));
        QCOMPARE(save(fresh), "Cannot create file " + fresh + ": " + reason);
        QVERIFY(!QFile::exists(fresh));
    }
    const QString nowhere = dir_->filePath("missing/clanek.rtf");
    QCOMPARE(save(nowhere), "Cannot create file " + nowhere);
}

void TestDataSet::fileBufferBeyondMemory() {
    // A catalogue larger than memory must fail where the program can say so, not in the OOM killer.
    if (Read("/proc/sys/vm/overcommit_memory").trimmed() == "1")
        QSKIP("this system grants every mapping");
    struct sysinfo info {};
    QCOMPARE(::sysinfo(&info), 0);
    const std::size_t beyond = 2 * (std::size_t(info.totalram) + info.totalswap) * info.mem_unit;
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, packet::FileBuffer{beyond});
}

void TestDataSet::fieldAccess() {
    ClientDataSet dataSet("DataOrvela");
    dataSet.SetIndexFieldNames("cz");
    dataSet.LoadFromFile(CataloguePath());
    QCOMPARE(dataSet.FieldCount(), 5 + 43 + 1);
    QCOMPARE(dataSet.FieldByName("id").AsString(), QString("3"));
    QCOMPARE(dataSet.FieldByName("Family").AsInteger(), 12);
    QCOMPARE(dataSet.FieldByName("Family").DataType(), FieldType::Integer);
    QCOMPARE(dataSet.Fields(1).FieldName(), QString("CZ"));
    QCOMPARE(dataSet.FieldByName("NOTE").AsBytes(), QByteArray("{\\rtf1 cibule}"));
    QCOMPARE(dataSet.DisplayText(1, 1), QString("Čekanka"));
    QCOMPARE(dataSet.DisplayText(9, 1), QString());
    QCOMPARE(MessageOf<DataSetError>([&] { dataSet.FieldByName("Rod"); }),
             QString("DataOrvela: Field 'Rod' not found"));
    bool found = true;
    dataSet.FindField("Rod", &found);
    QVERIFY(!found);
    dataSet.Close();
    QVERIFY(!dataSet.Active());
    QCOMPARE(dataSet.RecNo(), -1);
}

void TestDataSet::base64AsQtReadsIt_data() {
    QTest::addColumn<QByteArray>("text");
    QByteArray bytes;
    for (int i = 0; i < 300; ++i)
        bytes += char(i * 37 + 11);
    for (int length : {0, 1, 2, 3, 4, 5, 299, 300})
        QTest::addRow("%d bytes", length) << bytes.left(length).toBase64();
    QTest::newRow("without padding") << bytes.left(5).toBase64(QByteArray::OmitTrailingEquals);
    QTest::newRow("line breaks") << QByteArray("SGVs\nbG8g\r\nd29y bGQ=");
    QTest::newRow("stray characters") << QByteArray("SGVs*bG8");
    QTest::newRow("one character left") << QByteArray("SGVsb");
    QTest::newRow("stray character in the last group") << QByteArray("SGVsbG8*");
    QTest::newRow("stray character in a short end") << QByteArray("SGVsbG*");
    QTest::newRow("padding only") << QByteArray("====");
}

void TestDataSet::base64AsQtReadsIt() {
    QFETCH(QByteArray, text);
    QCOMPARE(orvela::packet::DecodeBase64(text), QByteArray::fromBase64(text));
    QByteArray used(400, 'x'); // a buffer that served a longer value before
    orvela::packet::DecodeBase64Into(text, used);
    QCOMPARE(used, QByteArray::fromBase64(text));
}

QTEST_GUILESS_MAIN(TestDataSet)
#include "test_dataset.moc"
