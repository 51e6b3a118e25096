#include "platform/errors/Errors.h"
#include "platform/jpeg/JpegImage.h"
#include "platform/jpeg/WriteJpeg.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace orvela;

namespace {

/// Four flat quarters: red, green / blue, white.
QImage Quarters(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, Qt::green);
    painter.fillRect(0, height / 2, width / 2, height - height / 2, Qt::blue);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::white);
    return image;
}

/// Detail everywhere, so that every part of the file carries picture data.
QImage Busy(QSize size = QSize(400, 300))
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) % 256));
    return image;
}

JpegWriteOptions Progressive()
{
    JpegWriteOptions options;
    options.progressive = true;
    return options;
}

/// Bytes this process has read from files so far.
qint64 BytesRead()
{
    QFile io("/proc/self/io");
    if (!io.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/io");
    const QByteArray text = io.readAll();
    const qsizetype at = text.indexOf("rchar:");
    return text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().toLongLong();
}

bool Near(QColor actual, QColor expected)
{
    const int tolerance = 12;
    return qAbs(actual.red() - expected.red()) <= tolerance && qAbs(actual.green() - expected.green()) <= tolerance
        && qAbs(actual.blue() - expected.blue()) <= tolerance;
}

QString Describe(QColor colour)
{
    return QStringLiteral("(%1, %2, %3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

JpegImage Loaded(const QByteArray& data)
{
    JpegImage picture;
    picture.LoadFromData(data);
    return picture;
}

/// Loaded from a file that holds `data` followed by `zeros` zero bytes (a sparse tail), and that is
/// removed after the load: the picture reads the file it opened.
JpegImage LoadedFromFile(const QByteArray& data, qint64 zeros = 0)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("photo.jpg");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.resize(data.size() + zeros))
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    JpegImage picture;
    picture.LoadFromFile(path);
    return picture;
}

/// The picture's data with marker segments that decoders pass over put in front of it.
QByteArray WithLargeMarkers(const QByteArray& data, int count)
{
    QByteArray segment("\xff\xe9\xff\xff", 4);
    segment.append(0xffff - 2, 'x');
    return data.left(2) + segment.repeated(count) + data.mid(2);
}

} // namespace

class TestJpeg final : public QObject {
    Q_OBJECT

private slots:
    void ScaleChoice_data();
    void ScaleChoice();
    void LoadReadsHeaderOnly();
    void FileReadsAsData_data();
    void FileReadsAsData();
    void RenderDecodesAtScaleAndCaches();
    void Colours_data();
    void Colours();
    void BadFilesAtLoad_data();
    void BadFilesAtLoad();
    void FailedLoadKeepsPicture();
    void DamageAtDraw_data();
    void DamageAtDraw();
    void WholeDataWithoutEndMarker_data();
    void WholeDataWithoutEndMarker();
    void TailAfterDataNotRead_data();
    void TailAfterDataNotRead();
    void EmptyRequests();
    void WriteFailureKeepsOldFile();
};

void TestJpeg::ScaleChoice_data()
{
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<int>("scale");
    QTest::newRow("exact quarter") << QSize(1600, 1200) << QSize(400, 300) << 2;
    QTest::newRow("one pixel over a quarter") << QSize(1600, 1200) << QSize(401, 300) << 4;
    QTest::newRow("height decides") << QSize(1600, 1200) << QSize(200, 301) << 4;
    QTest::newRow("eighth") << QSize(1600, 1200) << QSize(200, 150) << 1;
    QTest::newRow("half") << QSize(1600, 1200) << QSize(800, 600) << 4;
    QTest::newRow("one pixel over a half") << QSize(1600, 1200) << QSize(801, 600) << 8;
    QTest::newRow("just under natural") << QSize(1600, 1200) << QSize(1599, 1199) << 8;
    QTest::newRow("natural") << QSize(1600, 1200) << QSize(1600, 1200) << 8;
    QTest::newRow("enlarged") << QSize(320, 240) << QSize(640, 480) << 8;
    // libjpeg rounds a scaled side up: 1601/8 gives 201.
    QTest::newRow("rounded up sides") << QSize(1601, 1201) << QSize(201, 151) << 1;
    QTest::newRow("tiny picture") << QSize(3, 3) << QSize(1, 1) << 1;
}

void TestJpeg::ScaleChoice()
{
    QFETCH(QSize, natural);
    QFETCH(QSize, target);
    QFETCH(int, scale);
    QCOMPARE(DctScaleFor(natural, target), scale);
}

