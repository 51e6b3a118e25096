#include "MainWindowFixture.h"

#include "browser/Hledej.h"
#include "browser/PhotoList.h"
#include "browser/PhotoPanel.h"
#include "browser/catalogue.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/jpeg/WriteJpeg.h"

#include <QFile>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSplitter>

#include <sys/stat.h>

using namespace orvela;
using namespace orvela::test;

namespace {

/// Species "Alfa" (7) with the given photos, "Beta" (8) with none.
ProgramRun RunWithPhotos(const QList<QPair<QString, QSize>>& photos)
{
    return ProgramRun([&photos](CatalogueFolder& folder) {
        WriteFamilies(folder.Path(), SampleFamilies());
        WriteSpecies(folder.Path(), {{7, "Alfa", "Alpha", 1, Article("a")}, {8, "Beta", "Beta", 1, Article("b")}});
        for (const auto& [name, size] : photos) {
            QDir(folder.Path()).mkpath(QFileInfo(name).path());
            WritePhoto(folder.File(name), size.width(), size.height());
        }
    });
}

QRect ImageBounds(TForm1& w)
{
    return w.Panel7->Image1->geometry();
}

/// A photo whose data is damaged a quarter before its end, well past its header.
QByteArray DamagedPastTheHeader()
{
    QImage image(300, 200, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate());
    const QByteArray data = EncodeJpeg(image);
    return data.left(data.size() * 3 / 4);
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

bool ErrorBoxShown(const dialogs::Script& script)
{
    for (const dialogs::Script::Shown& shown : script.shown)
        if (shown.kind == dialogs::Script::Shown::Kind::Error)
            return true;
    return false;
}

/// The photo page shown with Panel7 at 594 x 417 (592 x 415 inside its bevel).
void ShowPhotoPage(TForm1& w)
{
    w.PageControl1->setCurrentIndex(1);
    w.Panel7->setFixedSize(594, 417);
    QTest::qWait(1);
    w.LayoutPhoto();
}

} // namespace

class TestPhotos final : public QObject {
    Q_OBJECT

private slots:
    void photoNumbersWithGaps()
    {
        ProgramRun run = RunWithPhotos({{"Foto/O7_0.jpg", {40, 30}}, {"Foto/O7_2.jpg", {41, 30}}, {"Foto/O7_5.jpg", {42, 30}},
                                        {"Foto/O7_01.jpg", {43, 30}}, {"Foto/O7_20.jpg", {44, 30}}});
        TForm1& w = run.Window();
        QCOMPARE(w.PhotoList.Count, 3);
        QCOMPARE(w.PhotoList.Files[0], QStringLiteral("Foto/O7_0.jpg"));
        QCOMPARE(w.PhotoList.Files[1], QStringLiteral("Foto/O7_2.jpg"));
        QCOMPARE(w.PhotoList.Files[2], QStringLiteral("Foto/O7_5.jpg"));
        QCOMPARE(w.PhotoList.Files[3], QString());
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 1/3"));
        QVERIFY(!w.ToolButton4->isEnabled());
        QVERIFY(w.ToolButton5->isEnabled());
        w.ToolButton5->click();
        w.ToolButton5->click();
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 3/3"));
        QCOMPARE(w.PhotoList.PictureWidth, 42);
        QVERIFY(!w.ToolButton5->isEnabled());
        QVERIFY(w.ToolButton4->isEnabled());
        w.ToolButton4->click();
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 2/3"));
        QVERIFY(w.ToolButton4->isEnabled() && w.ToolButton5->isEnabled());
    }

    void pagingKeysOnlyOnPhotoPage()
    {
        ProgramRun run = RunWithPhotos({{"Foto/O7_0.jpg", {40, 30}}, {"Foto/O7_1.jpg", {41, 30}}});
        TForm1& w = run.Window();
        // A button's accelerator presses it visibly, so the click comes a moment later.
        const auto press = [&w](Qt::Key key) {
            QTest::keyClick(w.Edit3, key, Qt::AltModifier);
            QTest::qWait(250);
        };
        press(Qt::Key_D); // summary page: not the photo page's key
        QCOMPARE(w.PhotoList.Current, 0);
        w.PageControl1->setCurrentIndex(1);
        press(Qt::Key_D);
        QCOMPARE(w.PhotoList.Current, 1);
        press(Qt::Key_D); // Next is disabled at the last photo
        QCOMPARE(w.PhotoList.Current, 1);
        press(Qt::Key_P);
        QCOMPARE(w.PhotoList.Current, 0);
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 1/2"));
        QVERIFY(run.script.shown.isEmpty());
    }

