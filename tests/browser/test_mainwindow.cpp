#include "MainWindowFixture.h"

#include "browser/About.h"
#include "browser/Hledej.h"
#include "browser/PhotoPanel.h"
#include "installer/Instal.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/shell/Drive.h"

#include <QFile>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QWheelEvent>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvela;
using namespace orvela::test;

class TestMainWindow final : public QObject {
    Q_OBJECT

private slots:
    void startShowsFirstSpeciesOnSummaryPage()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        QCOMPARE(w.PageControl1->currentIndex(), 0);
        QVERIFY(w.CzechFirst);
        QCOMPARE(run.Current(), QStringLiteral("Buk lesní"));
        QCOMPARE(w.DBGrid1->currentIndex().row(), 0);
        QCOMPARE(QApplication::focusWidget(), w.Edit3);
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
        QCOMPARE(w.Label1->text(), QStringLiteral("Buk lesní - Fagus sylvatica"));
        QCOMPARE(w.Edit2->text(), QStringLiteral("Bukovité - Fagaceae"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvela"));
        QVERIFY(run.script.shown.isEmpty());
    }

    void missingFamilyFileLeavesBothDatasetsClosed()
    {
        ProgramRun run([](CatalogueFolder& folder) { WriteSpecies(folder.Path(), SampleSpecies()); });
        TForm1& w = run.Window();
        QCOMPARE(run.script.Texts(), QStringList{QStringLiteral("Cannot open file Familia.xml.")});
        QVERIFY(!w.DataFam->Active());
        QVERIFY(!w.DataOrvela->Active());
        QCOMPARE(w.DBGrid1->model()->rowCount(), 0);
        QVERIFY(!w.ToolButton11->isHidden());
        // The program keeps running: help opens, the about box is there, "Konec" ends it.
        w.ToolButton10->click();
        QCOMPARE(run.helpCalls.size(), 1);
        QVERIFY(AboutBox);
        w.ToolButton12->click();
        QVERIFY(!w.isVisible());
    }

    void badCatalogueFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind"); // "content", or a file that is not a regular file
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QString species = QStringLiteral("Orvela.xml");
        const QString families = QStringLiteral("Familia.xml");
        QTest::newRow("missing") << species << "missing" << QByteArray() << "Cannot open file Orvela.xml.";
        QTest::newRow("not XML") << species << "content" << QByteArray("\x01\x02 garbage <<<") << QString();
        QTest::newRow("no FIELDS") << species << "content"
                                   << QByteArray("<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\">"
                                                 "<METADATA></METADATA><ROWDATA/></DATAPACKET>")
                                   << QString();
        for (const QString& file : {species, families}) {
            for (const char* kind : {"FIFO", "folder", "link to /dev/zero"})
                QTest::addRow("%s %s", qPrintable(file), kind)
                    << file << kind << QByteArray() << "Cannot open file " + file + ".";
        }
    }
    void badCatalogueFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        ::alarm(20); // a file that blocks the start ends the test instead of hanging it
        ProgramRun run([&](CatalogueFolder& folder) {
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), SampleSpecies());
            const QString path = folder.File(file);
            QFile::remove(path);
            if (kind == "content") {
                QFile written(path);
                QVERIFY(written.open(QIODevice::WriteOnly));
                written.write(content);
            } else if (kind == "FIFO") {
                QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            } else if (kind == "folder") {
                QVERIFY(QDir().mkdir(path));
            } else if (kind == "link to /dev/zero") {
                QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
            }
        });
        ::alarm(0);
        TForm1& w = run.Window();
        QCOMPARE(run.script.shown.size(), 1);
        QCOMPARE(run.script.shown[0].kind, dialogs::Script::Shown::Kind::Error);
        if (!message.isEmpty())
            QCOMPARE(run.script.shown[0].text, message);
        QCOMPARE(w.DataFam->Active(), file == QStringLiteral("Orvela.xml"));
        QVERIFY(!w.DataOrvela->Active());
        QCOMPARE(w.DBGrid1->model()->rowCount(), 0);
        // A command on the closed catalogue is reported and the program goes on.
        w.ToolButton8->click();
        QCOMPARE(run.script.shown.size(), 2);
        QVERIFY(w.isVisible());
    }

    void damagedFirstPhotoStopsNothingAtStart()
    {
        shell::SetDriveTypeProbe([] { return shell::DriveType::Fixed; });
        ProgramRun run([](CatalogueFolder& folder) {
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), SampleSpecies());
            QDir(folder.Path()).mkdir(QStringLiteral("Foto"));
            QFile photo(folder.File(QStringLiteral("Foto/O5_0.jpg"))); // the beech, first in Czech order
            photo.open(QIODevice::WriteOnly);
            photo.write("not a photo");
        });
        shell::SetDriveTypeProbe({});
        TForm1& w = run.Window();
        QVERIFY(run.script.shown.isEmpty());
        QVERIFY(w.DataOrvela->Active());
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
        QVERIFY(w.ToolButton11->isHidden()); // the creation ran to its end
        QCOMPARE(w.ToolButton6->text(), QStringLiteral("Snímek 1/1"));
        QVERIFY(!w.Panel7->Image1->Unreadable().isEmpty());
    }

    void emptyCatalogueCountsZeroWithoutSelectionChange()
    {
        ProgramRun run([](CatalogueFolder& folder) {
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), {});
        });
        TForm1& w = run.Window();
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 0"));
        QCOMPARE(w.Label1->text(), QString());
        QVERIFY(run.script.shown.isEmpty());
        // Nothing may fail or add a record on an empty catalogue.
        w.ToolButton8->click();
        w.SpeedButton1->click();
        w.ComboBox1->setCurrentIndex(3);
        w.ComboBox1Change(3);
        w.Edit1->setText(QStringLiteral("kořen"));
        QTest::keyClick(w.Edit1, Qt::Key_Return);
        QCOMPARE(w.DataOrvela->RecordCount(), 0);
        QCOMPARE(w.DataOrvela->ChangeCount(), 0);
        for (const auto& shown : run.script.shown)
            QVERIFY2(shown.kind != dialogs::Script::Shown::Kind::Error, qPrintable(shown.text));
    }

    void installButtonFollowsDriveType_data()
    {
        QTest::addColumn<int>("driveType");
        QTest::addColumn<bool>("visible");
        QTest::newRow("CD-ROM") << int(shell::DriveType::CdRom) << true;
        QTest::newRow("fixed disk") << int(shell::DriveType::Fixed) << false;
        QTest::newRow("removable") << int(shell::DriveType::Removable) << false;
        QTest::newRow("unknown") << int(shell::DriveType::Unknown) << false;
    }
    void installButtonFollowsDriveType()
    {
        QFETCH(int, driveType);
        QFETCH(bool, visible);
        shell::SetDriveTypeProbe([driveType] { return shell::DriveType(driveType); });
        ProgramRun run;
        shell::SetDriveTypeProbe({});
        TForm1& w = run.Window();
        QCOMPARE(!w.ToolButton11->isHidden(), visible);
        // The second row closes up when "Nainstaluj" is hidden: "Konec" follows "O Orvela".
        QCOMPARE(w.ToolButton12->x(), w.ToolButton9->x() + (visible ? 230 : 115));
        QCOMPARE(w.ToolButton12->y(), w.ToolButton9->y());

        // Ctrl+Q opens the install dialog whatever the drive type.
        bool opened = false;
        WhenModal([&opened](QWidget* dialog) {
            opened = dynamic_cast<TForm2*>(dialog) != nullptr;
            dialog->close();
        });
        QTest::keyClick(w.Edit3, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(opened);
    }

    void menuKeysComeBeforeTextFields()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        w.SpeedButton1->click(); // the family of the first species: one species
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 1"));
        for (QLineEdit* field : {w.Edit3, w.Edit1}) {
            w.SpeedButton1->click();
            field->setText(QStringLiteral("abc"));
            field->setFocus();
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
            QVERIFY(!field->hasSelectedText());
        }
    }

    void helpOpensAtMainWindowContext()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        QTest::keyClick(w.Edit3, Qt::Key_F1);
        w.ToolButton10->click();
        const QPair<QString, int> expected{QStringLiteral("Orvela.chm"), 101};
        QCOMPARE(run.helpCalls, (QList<QPair<QString, int>>{expected, expected}));
    }

    void resizeKeepsFamilyPanelHeights_data()
    {
        // Steps: "max" maximises, "normal" restores, WxH resizes the restored window, "split" widens the
        // list with the splitter, a page name shows that page.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("restore") << QStringList{"normal"};
        QTest::newRow("restore, maximise, restore") << QStringList{"normal", "max", "normal", "max", "normal"};
        QTest::newRow("sizes") << QStringList{"normal", "900x700", "split", "1200x900", "640x250", "700x450"};
        QTest::newRow("resized, maximised, restored") << QStringList{"normal", "700x450", "max", "normal"};
        QTest::newRow("narrow") << QStringList{"normal", "600x450", "max", "normal", "640x480"};
        QTest::newRow("while the photo page is shown")
            << QStringList{"normal", "photo", "max", "normal", "700x450", "split", "summary"};
    }
    void resizeKeepsFamilyPanelHeights()
    {
        QFETCH(QStringList, steps);
        ProgramRun run;
        TForm1& w = run.Window();
        const int minimumHeight = w.minimumSizeHint().height();
        QSize normalSize = w.normalGeometry().size();
        for (const QString& step : steps) {
            if (step == QLatin1String("max")) {
                w.setWindowState(Qt::WindowMaximized);
            } else if (step == QLatin1String("normal")) {
                w.setWindowState(Qt::WindowNoState);
            } else if (step == QLatin1String("split")) {
                w.Splitter1->setSizes({300, w.Splitter1->width() - 303});
            } else if (step == QLatin1String("photo") || step == QLatin1String("summary")) {
                w.PageControl1->setCurrentIndex(step == QLatin1String("photo") ? 1 : 0);
            } else {
                const QStringList size = step.split(u'x');
                normalSize = QSize(size[0].toInt(), size[1].toInt());
                w.resize(normalSize);
                QTest::qWait(10);
                // The cool bar's bands have their stored widths where they fit and shrink where not.
                if (normalSize.width() >= 1000) {
                    QCOMPARE(w.Band1->geometry(), QRect(2, 2, 231, w.Band1->height()));
                    QCOMPARE(w.Band2->geometry(), QRect(237, 2, 559, w.Band2->height()));
                }
                QVERIFY(w.Band2->geometry().right() < w.CoolBar1->width());
            }
            QTest::qWait(10);
            const QByteArray where = step.toLatin1();
            // Every page has the size of the page shown, the summary page once it is shown again.
            QVERIFY2(w.Panel5->height() == std::max(0, w.PageControl1->currentWidget()->height() - 280), where);
            if (w.TabSheet1->isVisible()) {
                QVERIFY2(w.Panel5->geometry() == QRect(0, w.TabSheet1->height() - w.Panel5->height(),
                                                      w.TabSheet1->width(), w.Panel5->height()),
                         where);
                QVERIFY2(w.DBMemo1->height() == std::max(0, w.GroupBox1->height() - 60), where);
                // The family line where the form puts it, the note at the group box's bottom, edge to edge.
                QVERIFY2(w.Edit2->mapTo(w.GroupBox1, QPoint(0, 0)) == QPoint(6, 22), where);
                QVERIFY2(w.DBMemo1->geometry() == QRect(0, w.GroupBox1->height() - w.DBMemo1->height(),
                                                       w.GroupBox1->width(), w.DBMemo1->height()),
                         where);
            }
            // Neither the fixed heights nor the cool bar's bands hold the window up: it takes the size asked
            // for, and restoring gives back the size it had.
            QVERIFY2(w.minimumSizeHint().height() == minimumHeight, where);
            if (step != QLatin1String("max"))
                QVERIFY2(w.size() == normalSize, where);
        }
    }

    void controlsTakeTheMouseWhereTheyAreDrawn_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("control"); // what the user clicks or turns the wheel over
        QTest::addColumn<bool>("maximised");
        for (const bool maximised : {true, false}) {
            const char* state = maximised ? "maximised" : "restored";
            QTest::addRow("%s, family filter", state) << 0 << "SpeedButton1" << maximised;
            QTest::addRow("%s, all species", state) << 0 << "SpeedButton2" << maximised;
            QTest::addRow("%s, note's scroll bar", state) << 0 << "scroll bar" << maximised;
            QTest::addRow("%s, note's wheel", state) << 0 << "wheel" << maximised;
            QTest::addRow("%s, photo 1:1", state) << 1 << "ToolButton14" << maximised;
            QTest::addRow("%s, article saving", state) << 2 << "ToolButton3" << maximised;
        }
    }
    void controlsTakeTheMouseWhereTheyAreDrawn()
    {
        QFETCH(int, page);
        QFETCH(QString, control);
        QFETCH(bool, maximised);
        ProgramRun run([](CatalogueFolder& folder) {
            std::vector<FamilyRow> families = SampleFamilies();
            families[2].note = QStringLiteral("Řádek poznámky.\n").repeated(80); // the beech's family
            WriteFamilies(folder.Path(), families);
            WriteSpecies(folder.Path(), SampleSpecies());
        });
        TForm1& w = run.Window();
        if (!maximised) {
            w.setWindowState(Qt::WindowNoState);
            w.resize(900, 760);
        }
        QTest::qWait(10);
        // Mouse events go to the window, which finds the control under them, as a user's do.
        QWindow* window = w.windowHandle();
        const auto inWindow = [&w](QWidget* widget, QPoint point) { return widget->mapTo(&w, point); };
        const auto click = [&](QWidget* widget, QPoint point) {
            QTest::mouseClick(window, Qt::LeftButton, {}, inWindow(widget, point));
        };
        QTabBar* tabs = w.PageControl1->tabBar();
        click(tabs, tabs->tabRect(page).center());
        QCOMPARE(w.PageControl1->currentIndex(), page);

        // Nothing lies over a control of the page where it is drawn.
        QWidget* shown = w.PageControl1->currentWidget();
        for (QWidget* widget : shown->findChildren<QWidget*>()) {
            const QRect drawn = widget->visibleRegion().boundingRect();
            if (!widget->isVisible() || drawn.isEmpty() ||
                !(qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                  qobject_cast<QAbstractScrollArea*>(widget) || qobject_cast<QScrollBar*>(widget)))
                continue;
            QWidget* hit = w.childAt(inWindow(widget, drawn.center()));
            QVERIFY2(hit == widget || widget->isAncestorOf(hit), qPrintable(widget->objectName()));
        }

        QScrollBar* noteBar = w.DBMemo1->verticalScrollBar();
        if (control == QLatin1String("SpeedButton1")) {
            click(w.SpeedButton1, QPoint(20, 12));
            QVERIFY(w.SpeedButton1->isChecked() && !w.SpeedButton2->isChecked());
            QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 1"));
        } else if (control == QLatin1String("SpeedButton2")) {
            w.SpeedButton1->click();
            click(w.SpeedButton2, QPoint(20, 12));
            QVERIFY(w.SpeedButton2->isChecked() && !w.SpeedButton1->isChecked());
            QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
        } else if (control == QLatin1String("scroll bar")) {
            QVERIFY(noteBar->isVisible() && noteBar->maximum() > 0);
            click(noteBar, QPoint(noteBar->width() / 2, noteBar->height() - 4)); // the arrow down
            QVERIFY(noteBar->value() > 0);
        } else if (control == QLatin1String("wheel")) {
            const QPoint at = inWindow(w.DBMemo1, w.DBMemo1->rect().center());
            QWheelEvent wheel(at, w.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(window, &wheel);
            QVERIFY(noteBar->value() > 0);
        } else if (control == QLatin1String("ToolButton14")) {
            click(w.ToolButton14, QPoint(20, 12));
            QVERIFY(w.ToolButton14->isChecked());
        } else if (control == QLatin1String("ToolButton3")) {
            click(w.ToolButton3, QPoint(20, 12));
            QCOMPARE(run.script.shown.size(), 1);
            QCOMPARE(run.script.shown[0].kind, dialogs::Script::Shown::Kind::SaveFile);
        }
    }

    void downButtonsLookSunken()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        // Pressed into the face: edges above and left darker than those below and right. The platform's own
        // down look has an even frame.
        const auto sunken = [](QWidget* widget, const QRect& area) {
            const QImage drawn = widget->grab(area).toImage();
            const int middle = drawn.height() / 2;
            return qGray(drawn.pixel(3, 0)) < qGray(drawn.pixel(3, drawn.height() - 1)) &&
                   qGray(drawn.pixel(0, middle)) < qGray(drawn.pixel(drawn.width() - 1, middle));
        };
        const auto sunkenButton = [&sunken](QWidget* button) { return sunken(button, button->rect()); };
        QVERIFY(sunkenButton(w.SpeedButton2) && !sunkenButton(w.SpeedButton1));
        w.SpeedButton1->click();
        QVERIFY(sunkenButton(w.SpeedButton1) && !sunkenButton(w.SpeedButton2));

        // The page tabs are flat buttons: the active one down, the others without a frame.
        QTabBar* tabs = w.PageControl1->tabBar();
        for (int page = 0; page < tabs->count(); ++page) {
            w.PageControl1->setCurrentIndex(page);
            for (int tab = 0; tab < tabs->count(); ++tab) {
                const QRect area = tabs->tabRect(tab);
                QCOMPARE(sunken(tabs, area), tab == page);
                if (tab != page) {
                    const QImage drawn = tabs->grab(area).toImage();
                    for (const QPoint corner : {QPoint(0, 0), QPoint(area.width() - 1, area.height() - 1)})
                        QCOMPARE(drawn.pixel(corner), drawn.pixel(3, 3));
                }
            }
        }

        // The photo page's counter always, "Zobrazit 1:1" while it is down.
        QVERIFY(sunkenButton(w.ToolButton6) && !sunkenButton(w.ToolButton14));
        w.ToolButton14->click();
        QVERIFY(sunkenButton(w.ToolButton14));
    }

    void printAndSaveKeysOnlyOnArticlePage()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        for (int page : {0, 1}) {
            w.PageControl1->setCurrentIndex(page);
            QTest::keyClick(w.Edit3, Qt::Key_P, Qt::ControlModifier);
            QTest::keyClick(w.Edit3, Qt::Key_S, Qt::ControlModifier);
            QVERIFY(run.script.shown.isEmpty());
        }
        w.PageControl1->setCurrentIndex(2);
        QTest::keyClick(w.Edit3, Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(w.Edit3, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(run.script.shown.size(), 2);
        QCOMPARE(run.script.shown[0].kind, dialogs::Script::Shown::Kind::Print);
        QCOMPARE(run.script.shown[1].kind, dialogs::Script::Shown::Kind::SaveFile);
    }

    void dialogsOpenFromToolbarAndKeys()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        // A main window away from the screen's middle: the dialogs centre on the screen, not on it.
        w.setWindowState(Qt::WindowNoState);
        w.setGeometry(0, 0, 500, 400);
        const QPoint screenCentre = w.screen()->availableGeometry().center();
        QList<QWidget*> opened;
        QList<QPoint> centres;
        const auto closeNext = [&opened, &centres, &w] {
            // The window manager gives the main window its activation back after a dialog.
            QApplication::setActiveWindow(&w);
            WhenModal([&opened, &centres](QWidget* dialog) {
                opened << dialog;
                centres << dialog->frameGeometry().center();
                dialog->close();
            });
        };
        closeNext();
        w.ToolButton7->click();
        closeNext();
        QTest::keyClick(w.Edit3, Qt::Key_H, Qt::ControlModifier);
        closeNext();
        w.ToolButton9->click();
        closeNext();
        QTest::keyClick(w.Edit3, Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(opened, (QList<QWidget*>{FrmHledej, FrmHledej, static_cast<QWidget*>(AboutBox), AboutBox}));
        for (const QPoint& centre : centres)
            QVERIFY((centre - screenCentre).manhattanLength() <= 1);
    }

    void konecClosesWithoutQuestion()
    {
        ProgramRun run;
        run.Window().ToolButton12->click();
        QVERIFY(!run.Window().isVisible());
        QVERIFY(run.script.shown.isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