void TestJpeg::LoadReadsHeaderOnly()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("photo.jpg");
    WriteJpeg(Quarters(1600, 1200), path);

    JpegImage picture;
    QVERIFY(picture.Empty());
    picture.LoadFromFile(path);
    QCOMPARE(picture.Width(), 1600);
    QCOMPARE(picture.Height(), 1200);
    QVERIFY(!picture.Empty());
    QCOMPARE(picture.DecodeCount(), 0);

    // The bytes are held: the photo still draws after its file has gone.
    QVERIFY(QFile::remove(path));
    QCOMPARE(picture.Render(QSize(160, 120)).size(), QSize(160, 120));
}

void TestJpeg::FileReadsAsData_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qint64>("zeros");
    const QByteArray baseline = EncodeJpeg(Busy());
    QTest::newRow("baseline") << baseline << qint64(0);
    QTest::newRow("progressive") << EncodeJpeg(Busy(), Progressive()) << qint64(0);
    QTest::newRow("long markers before the picture") << WithLargeMarkers(baseline, 3) << qint64(0);
    // Read whole, such a file could not even be held in memory.
    QTest::newRow("40 GB after the picture") << baseline << (qint64(40) << 30);
    JpegWriteOptions finest;
    finest.quality = 100;
    QTest::newRow("rows of blocks longer than a read") << EncodeJpeg(Busy(QSize(3000, 32)), finest) << qint64(0);
}

void TestJpeg::FileReadsAsData()
{
    QFETCH(QByteArray, data);
    QFETCH(qint64, zeros);
    JpegImage fromFile = LoadedFromFile(data, zeros);
    JpegImage fromData = Loaded(data);
    const QSize natural(fromFile.Width(), fromFile.Height());
    for (const QSize size : {natural, natural / 8})
        QCOMPARE(fromFile.Render(size), fromData.Render(size));
}

void TestJpeg::RenderDecodesAtScaleAndCaches()
{
    JpegImage picture = Loaded(EncodeJpeg(Quarters(1600, 1200)));

    QCOMPARE(picture.Render(QSize(400, 300)).size(), QSize(400, 300));
    QCOMPARE(picture.DecodedSize(), QSize(400, 300));
    QCOMPARE(picture.DecodeCount(), 1);

    QCOMPARE(picture.Render(QSize(400, 300)).size(), QSize(400, 300));
    QCOMPARE(picture.DecodeCount(), 1);

    // Another size needing the same scale shrinks the pixels already decoded.
    QCOMPARE(picture.Render(QSize(390, 292)).size(), QSize(390, 292));
    QCOMPARE(picture.DecodeCount(), 1);

    QCOMPARE(picture.Render(QSize(401, 300)).size(), QSize(401, 300));
    QCOMPARE(picture.DecodedSize(), QSize(800, 600));
    QCOMPARE(picture.DecodeCount(), 2);

    const QImage full = picture.Render(QSize(1600, 1200));
    QCOMPARE(full.size(), QSize(1600, 1200));
    QCOMPARE(picture.DecodedSize(), QSize(1600, 1200));
    QCOMPARE(picture.DecodeCount(), 3);

    // Loading again forgets the old pixels.
    picture.LoadFromData(EncodeJpeg(Quarters(64, 48)));
    QCOMPARE(picture.DecodeCount(), 0);
    QCOMPARE(picture.Render(QSize(1600, 1200)).size(), QSize(1600, 1200));
    QCOMPARE(picture.DecodeCount(), 1);
}

void TestJpeg::Colours_data()
{
    QTest::addColumn<int>("colours");
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<QList<QColor>>("expected");
    const QList<QColor> quarters{Qt::red, Qt::green, Qt::blue, Qt::white};
    // Grey levels of red, green, blue and white by the JPEG luminance weights.
    const QList<QColor> greys{QColor(76, 76, 76), QColor(150, 150, 150), QColor(29, 29, 29), Qt::white};
    QTest::newRow("rgb") << int(JpegColours::Rgb) << false << quarters;
    QTest::newRow("progressive") << int(JpegColours::Rgb) << true << quarters;
    QTest::newRow("grayscale") << int(JpegColours::Grayscale) << false << greys;
    QTest::newRow("progressive grayscale") << int(JpegColours::Grayscale) << true << greys;
    QTest::newRow("cmyk") << int(JpegColours::Cmyk) << false << quarters;
    QTest::newRow("ycck") << int(JpegColours::Ycck) << false << quarters;
    QTest::newRow("progressive cmyk") << int(JpegColours::Cmyk) << true << quarters;
}