    void onePhotoAndTwentyPhotos()
    {
        {
            ProgramRun run = RunWithPhotos({{"Foto/O7_4.jpg", {40, 30}}});
            QCOMPARE(run.Window().ToolButton6->text(), QStringLiteral("Snímek 1/1"));
            QVERIFY(!run.Window().ToolButton4->isEnabled() && !run.Window().ToolButton5->isEnabled());
        }
        QList<QPair<QString, QSize>> twenty;
        for (int n = 0; n < 21; ++n)
            twenty.append({QStringLiteral("Foto/O7_%1.jpg").arg(n), QSize(20, 20)});
        ProgramRun run = RunWithPhotos(twenty);
        QCOMPARE(run.Window().PhotoList.Count, 20);
        QCOMPARE(run.Window().PhotoList.Files[19], QStringLiteral("Foto/O7_19.jpg"));
    }

    void namesMatchWithoutRegardToCase()
    {
        ProgramRun run = RunWithPhotos({{"FOTO/o7_0.JPG", {40, 30}}, {"FOTO/O7_1.jpg", {40, 30}}});
        QCOMPARE(run.Window().PhotoList.Count, 2);
        QVERIFY(QFile::exists(run.Window().PhotoList.Files[0]));
    }

    void onlyRegularFilesCount_data()
    {
        QTest::addColumn<QString>("entry"); // what Foto/O8_0.jpg is
        QTest::addColumn<int>("count");
        QTest::newRow("folder") << "folder" << 0;
        QTest::newRow("dangling link") << "dangling link" << 0;
        QTest::newRow("FIFO") << "FIFO" << 0;
        QTest::newRow("link to a FIFO") << "link to a FIFO" << 0;
        QTest::newRow("link to a photo") << "link to a photo" << 1;
    }
    void onlyRegularFilesCount()
    {
        QFETCH(QString, entry);
        QFETCH(int, count);
        ProgramRun run = RunWithPhotos({{"Foto/O7_1.jpg", {40, 30}}});
        TForm1& w = run.Window();
        const QByteArray photo = QFile::encodeName(run.folder.File("Foto/O8_0.jpg"));
        if (entry == "folder")
            QVERIFY(QDir().mkdir(photo));
        else if (entry == "dangling link")
            QVERIFY(QFile::link("O8_9.jpg", photo));
        else if (entry == "FIFO")
            QCOMPARE(::mkfifo(photo.constData(), 0600), 0);
        else if (entry == "link to a FIFO")
            QVERIFY(::mkfifo("Foto/fifo", 0600) == 0 && QFile::link("fifo", photo));
        else
            QVERIFY(QFile::link("O7_1.jpg", photo));
        TypeText(w.Edit3, QStringLiteral("b"));
        QCOMPARE(run.Current(), QStringLiteral("Beta"));
        QCOMPARE(w.PhotoList.Count, count);
        QVERIFY(w.Panel7->Image1->Unreadable().isEmpty());
        if (count == 1) {
            QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 1/1"));
            return;
        }
        // A species without photos shows none (not the previous species' green one), whatever comes after.
        w.PageControl1->setCurrentIndex(1);
        const QColor shown = w.Panel7->grab().toImage().pixelColor(w.Panel7->rect().center());
        QVERIFY2(shown.green() < shown.red() + 40, "the green photo of the previous species is still shown");
        w.ToolButton14->click();
        w.showNormal();
        w.resize(700, 500);
        QTest::qWait(20);
        w.ToolButton14->click();
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 0/0"));
        QVERIFY(!w.ToolButton4->isEnabled() && !w.ToolButton5->isEnabled());
        QVERIFY(w.Panel7->ScrollBar1->isHidden() && w.Panel7->ScrollBar2->isHidden());
        QVERIFY(run.script.shown.isEmpty());
    }

    void fitMode_data()
    {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QRect>("shown");
        QTest::newRow("smaller stays") << QSize(300, 200) << QRect(146, 109, 300, 200);
        QTest::newRow("exactly the area") << QSize(592, 415) << QRect(0, 2, 592, 415);
        QTest::newRow("twice the area") << QSize(1184, 830) << QRect(0, 2, 592, 415);
        QTest::newRow("truncated products") << QSize(1000, 500) << QRect(0, 62, 591, 295);
        QTest::newRow("height sets the scale") << QSize(800, 600) << QRect(19, 2, 553, 414);
    }
    void fitMode()
    {
        QFETCH(QSize, photo);
        QFETCH(QRect, shown);
        const PhotoPlacement placement = FitPhoto(592, 415, photo.width(), photo.height());
        QCOMPARE(QRect(placement.left, placement.top, placement.width, placement.height), shown);

        ProgramRun run = RunWithPhotos({{"Foto/O7_0.jpg", photo}});
        ShowPhotoPage(run.Window());
        QCOMPARE(run.Window().PhotoList.AreaWidth, 592);
        QCOMPARE(run.Window().PhotoList.AreaHeight, 415);
        QCOMPARE(ImageBounds(run.Window()), shown);
    }

