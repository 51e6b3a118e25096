#include "platform/controls/DBCheckBox.h"
#include "platform/controls/DBGrid.h"
#include "platform/controls/DBMemo.h"
#include "platform/controls/DBRichEdit.h"
#include "platform/controls/DBText.h"
#include "platform/controls/DataSource.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/errors/Errors.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <functional>
#include <optional>

using namespace orvela;

namespace {

struct Plant {
    int id;
    QString cz;
    QString lat;
    std::optional<bool> s1;
    QByteArray note = {};
};

/// A species packet with the fields the controls need, written into dir.
QString WritePlants(const QTemporaryDir& dir, const std::vector<Plant>& plants, const QString& name = "Orvela.xml")
{
    DataPacketWriter writer({{"ID", "i4", 0, {}},
                             {"CZ", "string", 60, {}},
                             {"LAT", "string", 60, {}},
                             {"S1", "boolean", 0, {}},
                             {"NOTE", "bin.hex", 0, "Text"}});
    for (const Plant& plant : plants) {
        writer.BeginRow();
        writer.SetInteger(0, plant.id);
        writer.SetString(1, plant.cz);
        writer.SetString(2, plant.lat);
        if (plant.s1)
            writer.SetBoolean(3, *plant.s1);
        if (!plant.note.isNull())
            writer.SetBlob(4, plant.note);
        writer.EndRow();
    }
    const QString path = dir.filePath(name);
    writer.WriteToFile(path);
    return path;
}

// Displays "Čekanka obecná má modré květy.", a paragraph end, "Roste na mezích.".
const QByteArray kChicoryArticle = R"({\rtf1\ansi\ansicpg1250\deff0{\fonttbl{\f0\fswiss\fcharset238 Arial;}})"
                                   R"(\f0\fs24 \'c8ekanka obecn\'e1 m\'e1 {\b modr\'e9} kv\'ecty.\par )"
                                   R"(Roste na mez\'edch.})";

const std::vector<Plant> kPlants = {
    {1, "Sedmikráska", "Bellis perennis", true},
    {2, "Bez černý", "Sambucus nigra", false},
    {3, "Čekanka", "Cichorium intybus", std::nullopt},
    {4, "Aksamitník", "Tagetes patula", true},
    {5, "Divizna", "Verbascum thapsus", true},
};

/// A loaded species dataset with a data source and a count of AfterScroll runs.
struct Catalogue {
    QTemporaryDir dir;
    ClientDataSet dataSet{"DataOrvela"};
    DataSource source{&dataSet};
    int scrolls = 0;

    explicit Catalogue(const std::vector<Plant>& plants = kPlants)
    {
        dataSet.SetIndexFieldNames("cz");
        dataSet.LoadFromFile(WritePlants(dir, plants));
        dataSet.AfterScroll = [this] { ++scrolls; };
    }
};

/// count species named "Rostlina 000000" upwards, each with the article note(i).
std::vector<Plant> NumberedPlants(int count, const std::function<QByteArray(int)>& note = {})
{
    std::vector<Plant> plants;
    plants.reserve(count);
    for (int i = 0; i < count; ++i) {
        plants.push_back({i + 1, QString("Rostlina %1").arg(i, 6, 10, QChar('0')), QString("Planta %1").arg(i), true,
                          note ? note(i) : QByteArray()});
    }
    return plants;
}

/// The grid as the list panel shows it: 185 pixels wide.
bool ShowGrid(DBGrid& grid, int height)
{
    grid.resize(185, height);
    grid.show();
    return QTest::qWaitForWindowExposed(&grid);
}

QStringList Column(const DBGrid& grid, int column)
{
    QStringList texts;
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        texts << grid.model()->index(row, column).data().toString();
    return texts;
}

void BindNames(DBGrid& grid, DataSource& source)
{
    grid.Columns(0).SetFieldName("cz");
    grid.Columns(0).SetTitle("Česky");
    grid.Columns(1).SetFieldName("LAT");
    grid.Columns(1).SetTitle("Latinsky");
    grid.SetDataSource(&source);
}

} // namespace