void TestJpeg::Colours()
{
    QFETCH(int, colours);
    QFETCH(bool, progressive);
    QFETCH(QList<QColor>, expected);
    JpegWriteOptions options;
    options.colours = JpegColours(colours);
    options.progressive = progressive;
    options.quality = 95;
    JpegImage picture = Loaded(EncodeJpeg(Quarters(320, 240), options));
    QCOMPARE(picture.Width(), 320);

    // At natural size and shrunk through the DCT scale and the smooth scaling.
    for (const QSize size : {QSize(320, 240), QSize(100, 75)}) {
        const QImage image = picture.Render(size);
        QCOMPARE(image.size(), size);
        const int w = size.width(), h = size.height();
        const QPoint centres[] = {{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
        for (int quarter = 0; quarter < 4; ++quarter) {
            const QColor actual = image.pixelColor(centres[quarter]);
            QVERIFY2(Near(actual, expected[quarter]),
                qPrintable(QStringLiteral("quarter %1 at %2x%3 is %4, expected %5")
                               .arg(quarter)
                               .arg(w)
                               .arg(h)
                               .arg(Describe(actual), Describe(expected[quarter]))));
        }
    }
}

void TestJpeg::BadFilesAtLoad_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    const QByteArray good = EncodeJpeg(Quarters(64, 48));
    QTest::newRow("empty") << QByteArray() << "Empty input file";
    QTest::newRow("garbage") << QByteArray("GIF89a not a photo") << "Not a JPEG file: starts with 0x47 0x49";
    QTest::newRow("text named jpg") << QByteArray("\xff\xd8 and then text", 16) << "";
    QTest::newRow("header cut short") << good.left(100) << "Premature end of JPEG file";
    QTest::newRow("only the start marker") << good.left(2) << "Premature end of JPEG file";
}

void TestJpeg::BadFilesAtLoad()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir folder;
    const QString path = folder.filePath("bad.jpg");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    JpegImage picture;
    try {
        picture.LoadFromFile(path);
        QFAIL("the load succeeded");
    } catch (const FileError&) {
        QFAIL("a readable file reported as one that cannot be opened");
    } catch (const Error& error) {
        QVERIFY(!error.Message().isEmpty());
        if (!message.isEmpty())
            QCOMPARE(error.Message(), message);
    }
    QVERIFY(picture.Empty());
}

void TestJpeg::FailedLoadKeepsPicture()
{
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    QVERIFY(QDir().mkdir("Foto"));
    WriteJpeg(Quarters(64, 48), "Foto/O1_0.jpg");
    JpegImage picture;
    picture.LoadFromFile("Foto/O1_0.jpg");
    QVERIFY(!picture.Render(QSize(32, 24)).isNull());

    // Neither the FIFO nor the link to it may be waited on.
    QVERIFY(::mkfifo("Foto/O1_2.jpg", 0600) == 0);
    QVERIFY(QFile::link("O1_2.jpg", "Foto/O1_3.jpg"));
    QVERIFY(QFile::link("O1_9.jpg", "Foto/O1_4.jpg"));
    for (const QString& name : {QStringLiteral("Foto/O1_1.jpg"), QStringLiteral("Foto"), QStringLiteral("Foto/O1_2.jpg"),
                                QStringLiteral("Foto/O1_3.jpg"), QStringLiteral("Foto/O1_4.jpg")}) {
        try {
            picture.LoadFromFile(name);
            QFAIL("the load succeeded");
        } catch (const FileError& error) {
            QCOMPARE(error.Message(), "Cannot open file " + name);
        }
    }
    QVERIFY_THROWS_EXCEPTION(Error, picture.LoadFromData("no photo"));
    QCOMPARE(picture.Width(), 64);
    QCOMPARE(picture.Height(), 48);
    QCOMPARE(picture.Render(QSize(32, 24)).size(), QSize(32, 24));
    QCOMPARE(picture.DecodeCount(), 1);
}

void TestJpeg::DamageAtDraw_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray baseline = EncodeJpeg(Busy());
    const QByteArray layered = EncodeJpeg(Busy(), Progressive());
    QTest::newRow("baseline cut in half") << baseline.left(baseline.size() / 2);
    QTest::newRow("progressive cut in half") << layered.left(layered.size() / 2);
    QTest::newRow("end marker missing and more") << baseline.left(baseline.size() - 40);
    QTest::newRow("progressive without its last scan") << layered.left(layered.lastIndexOf("\xff\xda"));
    QByteArray marker = baseline;
    marker.replace(marker.size() / 2, 2, "\xff\xc4");
    QTest::newRow("marker inside the data") << marker;
}

