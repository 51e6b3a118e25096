#include "MainWindowFixture.h"

#include "platform/dataset/ClientDataSet.h"

#include <QFile>

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

class FiltersTest final : public QObject {
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
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("count");
        QTest::newRow("one hit") << "kávy" << "Text nalezen v textu 1 rostlin." << 1;
        QTest::newRow("capitals") << "KÁVY" << "Text nalezen v textu 1 rostlin." << 1;
        QTest::newRow("several") << "s" << "Text nalezen v textu 4 rostlin." << 4;
        QTest::newRow("blanks as they are") << "  " << "Text nebyl nalezen!" << 6;
        QTest::newRow("formatting code") << "fcharset" << "Text nebyl nalezen!" << 6;
        QTest::newRow("font name") << "arial" << "Text nebyl nalezen!" << 6;
    }
    void articleSearch()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, count);
        ProgramRun run;
        TForm1& w = run.Window();
        QString countWhileUp;
        bool pagesShownWhileUp = false;
        run.script.whileShown = [&](const dialogs::Script::Shown&) {
            countWhileUp = w.Label2->text();
            pagesShownWhileUp = w.PageControl1->isVisible();
        };
        Search(w, text);
        QCOMPARE(run.script.Texts(), QStringList{message});
        QCOMPARE(countWhileUp, QStringLiteral("Počet rostlin: 6"));
        QVERIFY(pagesShownWhileUp);
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: %1").arg(count));
        QCOMPARE(QApplication::focusWidget(), w.DBGrid1);
        QCOMPARE(w.Edit1->text(), text);
        QVERIFY(w.DataOrvela->ReadOnly());
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
    }

    void damagedPhotoDuringSearchRestoresTheWindow()
    {
        ProgramRun run([](CatalogueFolder& folder) {
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), SampleSpecies());
            QDir(folder.Path()).mkdir(QStringLiteral("Foto"));
            QFile photo(folder.File(QStringLiteral("Foto/O3_0.jpg")));
            photo.open(QIODevice::WriteOnly);
            photo.write("not a photo");
        });
        TForm1& w = run.Window();
        run.script.shown.clear();
        Search(w, QStringLiteral("kávy"));
        QVERIFY(!run.script.shown.isEmpty());
        QCOMPARE(run.script.shown.last().kind, dialogs::Script::Shown::Kind::Error);
        QVERIFY(w.DataOrvela->ReadOnly());
        QVERIFY(w.PageControl1->isVisible());
    }
};

QTEST_MAIN(FiltersTest)
#include "tst_filters.moc"