    void oneToOneMode()
    {
        ProgramRun run = RunWithPhotos({{"Foto/O7_0.jpg", {1000, 300}}, {"Foto/O7_1.jpg", {593, 100}},
                                        {"Foto/O7_2.jpg", {1000, 1000}}, {"Foto/O7_3.jpg", {300, 200}}});
        TForm1& w = run.Window();
        ShowPhotoPage(w);
        w.ToolButton14->click();
        QScrollBar* horizontal = w.Panel7->ScrollBar1;
        QScrollBar* vertical = w.Panel7->ScrollBar2;
        QVERIFY(!horizontal->isHidden());
        QCOMPARE(horizontal->maximum(), 422);
        QVERIFY(vertical->isHidden());
        QCOMPARE(vertical->maximum(), 0);
        QCOMPARE(ImageBounds(w), QRect(0, 59, 1000, 300));

        horizontal->setValue(100);
        QCOMPARE(ImageBounds(w).left(), -100);

        w.ToolButton5->click(); // 593 wide: narrower than the panel, no bar
        QVERIFY(horizontal->isHidden());
        QCOMPARE(ImageBounds(w).left(), 0);

        w.ToolButton5->click(); // larger both ways: both bars
        QVERIFY(!horizontal->isHidden() && !vertical->isHidden());
        w.ToolButton5->click(); // centred in the area measured with both bars still shown
        QCOMPARE(ImageBounds(w), QRect(138, 101, 300, 200));
        QVERIFY(horizontal->isHidden() && vertical->isHidden());

        // The counter stays pressed; back to fit mode hides the bars.
        w.ToolButton6->click();
        QVERIFY(w.ToolButton6->isChecked());
        w.ToolButton4->click();
        QVERIFY(!horizontal->isHidden());
        w.ToolButton14->click();
        QVERIFY(!w.ToolButton14->isChecked());
        QVERIFY(horizontal->isHidden() && vertical->isHidden());
        QCOMPARE(ImageBounds(w), QRect(89, 2, 414, 414)); // 1000 x 1000 at 415/1000, truncated
    }

    void unreadablePhotoInItsPlace_data()
    {
        QTest::addColumn<QString>("damage"); // done to Foto/O7_1.jpg after the photos were listed
        QTest::addColumn<QString>("shown");  // in the photo's place; empty: only the first line is checked
        QTest::addColumn<int>("width");      // of the picture laid out
        QTest::newRow("not a JPEG") << "not a JPEG"
                                    << "Fotografii nelze zobrazit.\nNot a JPEG file: starts with 0x47 0x49." << 0;
        QTest::newRow("header cut short") << "header cut short" << "" << 0;
        QTest::newRow("removed") << "removed" << "Fotografii nelze zobrazit.\nCannot open file Foto/O7_1.jpg." << 0;
        QTest::newRow("FIFO in its place") << "FIFO" << "Fotografii nelze zobrazit.\nCannot open file Foto/O7_1.jpg."
                                           << 0;
        QTest::newRow("damaged past the header") << "past the header" << "" << 300;
    }
    void unreadablePhotoInItsPlace()
    {
        QFETCH(QString, damage);
        QFETCH(QString, shown);
        QFETCH(int, width);
        ProgramRun run = RunWithPhotos({{"Foto/O7_0.jpg", {40, 30}}, {"Foto/O7_1.jpg", {50, 30}}, {"Foto/O7_2.jpg", {42, 30}}});
        TForm1& w = run.Window();
        w.PageControl1->setCurrentIndex(1);
        const QString photo = run.folder.File("Foto/O7_1.jpg");
        if (damage == "not a JPEG")
            WriteFile(photo, "GIF89a not a jpeg");
        else if (damage == "header cut short")
            WriteFile(photo, EncodeJpeg(QImage(50, 30, QImage::Format_RGB32)).left(100));
        else if (damage == "past the header")
            WriteFile(photo, DamagedPastTheHeader());
        else
            QVERIFY(QFile::remove(photo));
        if (damage == "FIFO")
            QCOMPARE(::mkfifo(QFile::encodeName(photo).constData(), 0600), 0);

        // Drawn first: damage past the header shows only when the pixels are decoded.
        const auto unreadable = [&w] {
            w.Panel7->grab();
            return w.Panel7->Image1->Unreadable();
        };
        w.ToolButton5->click();
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 2/3"));
        QVERIFY(w.ToolButton4->isEnabled() && w.ToolButton5->isEnabled());
        QCOMPARE(w.PhotoList.PictureWidth, width);
        QVERIFY2(unreadable().startsWith(QStringLiteral("Fotografii nelze zobrazit.\n")), qPrintable(unreadable()));
        if (!shown.isEmpty())
            QCOMPARE(unreadable(), shown);

        // Paging goes on both ways from it, and never past either end of the list.
        w.ToolButton5->click();
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 3/3"));
        QCOMPARE(w.PhotoList.PictureWidth, 42);
        QVERIFY(unreadable().isEmpty());
        for (int click = 0; click < 25; ++click)
            w.ToolButton5Click();
        QCOMPARE(w.PhotoList.Current, 2);
        w.ToolButton4->click();
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 2/3"));
        QVERIFY(!unreadable().isEmpty());
        w.ToolButton4->click();
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 1/3"));
        QVERIFY(!w.ToolButton4->isEnabled());
        for (int click = 0; click < 25; ++click)
            w.ToolButton4Click();
        QCOMPARE(w.PhotoList.Current, 0);
        QCOMPARE(w.PhotoList.PictureWidth, 40);
        QVERIFY(run.script.shown.isEmpty());
    }