void TestJpeg::DamageAtDraw()
{
    QFETCH(QByteArray, content);
    for (JpegImage picture : {Loaded(content), LoadedFromFile(content)}) {
        QCOMPARE(picture.Width(), 400);
        for (const QSize size : {QSize(400, 300), QSize(50, 37)}) {
            try {
                picture.Render(size);
                QFAIL("damaged data drawn as a whole picture");
            } catch (const Error& error) {
                QVERIFY(!error.Message().isEmpty());
            }
        }
        QCOMPARE(picture.Width(), 400);
        QCOMPARE(picture.DecodeCount(), 0);
    }
}

void TestJpeg::WholeDataWithoutEndMarker_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray baseline = EncodeJpeg(Busy());
    const QByteArray layered = EncodeJpeg(Busy(), Progressive());
    QTest::newRow("baseline") << baseline.chopped(2);
    QTest::newRow("progressive") << layered.chopped(2);
}

void TestJpeg::WholeDataWithoutEndMarker()
{
    QFETCH(QByteArray, content);
    const QImage whole = Loaded(content + "\xff\xd9").Render(QSize(400, 300));
    QCOMPARE(Loaded(content).Render(QSize(400, 300)), whole);
    QCOMPARE(LoadedFromFile(content).Render(QSize(400, 300)), whole);
}

void TestJpeg::TailAfterDataNotRead_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("whole");
    const QByteArray baseline = EncodeJpeg(Busy());
    const QByteArray layered = EncodeJpeg(Busy(), Progressive());
    JpegWriteOptions restarts;
    restarts.restartRows = 1;
    const QByteArray camera = EncodeJpeg(Busy(QSize(64, 48)), restarts);
    const qsizetype scan = camera.indexOf("\xff\xda");
    QTest::newRow("baseline without end marker") << baseline.chopped(2) << true;
    QTest::newRow("progressive without end marker") << layered.chopped(2) << true;
    QTest::newRow("progressive without its last scan") << layered.left(layered.lastIndexOf("\xff\xda")) << false;
    QTest::newRow("restart markers cut short") << camera.left((scan + camera.size()) / 2) << false;
    QTest::newRow("header cut short") << baseline.left(100) << false;
}

void TestJpeg::TailAfterDataNotRead()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, whole);
    const qint64 before = BytesRead();
    QImage drawn;
    try {
        // Zero bytes hold no marker, so a search for one would read them all.
        drawn = LoadedFromFile(content, qint64(4) << 30).Render(QSize(400, 300));
    } catch (const Error& error) {
        QVERIFY(!error.Message().isEmpty());
    }
    const qint64 read = BytesRead() - before;
    // The header's buffer, then the data and at most one buffer more (give or take the few bytes that the
    // decoder reads ahead, and the reading of the count itself).
    QVERIFY2(read <= content.size() + 2 * 32 * 1024 + 512, qPrintable(QStringLiteral("%1 bytes read").arg(read)));
    QCOMPARE(drawn, whole ? Loaded(content + "\xff\xd9").Render(QSize(400, 300)) : QImage());
}

void TestJpeg::EmptyRequests()
{
    JpegImage nothing;
    QVERIFY(nothing.Render(QSize(100, 100)).isNull());
    JpegImage picture = Loaded(EncodeJpeg(Quarters(64, 48)));
    QVERIFY(picture.Render(QSize(0, 10)).isNull());
    QVERIFY_THROWS_EXCEPTION(Error, picture.Render(QSize(100000, 100000)));
    QCOMPARE(picture.DecodeCount(), 0);

    QImage canvas(64, 48, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    picture.Draw(painter, QRect(32, 0, 32, 24));
    painter.end();
    QVERIFY(Near(canvas.pixelColor(40, 6), Qt::red));
    QVERIFY(Near(canvas.pixelColor(10, 6), Qt::black));
}

void TestJpeg::WriteFailureKeepsOldFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("photo.jpg");
    WriteJpeg(Quarters(64, 48), path);
    const QByteArray before = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QVERIFY_THROWS_EXCEPTION(Error, WriteJpeg(QImage(), path));
    QVERIFY_THROWS_EXCEPTION(FileError, WriteJpeg(Quarters(8, 8), folder.filePath("missing/photo.jpg")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

QTEST_MAIN(TestJpeg)
#include "test_jpeg.moc"
