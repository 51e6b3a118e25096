#include "MainWindowFixture.h"

#include "platform/controls/Look.h"
#include "platform/controls/DBCheckBox.h"
#include "platform/controls/ElidedLabel.h"
#include "platform/dataset/ClientDataSet.h"

#include <QGroupBox>
#include <QScreen>

using namespace orvela;
using namespace orvela::test;

namespace {
DBCheckBox* TraitBox(TForm1& w, const char* field)
{
    for (DBCheckBox* box : w.TraitArea->findChildren<DBCheckBox*>())
        if (box->DataField() == QLatin1String(field))
            return box;
    return nullptr;
}

QStringList FirstColumn(TForm1& w)
{
    QStringList names;
    for (int row = 0; row < w.DBGrid1->model()->rowCount(); ++row)
        names << w.DBGrid1->model()->index(row, 0).data().toString();
    return names;
}
} // namespace

class TestPlantView final : public QObject {
    Q_OBJECT

private slots:
    void listStartsInCzechOrder()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        QCOMPARE(FirstColumn(w), (QStringList{"Buk lesní", "Čekanka obecná", "Hrách setý", "Chrpa modrá", "Růže šípková",
                                              "Sedmikráska chudobka"}));
        QCOMPARE(w.DBMemo1->toPlainText(), QStringLiteral("Stromy s nažkami."));
        QCOMPARE(w.DBGrid1->Columns(0).Width(), 300);
    }

    void orderSwitchKeepsSpeciesAndSwapsColumns()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        w.DBGrid1->setFocus();
        QTest::keyClick(w.DBGrid1, Qt::Key_Down); // Čekanka obecná
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
        const QString header = w.Label1->text();

        w.ToolButton1->click();
        QVERIFY(!w.CzechFirst);
        QCOMPARE(w.DBGrid1->Columns(0).Title(), QStringLiteral("Latinsky"));
        QCOMPARE(FirstColumn(w), (QStringList{"Bellis perennis", "Centaurea cyanus", "Cichorium intybus", "Fagus sylvatica",
                                              "Pisum sativum", "Rosa canina"}));
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
        QCOMPARE(w.DBGrid1->currentIndex().row(), 2);
        QCOMPARE(w.Label1->text(), header);

        QTest::keyClick(w.Edit3, Qt::Key_L, Qt::ControlModifier);
        QVERIFY(w.CzechFirst);
        QCOMPARE(w.DBGrid1->Columns(0).FieldName().toLower(), QStringLiteral("cz"));
        QCOMPARE(FirstColumn(w).first(), QStringLiteral("Buk lesní"));
        QCOMPARE(run.Current(), QStringLiteral("Čekanka obecná"));
    }

    void nameJump_data()
    {
        QTest::addColumn<bool>("latinFirst");
        QTest::addColumn<bool>("inList");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("czech prefix") << false << false << "ch" << "Chrpa modrá";
        QTest::newRow("h before ch") << false << false << "h" << "Hrách setý";
        QTest::newRow("mixed case") << false << false << "sEDm" << "Sedmikráska chudobka";
        QTest::newRow("diacritics") << false << false << "čEK" << "Čekanka obecná";
        QTest::newRow("no match stays") << false << false << "xyz" << "Buk lesní";
        QTest::newRow("latin prefix") << true << false << "ros" << "Růže šípková";
        QTest::newRow("czech name under latin order") << true << false << "sedm" << "Sedmikráska chudobka";
        // The list itself takes no typing: no second, different name jump.
        QTest::newRow("letters in the list") << false << true << "ch" << "Buk lesní";
        QTest::newRow("letters in the latin list") << true << true << "r" << "Sedmikráska chudobka";
    }
    void nameJump()
    {
        QFETCH(bool, latinFirst);
        QFETCH(bool, inList);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        ProgramRun run;
        TForm1& w = run.Window();
        if (latinFirst) {
            w.ToolButton1->click();
            w.DataOrvela->First();
        }
        QWidget* target = inList ? static_cast<QWidget*>(w.DBGrid1) : w.Edit3;
        target->setFocus();
        TypeText(target, typed);
        QCOMPARE(run.Current(), expected);
        QCOMPARE(w.DBGrid1->currentIndex().row(), w.DataOrvela->RecNo());
        // Clearing the field leaves the selection where it is.
        w.Edit3->clear();
        QCOMPARE(run.Current(), expected);
    }

    void nameJumpSearchesOnlyTheFilteredList()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        w.ComboBox1->setCurrentIndex(12);
        w.ComboBox1Change(12); // trees: only the beech
        TypeText(w.Edit3, QStringLiteral("ch"));
        QCOMPARE(run.Current(), QStringLiteral("Buk lesní"));
    }

    void traitBoxesFollowTheSpecies()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        DBCheckBox* forests = TraitBox(w, "S3");
        DBCheckBox* fields = TraitBox(w, "S1");
        QVERIFY(forests && fields);
        // The beech grows in forests: checked, yellow, enabled. Fields never changed: ordinary look.
        QCOMPARE(forests->checkState(), Qt::Checked);
        QCOMPARE(forests->Color(), colors::Yellow);
        QVERIFY(forests->isEnabled());
        QCOMPARE(fields->checkState(), Qt::Unchecked);
        QVERIFY(fields->isEnabled());

        TypeText(w.Edit3, QStringLiteral("chrpa"));
        QCOMPARE(fields->checkState(), Qt::Checked);
        QCOMPARE(forests->checkState(), Qt::Unchecked);
        QCOMPARE(forests->Color(), colors::ButtonFace());
        QVERIFY(!forests->isEnabled());

        // A click changes neither box nor data.
        QTest::mouseClick(fields, Qt::LeftButton);
        QCOMPARE(fields->checkState(), Qt::Checked);
        QVERIFY(w.DataOrvela->FieldByName("S1").AsBoolean());
        QCOMPARE(w.DataOrvela->ChangeCount(), 0);
    }

    void traitBoxesStandUnderTheGroupBoxTop_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("count");
        QTest::newRow("habitat") << "Stanoviště" << 6;
        QTest::newRow("flower colour") << "Barva květů" << 9;
        QTest::newRow("perianth segments") << "Počet okvětních lístků" << 4;
        QTest::newRow("flowering month") << "Doba květu" << 12;
    }
    void traitBoxesStandUnderTheGroupBoxTop()
    {
        QFETCH(QString, group);
        QFETCH(int, count);
        ProgramRun run;
        TForm1& w = run.Window();
        QGroupBox* box = nullptr;
        for (QGroupBox* candidate : w.TraitArea->findChildren<QGroupBox*>())
            if (candidate->title() == group)
                box = candidate;
        QVERIFY(box);
        const QList<DBCheckBox*> traits = box->findChildren<DBCheckBox*>();
        QCOMPARE(traits.size(), count);
        // The first 20 pixels below the box's top edge, each further one 20 pixels lower.
        for (int i = 0; i < count; ++i)
            QCOMPARE(traits[i]->y(), 20 + 20 * i);
        // The first one stands clear of the frame line as drawn (the caption made invisible), the last one
        // inside the box.
        QPalette invisibleText = box->palette();
        invisibleText.setColor(QPalette::WindowText, invisibleText.color(QPalette::Window));
        box->setPalette(invisibleText);
        const QImage drawn = box->grab().toImage();
        const auto frameAt = [&drawn](int row) {
            for (int column = 0; column < 3; ++column)
                if (drawn.pixel(column, row) != drawn.pixel(column, 0))
                    return true;
            return false;
        };
        int frameTop = 0;
        while (frameTop < drawn.height() && !frameAt(frameTop))
            ++frameTop;
        QVERIFY2(traits.first()->y() >= frameTop + 3, qPrintable(QString::number(frameTop)));
        QVERIFY(traits.last()->geometry().bottom() < box->height() - 2);
    }

    void unknownFamilyKeepsThePreviousOne()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        TypeText(w.Edit3, QStringLiteral("chrpa"));
        QCOMPARE(w.Edit2->text(), QStringLiteral("Hvězdnicovité - Asteraceae"));
        w.Edit3->clear();
        TypeText(w.Edit3, QStringLiteral("hr")); // family 4 does not exist
        QCOMPARE(run.Current(), QStringLiteral("Hrách setý"));
        QCOMPARE(w.Edit2->text(), QStringLiteral("Hvězdnicovité - Asteraceae"));
        QCOMPARE(w.DBMemo1->toPlainText(), QStringLiteral("Úbory květů."));
        QCOMPARE(w.Label1->text(), QStringLiteral("Hrách setý - Pisum sativum"));
    }

    void longNameKeepsTheWindowOnTheScreen()
    {
        const QString name = QStringLiteral("Buk ") + QStringLiteral("převelice dlouhého jména ").repeated(12);
        QVERIFY(name.size() >= 300);
        ProgramRun run([&](CatalogueFolder& folder) {
            std::vector<SpeciesRow> species = SampleSpecies();
            species[4].cz = name;
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), species);
        });
        TForm1& w = run.Window();
        QCOMPARE(w.Label1->text(), name + QStringLiteral(" - Fagus sylvatica")); // kept whole
        // Nothing in the window may ask for more width than the screen has (800 pixels offscreen).
        QVERIFY(w.minimumSizeHint().width() <= w.screen()->geometry().width());
        const QString shown = w.Label1->ShownText();
        QVERIFY2(shown.startsWith(QStringLiteral("Buk převelice")) && shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY(w.Label1->fontMetrics().horizontalAdvance(shown) <= w.Label1->contentsRect().width());
    }

    void familyLineFollowsWhileAnotherPageIsShown()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        w.PageControl1->setCurrentIndex(2);
        TypeText(w.Edit3, QStringLiteral("chrpa"));
        w.PageControl1->setCurrentIndex(0);
        QCOMPARE(w.Edit2->text(), QStringLiteral("Hvězdnicovité - Asteraceae"));
        QCOMPARE(w.DBMemo1->toPlainText(), QStringLiteral("Úbory květů."));
    }

    void idLabelToggles()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        QVERIFY(w.DBText1->isHidden());
        w.PageControl1->setCurrentIndex(1);
        QTest::keyClick(w.Edit3, Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
        w.PageControl1->setCurrentIndex(0);
        QVERIFY(w.DBText1->isVisible());
        QCOMPARE(w.DBText1->text(), QStringLiteral("5"));
        QTest::keyClick(w.Edit3, Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(w.DBText1->isHidden());
    }
};

QTEST_MAIN(TestPlantView)
#include "test_plantview.moc"