    void damagedPhotoEndsNothing_data()
    {
        QTest::addColumn<QString>("damaged");   // photo file
        QTest::addColumn<QString>("species");   // typed to select the species before the operation
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("count");         // species listed afterwards
        QTest::addColumn<int>("marks");
        QTest::addColumn<QString>("current");   // species afterwards
        // In Czech order: Buk, Čekanka (two photos), Hrách, Chrpa, Růže, Sedmikráska.
        const struct {
            const char* name;
            const char* photo;
            const char* species;
            int family; // species in its family
        } places[] = {{"first species", "Foto/O5_0.jpg", "Buk lesní", 1},
                      {"middle species", "Foto/O2_0.jpg", "Chrpa modrá", 3},
                      {"second photo", "Foto/O3_1.jpg", "Čekanka obecná", 3}};
        for (const auto& place : places) {
            const QString species = QString::fromUtf8(place.species);
            // The article search for "ná" marks Sedmikráska and Čekanka; the list then starts with Čekanka.
            const QString afterSearch = species == QStringLiteral("Čekanka obecná") ? species : QStringLiteral("Čekanka obecná");
            const auto row = [&](const char* operation, int count, int marks, const QString& current) {
                QTest::addRow("%s, %s", operation, place.name)
                    << place.photo << species << operation << count << marks << current;
            };
            row("group", 5, 0, species);
            row("family", place.family, 0, species);
            row("show all", 6, 0, species);
            row("criteria", 5, 0, species);
            row("article text", 2, 2, afterSearch);
        }
    }
    void damagedPhotoEndsNothing()
    {
        QFETCH(QString, damaged);
        QFETCH(QString, species);
        QFETCH(QString, operation);
        QFETCH(int, count);
        QFETCH(int, marks);
        QFETCH(QString, current);
        const QMap<int, int> photos{{5, 1}, {2, 1}, {3, 2}, {4, 1}};
        ProgramRun run([&](CatalogueFolder& folder) {
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), SampleSpecies());
            QDir(folder.Path()).mkdir(QStringLiteral("Foto"));
            for (auto [id, number] : photos.asKeyValueRange())
                for (int n = 0; n < number; ++n)
                    WritePhoto(folder.File(QStringLiteral("Foto/O%1_%2.jpg").arg(id).arg(n)), 40, 30);
            WriteFile(folder.File(damaged), "not a photo");
        });
        TForm1& w = run.Window();
        TypeText(w.Edit3, species.left(2)); // letter by letter
        QCOMPARE(run.Current(), species);
        if (damaged.endsWith(QStringLiteral("_1.jpg")))
            w.ToolButton5->click();
        QVERIFY(!w.Panel7->Image1->Unreadable().isEmpty());

        if (operation == "group") {
            w.ComboBox1->setCurrentIndex(1);
            w.ComboBox1Change(1);
        } else if (operation == "family") {
            w.SpeedButton1->click();
        } else if (operation == "show all") {
            w.SpeedButton1->click();
            w.ToolButton8->click();
        } else if (operation == "criteria") {
            WhenModal([](QWidget*) { FrmHledej->BitBtn1->click(); });
            w.ToolButton7->click();
            QVERIFY(!FrmHledej->isVisible());
        } else {
            w.Edit1->setText(QStringLiteral("ná"));
            QTest::keyClick(w.Edit1, Qt::Key_Return);
        }

