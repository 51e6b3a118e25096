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
#include <array>
#include <cstdio>
#include <ctime>

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

/// Monotonic clock in nanoseconds, the same in every process of the machine.
qint64 Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

/// Shows the window and waits until it (or the first of its widgets) has been painted.
void ShowAndWaitForPaint(QWidget* window)
{
    // Widgets fully covered by opaque children get no paint event: watch the whole window.
    struct PaintWatch : QObject {
        QWidget* window = nullptr;
        bool painted = false;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && watched->isWidgetType() &&
                static_cast<QWidget*>(watched)->window() == window)
                painted = true;
            return false;
        }
    } watch;
    watch.window = window;
    qApp->installEventFilter(&watch);
    window->show();
    if (!QTest::qWaitFor([&] { return watch.painted; }, 60000))
        qWarning("the window was not painted");
    qApp->removeEventFilter(&watch);
}

/// Child mode: start as the program does (or a bare window), print the phases in nanoseconds from the
/// parent's spawn, and leave at once.
int StartChild(int argc, char** argv, const QByteArray& mode)
{
    const bool bare = mode == "--bare-window";
    const qint64 spawned = qEnvironmentVariable("ORVELA_BENCH_SPAWNED").toLongLong();
    const qint64 entered = Now();
    QApplication application(argc, argv);
    const qint64 applied = Now();
    if (mode == "--load-child") { // the catalogue load alone, in a process as fresh as the program's
        ClientDataSet families(QStringLiteral("DataFam"));
        ClientDataSet species(QStringLiteral("DataOrvela"));
        families.LoadFromFile(QStringLiteral("Familia.xml"));
        species.SetIndexFieldNames(QStringLiteral("cz"));
        species.LoadFromFile(QStringLiteral("Orvela.xml"));
        std::printf("%lld %lld %lld 0\n", entered - spawned, applied - entered, Now() - applied);
        std::fflush(stdout);
        std::_Exit(0);
    }
    std::unique_ptr<QWidget> window;
    if (bare) {
        window = std::make_unique<QWidget>();
        window->setWindowState(Qt::WindowMaximized);
    } else {
        CreateForms();
    }
    const qint64 created = Now();
    ShowAndWaitForPaint(bare ? window.get() : Form1);
    const qint64 painted = Now();
    std::printf("%lld %lld %lld %lld\n", entered - spawned, applied - entered, created - applied, painted - created);
    std::fflush(stdout);
    std::_Exit(0);
}

/// Phases of one start, in milliseconds: process start, application, forms, first paint.
using Phases = std::array<double, 4>;

/// Starts this binary in a child mode; fails loudly rather than report the time of a failed start.
Phases StartOnce(const QString& self, const char* mode)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVELA_BENCH_SPAWNED"), QString::number(Now()));
    child.setProcessEnvironment(environment);
    child.start(self, {QString::fromLatin1(mode)});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "%s %s failed: %s\n", qPrintable(self), mode, qPrintable(child.errorString()));
        std::exit(1);
    }
    const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
    if (fields.size() != 4) {
        std::fprintf(stderr, "%s %s printed no phases\n", qPrintable(self), mode);
        std::exit(1);
    }
    Phases phases{};
    for (int i = 0; i < 4; ++i)
        phases[i] = fields[i].toLongLong() / 1e6;
    return phases;
}

double Total(const Phases& phases)
{
    return phases[0] + phases[1] + phases[2] + phases[3];
}

/// Start of the program side by side with the catalogue load alone and with a bare window started the
/// same way; the fastest of several runs each.
void StartUp()
{
    // Taken before the folder changes: argv[0] may be relative.
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    QTemporaryDir dir;
    const QString folder = MakeCatalogue(dir, 10000, 3072, true);
    QDir::setCurrent(folder);
    double familiesMs = 1e9;
    double speciesMs = 1e9;
    Phases program;
    Phases bare;
    Phases load;
    program.fill(1e9);
    bare.fill(1e9);
    load.fill(1e9);
    for (int run = 0; run < 7; ++run) {
        {
            ClientDataSet families(QStringLiteral("DataFam"));
            ClientDataSet species(QStringLiteral("DataOrvela"));
            QElapsedTimer timer;
            timer.start();
            families.LoadFromFile(QStringLiteral("Familia.xml"));
            familiesMs = std::min(familiesMs, timer.nsecsElapsed() / 1e6);
            species.SetIndexFieldNames(QStringLiteral("cz"));
            timer.restart();
            species.LoadFromFile(QStringLiteral("Orvela.xml"));
            speciesMs = std::min(speciesMs, timer.nsecsElapsed() / 1e6);
        }
        const Phases p = StartOnce(self, "--start-child");
        if (Total(p) < Total(program))
            program = p;
        const Phases b = StartOnce(self, "--bare-window");
        if (Total(b) < Total(bare))
            bare = b;
        const Phases l = StartOnce(self, "--load-child");
        if (l[2] < load[2])
            load = l;
    }
    const double loadMs = familiesMs + speciesMs;
    std::printf("StartUp/10000: LoadFromFile %.1f ms (species %.1f, families %.1f)\n", loadMs, speciesMs,
                familiesMs);
    for (const auto& [name, p] : {std::pair{"program", program}, std::pair{"bare window", bare}})
        std::printf("  %-12s %7.1f ms: process start %.1f, application %.1f, forms %.1f, first paint %.1f\n", name,
                    Total(p), p[0], p[1], p[2], p[3]);
    const double added = Total(program) - Total(bare);
    std::printf("  start-up minus bare window %.1f ms = %.2fx LoadFromFile; LoadFromFile in a fresh process "
                "%.1f ms (%.2fx)\n",
                added, added / loadMs, load[2], added / load[2]);
    std::fflush(stdout);
}

/// Start with a 16 MB article on the species shown first beside the same catalogue with a 3 KB one:
/// the article page is not in front at start, so the article's size should not count.
void StartUpHugeFirstArticle()
{
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    double startMs[2] = {1e9, 1e9};
    for (const int articleBytes : {3072, 16 << 20}) {
        QTemporaryDir dir;
        auto catalogue = catalogue::GenerateCatalogue(1000);
        catalogue::SpeciesRecord first = catalogue.species.front();
        first.id = static_cast<int>(catalogue.species.size()) + 1;
        first.cz = QStringLiteral("A"); // before every generated name
        QRandomGenerator random(catalogue::kDefaultGeneratorSeed);
        first.note = catalogue::GenerateArticle(random, first.cz, first.lat, articleBytes);
        catalogue.species.push_back(first);
        catalogue::WriteCatalogue(dir.path(), catalogue.families, catalogue.species);
        QDir::setCurrent(dir.path());
        for (int run = 0; run < 3; ++run)
            startMs[articleBytes > 3072] = std::min(startMs[articleBytes > 3072], Total(StartOnce(self, "--start-child")));
    }
    std::printf("StartUp/1001 first article: 3 KB %.1f ms, 16 MB %.1f ms (%.2fx)\n", startMs[0], startMs[1],
                startMs[1] / startMs[0]);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "--start-child" || mode == "--bare-window" || mode == "--load-child")
        return StartChild(argc, argv, mode);
    StartUp();
    StartUpHugeFirstArticle();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    ReleaseLargeCatalogue(); // the forms go before the application
    benchmark::Shutdown();
    return 0;
}