class TestControls final : public QObject {
    Q_OBJECT

private slots:
    void gridListsVisibleRecordsInOrder_data();
    void gridListsVisibleRecordsInOrder();
    void gridColumnsSwapFieldsAndTitles();
    void gridHighlightMovesCursor_data();
    void gridHighlightMovesCursor();
    void gridFollowsCursorMoves();
    void gridReportsFailingMove();
    void gridEmptiesWhenNothingVisible();
    void gridFollowsLargeDatasetThroughSortsAndJumps();
    void checkBoxRaisesClickOnlyOnStateChange();
    void checkBoxIgnoresUser();
    void textAndMemoShowCurrentRecord();
    void hiddenMemoCatchesUpWhenShown();
    void bindingsSurviveEitherSideGoingFirst();
    void richEditFindsShownText_data();
    void richEditFindsShownText();
    void richEditBuildsDocumentOnlyWhenSeen();
    void richEditScanOverHiddenView();
};

void TestControls::gridListsVisibleRecordsInOrder_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("czech order") << "cz" << ""
                                 << QStringList{"Aksamitník", "Bez černý", "Čekanka", "Divizna", "Sedmikráska"};
    QTest::newRow("latin order") << "lat" << ""
                                 << QStringList{"Sedmikráska", "Čekanka", "Bez černý", "Aksamitník", "Divizna"};
    QTest::newRow("filtered") << "cz" << "S1=true" << QStringList{"Aksamitník", "Divizna", "Sedmikráska"};
}

void TestControls::gridListsVisibleRecordsInOrder()
{
    QFETCH(QString, index);
    QFETCH(QString, filter);
    QFETCH(QStringList, names);

    Catalogue catalogue;
    DBGrid grid;
    BindNames(grid, catalogue.source);
    QCOMPARE(Column(grid, 0).size(), 5);

    // The grid must follow changes made after it was bound.
    catalogue.dataSet.SetIndexFieldNames(index);
    if (!filter.isEmpty()) {
        catalogue.dataSet.SetFilter(filter);
        catalogue.dataSet.SetFiltered(true);
    }
    QCOMPARE(Column(grid, 0), names);
    QCOMPARE(grid.currentIndex().row(), catalogue.dataSet.RecNo());
}

void TestControls::gridColumnsSwapFieldsAndTitles()
{
    Catalogue catalogue;
    DBGrid grid;
    BindNames(grid, catalogue.source);

    grid.Columns(0).SetFieldName("lat");
    grid.Columns(0).SetTitle("Latinsky");
    grid.Columns(1).SetFieldName("cz");
    grid.Columns(1).SetTitle("Česky");
    catalogue.dataSet.SetIndexFieldNames("lat");

    QCOMPARE(Column(grid, 0).first(), QString("Bellis perennis"));
    QCOMPARE(Column(grid, 1).first(), QString("Sedmikráska"));
    QCOMPARE(grid.model()->headerData(0, Qt::Horizontal).toString(), QString("Latinsky"));
    // A re-sorted list keeps its column widths.
    QCOMPARE(grid.columnWidth(0), 300);
}

void TestControls::gridHighlightMovesCursor_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key"); // 0: click the target row
    QTest::addColumn<int>("target");

    QTest::newRow("click") << 0 << 0 << 3;
    QTest::newRow("down") << 1 << int(Qt::Key_Down) << 2;
    QTest::newRow("up") << 3 << int(Qt::Key_Up) << 2;
    QTest::newRow("end") << 1 << int(Qt::Key_End) << 4;
    QTest::newRow("home") << 3 << int(Qt::Key_Home) << 0;
    QTest::newRow("page down") << 0 << int(Qt::Key_PageDown) << 4;
}

