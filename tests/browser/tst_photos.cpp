#include "MainWindowFixture.h"

#include "browser/PhotoList.h"
#include "browser/PhotoPanel.h"
#include "platform/dataset/ClientDataSet.h"

#include <QFile>
#include <QScrollBar>

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

/// The photo page shown with Panel7 at 594 x 417 (592 x 415 inside its bevel).
void ShowPhotoPage(TForm1& w)
{
    w.PageControl1->setCurrentIndex(1);
    w.Panel7->setFixedSize(594, 417);
    QTest::qWait(1);
    w.LayoutPhoto();
}

} // namespace

class PhotosTest final : public QObject {
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

    void folderOfAPhotoNameDoesNotCount()
    {
        ProgramRun run = RunWithPhotos({{"Foto/O7_1.jpg", {40, 30}}});
        QDir(run.folder.Path()).mkpath(QStringLiteral("Foto/O8_0.jpg"));
        TypeText(run.Window().Edit3, QStringLiteral("b"));
        QCOMPARE(run.Current(), QStringLiteral("Beta"));
        QCOMPARE(run.Window().PhotoList.Count, 0);
        // A species without photos shows none: not the previous species' photo.
        QCOMPARE(run.Window().ToolButton6->text(), QStringLiteral("Snímek 0/0"));
        QVERIFY(!run.Window().ToolButton4->isEnabled() && !run.Window().ToolButton5->isEnabled());
        const QColor shown = run.Window().Panel7->Image1->grab().toImage().pixelColor(5, 5);
        QVERIFY2(shown.green() < shown.red() + 40, "the green photo of the previous species is still shown");
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

    void damagedPhotoKeepsThePreviousOne()
    {
        ProgramRun run = RunWithPhotos({{"Foto/O7_0.jpg", {40, 30}}, {"Foto/O7_1.jpg", {50, 30}}});
        TForm1& w = run.Window();
        QFile damaged(run.folder.File("Foto/O7_1.jpg"));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("GIF89a not a jpeg");
        damaged.close();
        w.ToolButton5->click();
        QCOMPARE(run.script.shown.size(), 1);
        QCOMPARE(run.script.shown[0].kind, dialogs::Script::Shown::Kind::Error);
        QVERIFY(!run.script.shown[0].text.isEmpty());
        QCOMPARE(w.PhotoList.PictureWidth, 40);
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 1/2"));
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
};

QTEST_MAIN(PhotosTest)
#include "tst_photos.moc"
