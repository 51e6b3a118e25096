#include "MainWindowFixture.h"

#include "platform/dataset/ClientDataSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace orvela;
using namespace orvela::test;

namespace {
/// Counts selection changes by watching the header line being set.
struct ScrollCounter {
    explicit ScrollCounter(TForm1& w) : window(w)
    {
        previous = w.DataOrvela->AfterScroll;
        w.DataOrvela->AfterScroll = [this] {
            ++count;
            previous();
        };
    }
    ~ScrollCounter() { window.DataOrvela->AfterScroll = previous; }
    TForm1& window;
    std::function<void()> previous;
    int count = 0;
};

void ChooseGroup(TForm1& w, int index)
{
    w.ComboBox1->setCurrentIndex(index);
    w.ComboBox1Change(index);
}

void Search(TForm1& w, const QString& text)
{
    w.Edit1->setText(text);
    w.Edit1->setFocus();
    QTest::keyClick(w.Edit1, Qt::Key_Return);
}
} // namespace

class TestFilters final : public QObject {
    Q_OBJECT

private slots:
    void groupWithoutSpeciesShowsAllAgain()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        TypeText(w.Edit3, QStringLiteral("ch")); // Chrpa modrá
        QString countWhileUp;
        run.script.whileShown = [&](const dialogs::Script::Shown&) { countWhileUp = w.Label2->text(); };
        ChooseGroup(w, 9); // carnivorous: none in this catalogue
        QCOMPARE(run.script.Texts(), QStringList{QStringLiteral("Žádná rostlina z této skupiny nebyla nalezena.")});
        QCOMPARE(countWhileUp, QStringLiteral("Počet rostlin: 0"));
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
        QCOMPARE(w.ComboBox1->currentIndex(), 0);
        QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("Všechny"));
        QCOMPARE(run.Current(), QStringLiteral("Buk lesní")); // the first of the whole list
        QVERIFY(!w.DataOrvela->Filtered());
    }

    void groupKeepsOrLeavesTheCurrentSpecies()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        TypeText(w.Edit3, QStringLiteral("čekanka"));
        ChooseGroup(w, 5); // medicinal: chrpa, čekanka, růže
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 3"));
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
        ChooseGroup(w, 2); // garden: only the pea
        QCOMPARE(run.Current(), QStringLiteral("Hrách setý"));
        QCOMPARE(w.DataOrvela->Filter(), QStringLiteral("SK2=true"));
    }

    void familyAfterGroupListsTheWholeFamily()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        TypeText(w.Edit3, QStringLiteral("chrpa"));
        ChooseGroup(w, 6); // edible: čekanka, růže, hrách (not chrpa)
        TypeText(w.Edit3, QString()); // nothing
        w.Edit3->clear();
        TypeText(w.Edit3, QStringLiteral("če"));
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
        w.SpeedButton1->click();
        QCOMPARE(w.DataOrvela->Filter(), QStringLiteral("Family=1"));
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 3"));
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
        QCOMPARE(w.ComboBox1->currentIndex(), 6);
        QVERIFY(w.SpeedButton1->isChecked() && !w.SpeedButton2->isChecked());
        // Pressed again while down: stays down, filter applied again.
        w.SpeedButton1->click();
        QVERIFY(w.SpeedButton1->isChecked());
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
    }

    void showAllWaysKeepTheSpecies()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        TypeText(w.Edit3, QStringLiteral("růže"));
        w.SpeedButton1->click();
        // Toolbar, Ctrl+A and entry 0 list all species while the family button stays down.
        QTest::keyClick(w.Edit3, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
        QVERIFY(w.SpeedButton1->isChecked());
        QCOMPARE(run.Current(), QStringLiteral("Růže šípková"));
        w.SpeedButton1->click();
        w.ToolButton8->click();
        QVERIFY(w.SpeedButton1->isChecked());
        w.SpeedButton2->click();
        QVERIFY(w.SpeedButton2->isChecked());
        QCOMPARE(run.Current(), QStringLiteral("Růže šípková"));
    }

    void showAllWithoutFilterRunsSelectionChangeTwice()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        TypeText(w.Edit3, QStringLiteral("sed"));
        ScrollCounter counter(w);
        w.ToolButton8->click();
        QCOMPARE(counter.count, 2);
        QCOMPARE(run.Current(), QStringLiteral("Sedmikráska chudobka"));
    }

    void altVOnlyOnSummaryPageAndKeepsButtons()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        w.SpeedButton1->click();
        QTest::keyClick(w.Edit3, Qt::Key_V, Qt::AltModifier);
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
        QVERIFY(w.SpeedButton1->isChecked());
        w.SpeedButton1->click();
        w.PageControl1->setCurrentIndex(2);
        QTest::keyClick(w.Edit3, Qt::Key_V, Qt::AltModifier);
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 1"));
    }

    void articleSearch_data()
    {
        // What a search leaves: the box, the count, the species, its photo page and the marks written back.
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("latin");
        QTest::addColumn<int>("group");       // active filter before the search; 0: none
        QTest::addColumn<QString>("from");    // name typed in the jump field before
        QTest::addColumn<QString>("damaged"); // photo written damaged
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("family");  // of the family line: an unknown family keeps the last known
        QTest::addColumn<QString>("photo");   // photo counter, first photo's width
        QTest::addColumn<QString>("marked");  // IDs marked in the written catalogue
        QTest::newRow("one hit") << "kávy" << false << 0 << "sed" << "" << "Text nalezen v textu 1 rostlin." << 1
                                 << "Čekanka obecná" << "Hvězdnicovité" << "Snímek 1/2 40" << "3";
        QTest::newRow("capitals") << "KÁVY" << false << 0 << "" << "" << "Text nalezen v textu 1 rostlin." << 1
                                  << "Čekanka obecná" << "Hvězdnicovité" << "Snímek 1/2 40" << "3";
        QTest::newRow("capitals with diacritics") << "KOŘEN ČEKANKY" << false << 0 << "" << "" << "Text nalezen v textu 1 rostlin."
                                                  << 1 << "Čekanka obecná" << "Hvězdnicovité" << "Snímek 1/2 40" << "3";
        QTest::newRow("several, remembered found") << "s" << false << 0 << "růže" << "" << "Text nalezen v textu 4 rostlin."
                                                   << 4 << "Růže šípková" << "Růžovité" << "Snímek 0/0 0" << "2 3 4 5";
        QTest::newRow("several, Latin order, group") << "s" << true << 2 << "" << "" << "Text nalezen v textu 4 rostlin."
                                                     << 4 << "Chrpa modrá" << "Hvězdnicovité" << "Snímek 1/1 50" << "2 3 4 5";
        QTest::newRow("Czech order, group") << "s" << false << 2 << "" << "" << "Text nalezen v textu 4 rostlin." << 4
                                            << "Buk lesní" << "Bukovité" << "Snímek 0/0 0" << "2 3 4 5";
        QTest::newRow("none, Latin order, group") << "orchidej" << true << 12 << "" << "" << "Text nebyl nalezen!" << 6
                                                  << "Buk lesní" << "Bukovité" << "Snímek 0/0 0" << "";
        QTest::newRow("damaged photo passed") << "kávy" << false << 0 << "" << "Foto/O6_0.jpg"
                                              << "Text nalezen v textu 1 rostlin." << 1 << "Čekanka obecná" << "Hvězdnicovité"
                                              << "Snímek 1/2 40" << "3";
        QTest::newRow("unknown family, Latin order") << "zahrad" << true << 0 << "" << "" << "Text nalezen v textu 1 rostlin."
                                                     << 1 << "Hrách setý" << "Hvězdnicovité" << "Snímek 0/0 0" << "6";
        QTest::newRow("blanks as they are") << "  " << false << 0 << "" << "" << "Text nebyl nalezen!" << 6 << "Buk lesní" << "Bukovité"
                                            << "Snímek 0/0 0" << "";
        QTest::newRow("formatting code") << "fcharset" << false << 0 << "" << "" << "Text nebyl nalezen!" << 6
                                         << "Buk lesní" << "Bukovité" << "Snímek 0/0 0" << "";
        QTest::newRow("font name") << "arial" << false << 0 << "" << "" << "Text nebyl nalezen!" << 6 << "Buk lesní" << "Bukovité"
                                   << "Snímek 0/0 0" << "";
    }
    void articleSearch()
    {
        QFETCH(QString, text);
        QFETCH(bool, latin);
        QFETCH(int, group);
        QFETCH(QString, from);
        QFETCH(QString, damaged);
        QFETCH(QString, message);
        QFETCH(int, count);
        QFETCH(QString, current);
        QFETCH(QString, family);
        QFETCH(QString, photo);
        QFETCH(QString, marked);
        ProgramRun run([&](CatalogueFolder& folder) {
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), SampleSpecies());
            QDir(folder.Path()).mkdir(QStringLiteral("Foto"));
            WritePhoto(folder.File(QStringLiteral("Foto/O3_0.jpg")), 40, 30);
            WritePhoto(folder.File(QStringLiteral("Foto/O3_1.jpg")), 20, 10);
            WritePhoto(folder.File(QStringLiteral("Foto/O2_0.jpg")), 50, 20);
            if (!damaged.isEmpty()) {
                QFile photo(folder.File(damaged));
                photo.open(QIODevice::WriteOnly);
                photo.write("not a photo");
            }
        });
        TForm1& w = run.Window();
        if (latin)
            w.ToolButton1->click();
        if (group > 0)
            ChooseGroup(w, group);
        TypeText(w.Edit3, from);
        const QString countBefore = w.Label2->text();
        QString countWhileUp;
        bool pagesShownWhileUp = false;
        run.script.whileShown = [&](const dialogs::Script::Shown&) {
            countWhileUp = w.Label2->text();
            pagesShownWhileUp = w.PageControl1->isVisible();
        };
        Search(w, text);
        QCOMPARE(run.script.Texts(), QStringList{message});
        QCOMPARE(countWhileUp, countBefore);
        QVERIFY(pagesShownWhileUp);
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: %1").arg(count));
        QCOMPARE(run.Current(), current);
        QCOMPARE(w.Label1->text(), current + QStringLiteral(" - ") + run.Current("LAT"));
        QCOMPARE(w.ToolButton6->text() + u' ' + QString::number(w.PhotoList.PictureWidth), photo);
        QCOMPARE(w.Edit2->text().section(QStringLiteral(" - "), 0, 0), family);
        // The bound controls show the species that is current; a trait box keeps its look from start
        // until its state changes, which the scan over every species does unless no species has the trait.
        QSet<QString> anyTrue;
        for (const SpeciesRow& species : SampleSpecies())
            anyTrue.unite(QSet<QString>(species.traits.begin(), species.traits.end()));
        QCOMPARE(w.DBGrid1->currentIndex().row(), w.DataOrvela->RecNo());
        QCOMPARE(w.DBRichEdit1->Value(), w.DataOrvela->FieldByName(QStringLiteral("NOTE")).AsBytes());
        for (const DBCheckBox* box : w.TraitArea->findChildren<DBCheckBox*>()) {
            const bool trait = w.DataOrvela->FieldByName(box->DataField()).AsBoolean();
            const bool unchanged = w.DataOrvela->Filtered() && !anyTrue.contains(box->DataField().toUpper());
            QVERIFY2(box->isChecked() == trait && box->isEnabled() == (trait || unchanged), qPrintable(box->DataField()));
        }
        QCOMPARE(w.DataOrvela->Filter(), QStringLiteral("FILTR=true"));
        QCOMPARE(w.DataOrvela->Filtered(), count < 6);
        QCOMPARE(w.ComboBox1->currentIndex(), group);
        QCOMPARE(QApplication::focusWidget(), w.DBGrid1);
        QCOMPARE(w.Edit1->text(), text);
        QVERIFY(w.DataOrvela->ReadOnly());

        DestroyForms();
        ClientDataSet written(QStringLiteral("written"));
        written.LoadFromFile(run.folder.File(QStringLiteral("Orvela.xml")));
        QStringList marks;
        for (written.First(); !written.Eof(); written.Next()) {
            if (written.FieldByName(QStringLiteral("FILTR")).AsBoolean())
                marks << written.FieldByName(QStringLiteral("ID")).AsString();
        }
        marks.sort();
        QCOMPARE(marks.join(u' '), marked);
    }

    void searchOnUnknownFamilyShowsTheLastKnownPassed()
    {
        // The beech's family is unknown: the family line keeps the family of the last species passed
        // whose family is known (the daisy, last in Czech order), not the one shown before the search.
        ProgramRun run([](CatalogueFolder& folder) {
            std::vector<SpeciesRow> species = SampleSpecies();
            species[4].family = 9;
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), species);
        });
        TForm1& w = run.Window();
        QCOMPARE(w.Edit2->text(), QStringLiteral("Bukovité - Fagaceae"));
        Search(w, QStringLiteral("strom"));
        QCOMPARE(run.Current(), QStringLiteral("Buk lesní"));
        QCOMPARE(w.Edit2->text(), QStringLiteral("Hvězdnicovité - Asteraceae"));
    }

    void searchReplacesAnyFilterAndReturns()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        ChooseGroup(w, 12); // the beech alone
        Search(w, QStringLiteral("kávy"));
        QCOMPARE(w.DataOrvela->Filter(), QStringLiteral("FILTR=true"));
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná")); // the beech was not found: first found
        QCOMPARE(w.ComboBox1->currentIndex(), 12);

        // Nothing found: every species, the previous one current, the old filter gone.
        Search(w, QStringLiteral("orchidej"));
        QVERIFY(!w.DataOrvela->Filtered());
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
    }

    void emptySearchFieldDoesNothing()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        w.SpeedButton1->click();
        Search(w, QString());
        QVERIFY(run.script.shown.isEmpty());
        QCOMPARE(QApplication::focusWidget(), w.Edit1);
        QCOMPARE(w.DataOrvela->Filter(), QStringLiteral("Family=3"));
    }

    void searchMarksAreWrittenBackOnlyWhenChanged()
    {
        QByteArray before;
        {
            ProgramRun run;
            before = [&] {
                QFile file(run.folder.File("Orvela.xml"));
                file.open(QIODevice::ReadOnly);
                return file.readAll();
            }();
            Search(run.Window(), QStringLiteral("kávy"));
            QVERIFY(run.Window().DataOrvela->ChangeCount() > 0);
            DestroyForms();
            QFile file(run.folder.File("Orvela.xml"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray after = file.readAll();
            QVERIFY(after != before);
            QVERIFY(after.contains("FILTR=\"TRUE\""));
        }
        {
            // A write-back that fails is shown, and the program ends all the same.
            ProgramRun run;
            Search(run.Window(), QStringLiteral("kávy"));
            const QString path = QFileInfo(QStringLiteral("Orvela.xml")).absoluteFilePath();
            QVERIFY(QFile::remove(path) && QDir().mkdir(path));
            DestroyForms();
            QCOMPARE(run.script.Texts().last(), QStringLiteral("Cannot create file %1.").arg(path));
        }
    }
};

QTEST_MAIN(TestFilters)
#include "test_filters.moc"