void TestControls::gridHighlightMovesCursor()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, target);

    Catalogue catalogue;
    DBGrid grid;
    BindNames(grid, catalogue.source);
    QVERIFY(ShowGrid(grid, 400));
    catalogue.dataSet.MoveTo(start);
    QCOMPARE(grid.currentIndex().row(), start);
    catalogue.scrolls = 0;

    if (key == 0) {
        const QRect cell = grid.visualRect(grid.model()->index(target, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    } else {
        QTest::keyClick(&grid, Qt::Key(key));
    }
    QCOMPARE(catalogue.dataSet.RecNo(), target);
    QCOMPARE(grid.currentIndex().row(), target);
    QCOMPARE(catalogue.scrolls, 1);
    QCOMPARE(grid.selectionModel()->selectedRows().size(), 1);

    // Clicking the row that is already current moves nothing.
    const QRect same = grid.visualRect(grid.model()->index(target, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, same.center());
    QCOMPARE(catalogue.scrolls, 1);
}

void TestControls::gridFollowsCursorMoves()
{
    Catalogue catalogue(NumberedPlants(200));
    DBGrid grid;
    BindNames(grid, catalogue.source);
    QVERIFY(ShowGrid(grid, 200));
    catalogue.scrolls = 0;

    QVERIFY(catalogue.dataSet.Locate("cz", "rostlina 000150", ClientDataSet::LocateOption::CaseInsensitive |
                                                               ClientDataSet::LocateOption::PartialKey));
    QCOMPARE(grid.currentIndex().row(), 150);
    QCoreApplication::processEvents(); // the view scrolls once the move is over
    QVERIFY(grid.viewport()->rect().intersects(grid.visualRect(grid.currentIndex())));
    // Following the cursor must not move it again.
    QCOMPARE(catalogue.scrolls, 1);

    // A sideways scroll stays where the user put it while the cursor moves.
    QApplication::processEvents();
    grid.horizontalScrollBar()->setValue(200);
    QCOMPARE(grid.horizontalScrollBar()->value(), 200);
    catalogue.dataSet.First();
    QCOMPARE(grid.currentIndex().row(), 0);
    QCOMPARE(grid.horizontalScrollBar()->value(), 200);
    QCOMPARE(catalogue.scrolls, 2);
}

void TestControls::gridReportsFailingMove()
{
    Catalogue catalogue;
    DBGrid grid;
    BindNames(grid, catalogue.source);
    QVERIFY(ShowGrid(grid, 200));
    dialogs::Script script;
    catalogue.dataSet.AfterScroll = [] { throw Error("Rodina nenalezena"); };

    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(script.Texts(), QStringList{"Rodina nenalezena."});
    QCOMPARE(catalogue.dataSet.RecNo(), 1);
    QCOMPARE(grid.currentIndex().row(), 1);
}

void TestControls::gridEmptiesWhenNothingVisible()
{
    Catalogue catalogue;
    DBGrid grid;
    BindNames(grid, catalogue.source);
    catalogue.dataSet.SetFilter("ID>100");
    catalogue.dataSet.SetFiltered(true);
    QCOMPARE(grid.model()->rowCount(), 0);
    QVERIFY(grid.selectionModel()->selectedRows().isEmpty());

    catalogue.dataSet.SetFiltered(false);
    QCOMPARE(grid.model()->rowCount(), 5);
    QCOMPARE(grid.currentIndex().row(), 0);

    catalogue.dataSet.Close();
    QCOMPARE(grid.model()->rowCount(), 0);
}

void TestControls::gridFollowsLargeDatasetThroughSortsAndJumps()
{
    constexpr int count = 100'000;
    Catalogue catalogue(NumberedPlants(count));
    DBGrid grid;
    BindNames(grid, catalogue.source);
    QVERIFY(ShowGrid(grid, 600));

    catalogue.dataSet.SetIndexFieldNames("lat");
    catalogue.dataSet.SetIndexFieldNames("cz");
    catalogue.dataSet.MoveTo(count - 1);
    grid.repaint();
    catalogue.dataSet.First();
    grid.repaint();
    QCOMPARE(grid.model()->rowCount(), count);
    QCOMPARE(grid.currentIndex().row(), 0);
}

void TestControls::checkBoxRaisesClickOnlyOnStateChange()
{
    Catalogue catalogue; // cz order: Aksamitník T, Bez F, Čekanka null, Divizna T, Sedmikráska T
    DBCheckBox box("Pole");
    QList<Qt::CheckState> raised;
    box.OnClick = [&](DBCheckBox* sender) { raised << sender->State(); };
    box.SetDataField("S1");
    box.SetDataSource(&catalogue.source);
    QCOMPARE(raised, (QList<Qt::CheckState>{Qt::Checked}));

    for (int row = 1; row < 5; ++row)
        catalogue.dataSet.MoveTo(row);
    QCOMPARE(raised, (QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::PartiallyChecked, Qt::Checked}));

    // No visible record is the third state too.
    catalogue.dataSet.SetFilter("ID=99");
    catalogue.dataSet.SetFiltered(true);
    QCOMPARE(raised.last(), Qt::PartiallyChecked);
    catalogue.dataSet.SetFiltered(false);

    // Re-sorting and re-locating the same record redisplays it without a change.
    raised.clear();
    catalogue.dataSet.SetIndexFieldNames("lat");
    QVERIFY(catalogue.dataSet.Locate("ID", "5"));
    QVERIFY(raised.isEmpty());
}

void TestControls::checkBoxIgnoresUser()
{
    Catalogue catalogue;
    DBCheckBox box("Pole");
    int raised = 0;
    box.OnClick = [&](DBCheckBox*) { ++raised; };
    box.SetDataField("S1");
    box.SetDataSource(&catalogue.source);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    raised = 0;

    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(8, box.height() / 2));
    QTest::keyClick(&box, Qt::Key_Space);
    box.click();
    QCOMPARE(box.State(), Qt::Checked);
    QCOMPARE(raised, 0);
    QCOMPARE(box.focusPolicy(), Qt::NoFocus);
}

