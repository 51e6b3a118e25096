// Figures of the main window on generated catalogues: the article text search with the full selection
// change per species, the group filter over 100,000 species, and the start of the program.
#include "app/Program.h"
#include "browser/Unit1.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/jpeg/WriteJpeg.h"
#include "tools/generate/CatalogueGenerator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace orvela;

namespace {

/// A generated catalogue in its own folder, photos for every third species.
QString MakeCatalogue(QTemporaryDir& dir, int species, int articleBytes, bool photos)
{
    const auto catalogue = catalogue::GenerateCatalogue(species, catalogue::kDefaultGeneratorSeed, articleBytes);
    catalogue::WriteCatalogue(dir.path(), catalogue.families, catalogue.species);
    if (photos) {
        QDir(dir.path()).mkdir(QStringLiteral("Foto"));
        QImage image(32, 24, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        for (int id = 3; id <= species; id += 3)
            WriteJpeg(image, dir.filePath(QStringLiteral("Foto/O%1_0.jpg").arg(id)));
    }
    return dir.path();
}

/// The program's forms opened on a catalogue folder; torn down without writing back.
struct OpenProgram {
    explicit OpenProgram(const QString& folder)
    {
        QDir::setCurrent(folder);
        CreateForms();
        Form1->show();
        if (!QTest::qWaitForWindowExposed(Form1))
            qWarning("the main window was not shown");
        Form1->DataOrvela->SetFileName(QString()); // the benchmark's marks are not written back
    }
    ~OpenProgram() { DestroyForms(); }
};

void ReleaseLargeCatalogue();

void ArticleSearch(benchmark::State& state)
{
    ReleaseLargeCatalogue();
    QTemporaryDir dir;
    OpenProgram program(MakeCatalogue(dir, 10000, 3072, true));
    dialogs::Script script;
    Form1->Edit1->setText(QStringLiteral("kořen"));
    if (state.max_iterations > 1)
        SearchArticleText(); // the repeated figure: every article has been read once before
    for (auto _ : state)
        SearchArticleText();
    state.counters["found"] = Form1->DataOrvela->RecordCount();
}


/// The species view on 100,000 species: one keystroke of the name jump, an order switch, one row down.
struct LargeCatalogue {
    QTemporaryDir dir;
    OpenProgram program{MakeCatalogue(dir, 100000, 64, false)};

    static std::unique_ptr<LargeCatalogue>& Instance()
    {
        static std::unique_ptr<LargeCatalogue> catalogue;
        return catalogue;
    }
    static void Get()
    {
        if (!Instance())
            Instance() = std::make_unique<LargeCatalogue>();
    }
};

void ReleaseLargeCatalogue()
{
    LargeCatalogue::Instance().reset(); // one program at a time
}

void NameJump(benchmark::State& state)
{
    LargeCatalogue::Get();
    const QStringList prefixes{QStringLiteral("k"), QStringLiteral("ko"), QStringLiteral("p"), QStringLiteral("ch"),
                               QStringLiteral("ž")};
    int i = 0;
    for (auto _ : state)
        Form1->Edit3->setText(prefixes[i++ % prefixes.size()]);
}

void OrderSwitch(benchmark::State& state)
{
    LargeCatalogue::Get();
    for (auto _ : state)
        Form1->ToolButton1Click();
}

void GridRowDown(benchmark::State& state)
{
    LargeCatalogue::Get();
    Form1->DataOrvela->First();
    Form1->DBGrid1->setFocus();
    for (auto _ : state)
        QTest::keyClick(Form1->DBGrid1, Qt::Key_Down);
}

/// The photo list of a species with 20 photos in a folder of 20,000 files.
void RebuildPhotos(benchmark::State& state)
{
    ReleaseLargeCatalogue();
    QTemporaryDir dir;
    const QString folder = MakeCatalogue(dir, 10, 64, false);
    QDir(folder).mkdir(QStringLiteral("Foto"));
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    WriteJpeg(image, dir.filePath(QStringLiteral("Foto/O1_0.jpg")));
    const QByteArray bytes = [&] {
        QFile file(dir.filePath(QStringLiteral("Foto/O1_0.jpg")));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    for (int i = 0; i < 20000; ++i) {
        const int id = i < 20 ? 1 : 1000 + i / 20;
        QFile file(dir.filePath(QStringLiteral("Foto/O%1_%2.jpg").arg(id).arg(i % 20)));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    OpenProgram program(folder);
    Form1->DataOrvela->Locate(QStringLiteral("ID"), QStringLiteral("1"));
    for (auto _ : state)
        Form1->RebuildPhotoList();
    state.counters["photos"] = Form1->PhotoList.Count;
}

void GroupFilter(benchmark::State& state)
{
    LargeCatalogue::Get();
    dialogs::Script script;
    int group = 1;
    for (auto _ : state) {
        Form1->ComboBox1Change(group);
        group = group % 12 + 1;
    }
}

BENCHMARK(NameJump)->Name("NameJump/100000")->Unit(benchmark::kMillisecond);
BENCHMARK(OrderSwitch)->Name("OrderSwitch/100000")->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(GridRowDown)->Name("GridRowDown/100000")->Unit(benchmark::kMillisecond);
BENCHMARK(RebuildPhotos)->Name("RebuildPhotoList/20of20000")->Unit(benchmark::kMillisecond);
BENCHMARK(ArticleSearch)->Name("ArticleSearch/10000/first")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ArticleSearch)->Name("ArticleSearch/10000/repeated")->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(GroupFilter)->Name("GroupFilter/100000")->Iterations(24)->Unit(benchmark::kMillisecond);

/// Child mode: start the forms on the catalogue in the current folder, print the time to the window
/// shown, and leave at once.
int StartChild(int argc, char** argv)
{
    QElapsedTimer timer;
    timer.start();
    QApplication application(argc, argv);
    CreateForms();
    Form1->show();
    if (!QTest::qWaitForWindowExposed(Form1))
        qWarning("the main window was not shown");
    std::printf("%lld\n", static_cast<long long>(timer.nsecsElapsed()));
    std::fflush(stdout);
    std::_Exit(0);
}

/// Start of the program side by side with the catalogue load alone.
void StartUp(const char* self)
{
    QTemporaryDir dir;
    const QString folder = MakeCatalogue(dir, 10000, 3072, true);
    QDir::setCurrent(folder);
    double loadMs = 1e9;
    double startMs = 1e9;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        {
            ClientDataSet families(QStringLiteral("DataFam"));
            ClientDataSet species(QStringLiteral("DataOrvela"));
            families.LoadFromFile(QStringLiteral("Familia.xml"));
            species.SetIndexFieldNames(QStringLiteral("cz"));
            species.LoadFromFile(QStringLiteral("Orvela.xml"));
            loadMs = std::min(loadMs, timer.nsecsElapsed() / 1e6);
        }
        QProcess child;
        timer.restart();
        child.start(QString::fromLocal8Bit(self), {QStringLiteral("--start-child")});
        child.waitForFinished(60000);
        startMs = std::min(startMs, timer.nsecsElapsed() / 1e6);
    }
    std::printf("StartUp/10000: catalogue load %.1f ms, process start to window shown %.1f ms (%.2fx)\n", loadMs,
                startMs, startMs / loadMs);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && QByteArray(argv[1]) == "--start-child")
        return StartChild(argc, argv);
    StartUp(argv[0]);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    ReleaseLargeCatalogue(); // the forms go before the application
    benchmark::Shutdown();
    return 0;
}
