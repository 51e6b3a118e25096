#include "MainWindowFixture.h"

#include "browser/Hledej.h"
#include "platform/dataset/ClientDataSet.h"

using namespace orvela;
using namespace orvela::test;

namespace {
/// Opens the dialog as the toolbar does and lets `act` work in it while it is up.
void WithDialog(TForm1& w, const std::function<void(TFrmHledej&)>& act)
{
    WhenModal([act](QWidget*) { act(*FrmHledej); });
    w.ToolButton7->click();
}
} // namespace

class TestSearch final : public QObject {
    Q_OBJECT

private slots:
    void filterTexts_data()
    {
        QTest::addColumn<bool>("wild");
        QTest::addColumn<QList<int>>("items"); // habitat, colour, month, segments, form
        QTest::addColumn<QString>("filter");
        QTest::newRow("defaults") << true << QList<int>{0, 0, 0, 0, 0} << "SK1=true";
        QTest::newRow("cleared") << false << QList<int>{0, 0, 0, 0, 0} << "ID>0";
        QTest::newRow("tree alone") << false << QList<int>{0, 0, 0, 0, 3} << "ID>0 and SK12=true";
        QTest::newRow("herb") << false << QList<int>{0, 0, 0, 0, 1} << "ID>0 and SK10=true";
        QTest::newRow("month X") << false << QList<int>{0, 0, 10, 0, 0} << "ID>0 and DK10=true";
        QTest::newRow("five conditions") << true << QList<int>{3, 1, 5, 0, 3}
                                         << "SK1=true and S3=true and B1=true and DK5=true and SK12=true";
        QTest::newRow("every group") << true << QList<int>{5, 8, 12, 3, 2}
                                     << "SK1=true and S5=true and B8=true and DK12=true and KL3=true and SK11=true";
    }
    void filterTexts()
    {
        QFETCH(bool, wild);
        QFETCH(QList<int>, items);
        QFETCH(QString, filter);
        const FilterText::SearchCriteria criteria{wild, items[0], items[1], items[2], items[3], items[4]};
        QCOMPARE(FilterText::Criteria(criteria), filter);
    }

    void dialogLayout()
    {
        ProgramRun run;
        QCOMPARE(FrmHledej->windowTitle(), QStringLiteral("Najdi rostlinu"));
        QCOMPARE(FrmHledej->size(), QSize(604, 347));
        QVERIFY(FrmHledej->CheckBox1->isChecked());
        QCOMPARE(FrmHledej->RadioGroup2->findChildren<QRadioButton*>().at(5)->text(), QStringLiteral("FIalová"));
        QVERIFY(!FrmHledej->BitBtn1->isDefault());
    }

    void matchingSearchClosesAndKeepsTheSpecies()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        TypeText(w.Edit3, QStringLiteral("čekanka"));
        w.ComboBox1->setCurrentIndex(2);
        WithDialog(w, [](TFrmHledej& dialog) {
            dialog.SetItemIndex(dialog.RadioGroup2, 4); // blue
            dialog.BitBtn1->click();
        });
        QVERIFY(!FrmHledej->isVisible());
        QCOMPARE(w.DataOrvela->Filter(), QStringLiteral("SK1=true and B4=true"));
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 2"));
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
        QCOMPARE(w.ComboBox1->currentIndex(), 0);

        // The current species does not match: the first match in the current order.
        WithDialog(w, [](TFrmHledej& dialog) {
            dialog.SetItemIndex(dialog.RadioGroup2, 0);
            dialog.SetItemIndex(dialog.RadioGroup5, 3); // tree
            dialog.BitBtn1->click();
        });
        QCOMPARE(run.Current(), QStringLiteral("Buk lesní"));
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 1"));

        // Reopened, it shows the last criteria.
        WithDialog(w, [](TFrmHledej& dialog) {
            QCOMPARE(dialog.ItemIndex(dialog.RadioGroup5), 3);
            QVERIFY(dialog.CheckBox1->isChecked());
            dialog.reject();
        });
    }

    void searchWithoutResultStaysOpen()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        w.ComboBox1->setCurrentIndex(5);
        w.ComboBox1Change(5);
        bool stillOpen = false;
        WithDialog(w, [&](TFrmHledej& dialog) {
            dialog.SetItemIndex(dialog.RadioGroup5, 3); // tree
            dialog.SetItemIndex(dialog.RadioGroup2, 8); // orange: none
            dialog.BitBtn1->click();
            stillOpen = dialog.isVisible();
            dialog.reject();
        });
        QVERIFY(stillOpen);
        QCOMPARE(run.script.Texts(), QStringList{QStringLiteral("Žádná rostlina nevyhovuje zadaným podmínkám!")});
        QVERIFY(!w.DataOrvela->Filtered());
        QCOMPARE(w.Label2->text(), QStringLiteral("Počet rostlin: 6"));
        QCOMPARE(w.ComboBox1->currentIndex(), 5);
        QCOMPARE(run.Current(), QStringLiteral("Buk lesní"));
    }

    void closingChangesNothing()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        w.SpeedButton1->click();
        WithDialog(w, [](TFrmHledej& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
        WithDialog(w, [](TFrmHledej& dialog) { dialog.BitBtn2->click(); });
        WithDialog(w, [](TFrmHledej& dialog) { dialog.close(); });
        QCOMPARE(w.DataOrvela->Filter(), QStringLiteral("Family=3"));
        QVERIFY(run.script.shown.isEmpty());
    }

    void repeatedArticleSearchesKeepEachArticle()
    {
        // The second search of the catalogue finds each article's text kept from the first.
        ProgramRun run;
        TForm1& w = run.Window();
        for (const char* text : {"kávy", "s", "kávy"}) {
            w.Edit1->setText(QString::fromUtf8(text));
            w.Edit1->setFocus();
            QTest::keyClick(w.Edit1, Qt::Key_Return);
        }
        QCOMPARE(run.script.Texts(), (QStringList{QStringLiteral("Text nalezen v textu 1 rostlin."),
                                                  QStringLiteral("Text nalezen v textu 4 rostlin."),
                                                  QStringLiteral("Text nalezen v textu 1 rostlin.")}));
    }

    void helpKeyOpensContext102()
    {
        ProgramRun run;
        WithDialog(run.Window(), [](TFrmHledej& dialog) {
            QApplication::setActiveWindow(&dialog);
            QTest::keyClick(dialog.BitBtn1, Qt::Key_F1);
            dialog.reject();
        });
        QCOMPARE(run.helpCalls.size(), 1);
        QCOMPARE(run.helpCalls[0].second, 102);
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