void TestControls::hiddenMemoCatchesUpWhenShown()
{
    Catalogue catalogue({{7, "Čekanka", "Cichorium", true, QByteArray("star\xE1")}, {8, "Pampeliška", "Taraxacum", true, QByteArray("nov\xE1")}});
    DBMemo note;
    note.SetDataField("Note");
    note.SetDataSource(&catalogue.source);
    note.show();
    QCOMPARE(note.toPlainText(), QString("stará"));
    note.hide();
    catalogue.dataSet.MoveTo(1);
    note.show();
    QCOMPARE(note.toPlainText(), QString("nová"));
}

void TestControls::textAndMemoShowCurrentRecord()
{
    Catalogue catalogue({{7, "Čekanka", "Cichorium", true, QByteArray("\xC8" "ekankovit\xE9 \x9A" "tol")},
                         {8, "Pampeliška", "Taraxacum", true}});
    DBText id;
    id.SetDataField("id");
    id.SetDataSource(&catalogue.source);
    DBMemo note;
    note.SetDataField("Note");
    note.SetDataSource(&catalogue.source);
    note.show();

    QCOMPARE(id.text(), QString("7"));
    QCOMPARE(note.toPlainText(), QString("Čekankovité štol"));
    catalogue.dataSet.MoveTo(1);
    QCOMPARE(id.text(), QString("8"));
    QCOMPARE(note.toPlainText(), QString());
    QVERIFY(note.isReadOnly());

    catalogue.dataSet.SetFilter("ID=0");
    catalogue.dataSet.SetFiltered(true);
    QCOMPARE(id.text(), QString());
}

void TestControls::bindingsSurviveEitherSideGoingFirst()
{
    Catalogue catalogue;
    {
        auto box = std::make_unique<DBCheckBox>();
        box->SetDataField("S1");
        {
            DataSource shortLived(&catalogue.dataSet);
            box->SetDataSource(&shortLived);
        }
        QCOMPARE(box->DataSource(), nullptr);
        catalogue.dataSet.MoveTo(1); // no observer left behind
    }
    {
        auto text = std::make_unique<DBText>();
        text->SetDataField("CZ");
        text->SetDataSource(&catalogue.source);
        text.reset();
        catalogue.dataSet.MoveTo(2); // the source no longer tells the destroyed label
    }
    // A control that unbinds another while being told must not upset the fan-out.
    DBText first;
    auto second = std::make_unique<DBText>();
    first.SetDataField("CZ");
    second->SetDataField("CZ");
    DBCheckBox trigger;
    trigger.SetDataField("S1");
    trigger.SetDataSource(&catalogue.source);
    first.SetDataSource(&catalogue.source);
    second->SetDataSource(&catalogue.source);
    trigger.OnClick = [&](DBCheckBox*) { second.reset(); };
    catalogue.dataSet.MoveTo(0);
    catalogue.dataSet.MoveTo(1);
    QCOMPARE(first.text(), QString("Bez černý"));
}