        QVERIFY(!ErrorBoxShown(run.script));
        QCOMPARE(run.Current(), current);
        QCOMPARE(w.DataOrvela->RecordCount(), count);
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: %1").arg(count));
        QCOMPARE(w.DBGrid1->model()->rowCount(), count);
        QCOMPARE(w.ComboBox1->currentIndex(), operation == "group" ? 1 : 0);
        QVERIFY(w.PageControl1->isVisible());
        QVERIFY(w.DataOrvela->ReadOnly());
        // The photo page is the current species'.
        const int id = w.DataOrvela->FieldByName(QStringLiteral("ID")).AsInteger();
        const int number = photos.value(id);
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek %1/%2").arg(number > 0 ? 1 : 0).arg(number));
        QCOMPARE(w.ToolButton5->isEnabled(), number > 1);
        QCOMPARE(w.Panel7->Image1->Unreadable().isEmpty(), !damaged.startsWith(QStringLiteral("Foto/O%1_0").arg(id)));
        ApplyFilter(*w.DataOrvela, FilterText::Marked());
        QCOMPARE(w.DataOrvela->RecordCount(), marks);
    }

    void pageChangeLaysOutAgain()
    {
        ProgramRun run = RunWithPhotos({{"Foto/O7_0.jpg", {2000, 1500}}});
        TForm1& w = run.Window();
        w.PageControl1->setCurrentIndex(1); // a change the user makes
        const QRect bounds = ImageBounds(w);
        QVERIFY(bounds.width() <= w.PhotoList.AreaWidth && bounds.height() <= w.PhotoList.AreaHeight);
        QVERIFY(bounds.width() > 0);
        QCOMPARE(w.PhotoList.AreaWidth, w.Panel7->width() - 2);
    }

    void layoutFollowsEveryResize_data()
    {
        QTest::addColumn<bool>("oneToOne");
        QTest::newRow("fit") << false;
        QTest::newRow("1:1") << true;
    }
    void layoutFollowsEveryResize()
    {
        QFETCH(bool, oneToOne);
        ProgramRun run = RunWithPhotos({{"Foto/O7_0.jpg", {2000, 1500}}});
        TForm1& w = run.Window();
        w.PageControl1->setCurrentIndex(1);
        if (oneToOne)
            w.ToolButton14->click();
        // Checked against the panel's size as it is now; the layout is never called here.
        const auto laidOut = [&w, oneToOne](const char* after) {
            const QSize panel = w.Panel7->size();
            const QScrollBar* horizontal = w.Panel7->ScrollBar1;
            const QScrollBar* vertical = w.Panel7->ScrollBar2;
            if (!oneToOne) {
                const PhotoPlacement fit = FitPhoto(panel.width() - 2, panel.height() - 2, 2000, 1500);
                QVERIFY2(ImageBounds(w) == QRect(fit.left, fit.top, fit.width, fit.height), after);
                QVERIFY2(horizontal->isHidden() && vertical->isHidden(), after);
                return;
            }
            // Larger than the panel both ways: both bars, the photo at the top left.
            QVERIFY2(ImageBounds(w) == QRect(0, 0, 2000, 1500), after);
            QVERIFY2(!horizontal->isHidden() && !vertical->isHidden(), after);
            QVERIFY2(horizontal->maximum() == 2000 - panel.width() + 16, after);
            QVERIFY2(vertical->maximum() == 1500 - panel.height() + 16, after);
            QVERIFY2(horizontal->geometry().bottom() == panel.height() - 2, after);
            QVERIFY2(vertical->geometry().right() == panel.width() - 2, after);
        };
        const auto settle = [] { QTest::qWait(20); };

        w.showNormal();
        w.resize(760, 520);
        settle();
        laidOut("window resized");
        const QSize before = w.Panel7->size();
        w.resize(900, 640);
        settle();
        QVERIFY(w.Panel7->size() != before);
        laidOut("window enlarged");

        QWidget* handle = w.Splitter1->handle(1);
        const int left = w.Splitter1->sizes().at(0);
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(2, 50));
        QTest::mouseMove(handle, QPoint(82, 50));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(82, 50));
        QVERIFY(w.Splitter1->sizes().at(0) > left);
        laidOut("splitter dragged");

        w.showMaximized();
        settle();
        laidOut("maximised");
        w.showNormal();
        settle();
        laidOut("restored");
        QVERIFY(run.script.shown.isEmpty());
    }
};

QTEST_MAIN(TestPhotos)
#include "test_photos.moc"