void TestControls::richEditFindsShownText_data()
{
    QTest::addColumn<QByteArray>("article");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("found");

    const QByteArray rtf = kChicoryArticle;
    QTest::newRow("capital Č by small č") << rtf << "čekanka" << true;
    QTest::newRow("small á by capital Á") << rtf << "OBECNÁ" << true;
    QTest::newRow("across a bold group") << rtf << "má modré květy" << true;
    QTest::newRow("across paragraphs") << rtf << "květy.\nroste" << true;
    QTest::newRow("control word") << rtf << "fs24" << false;
    QTest::newRow("escape code") << rtf << "e1" << false;
    QTest::newRow("plain text value") << QByteArray("Kv\xECty \x9Elut\xE9") << "ŽLUTÉ" << true;
    QTest::newRow("empty value") << QByteArray() << "a" << false;
}

void TestControls::richEditFindsShownText()
{
    QFETCH(QByteArray, article);
    QFETCH(QString, search);
    QFETCH(bool, found);

    Catalogue catalogue({{1, "Čekanka", "Cichorium", true, article}});
    DBRichEdit view;
    view.SetDataField("note");
    view.SetDataSource(&catalogue.source);

    QCOMPARE(view.Value(), article.isNull() ? QByteArray() : article);
    QCOMPARE(view.ValueShowsText(catalogue.dataSet.FieldByName("NOTE"), search), found);
    // The search runs over exactly what the view shows.
    QCOMPARE(view.Document()->toPlainText().contains(search, Qt::CaseInsensitive), found);
}

void TestControls::richEditBuildsDocumentOnlyWhenSeen()
{
    Catalogue catalogue({{1, "Bez", "Sambucus", true, QByteArray("{\\rtf1 Bez \\b kvete\\b0 .}")},
                         {2, "Čekanka", "Cichorium", true, kChicoryArticle}});
    DBRichEdit view;
    view.SetDataField("NOTE");
    view.SetDataSource(&catalogue.source);
    QVERIFY(view.document()->isEmpty());

    catalogue.dataSet.MoveTo(1);
    QVERIFY(view.document()->isEmpty());
    QVERIFY(view.Document()->toPlainText().startsWith("Čekanka"));

    catalogue.dataSet.MoveTo(0);
    QVERIFY(view.document()->toPlainText().startsWith("Čekanka"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.document()->toPlainText(), QString("Bez kvete."));

    // Once seen, each move rebuilds at once.
    catalogue.dataSet.MoveTo(1);
    QVERIFY(view.document()->toPlainText().startsWith("Čekanka"));
    QTextCursor insideBold(view.document());
    insideBold.setPosition(20);
    QCOMPARE(insideBold.charFormat().fontWeight(), int(QFont::Bold));
}

void TestControls::richEditScanOverHiddenView()
{
    constexpr int count = 1'000;
    QByteArray body;
    for (int i = 0; i < 40; ++i)
        body += "Lorem ipsum dolor sit amet, {\\b consectetur} adipiscing elit\\'e1.\\par ";
    Catalogue catalogue(NumberedPlants(count, [&](int i) {
        const QByteArray mark = i % 100 == 0 ? "hled\\'e1n\\'fd " : "";
        return "{\\rtf1\\ansi\\ansicpg1250 " + mark + body + "}";
    }));
    DBGrid grid;
    BindNames(grid, catalogue.source);
    DBRichEdit view;
    view.SetDataField("NOTE");
    view.SetDataSource(&catalogue.source);

    int found = 0;
    for (catalogue.dataSet.First(); !catalogue.dataSet.Eof(); catalogue.dataSet.Next())
        found += view.ValueShowsText(catalogue.dataSet.FieldByName("NOTE"), "HLEDÁNÝ");
    QCOMPARE(found, count / 100);
    QVERIFY2(view.document()->isEmpty(), "a hidden view must not build documents");
}

QTEST_MAIN(TestControls)
#include "test_controls.moc"
