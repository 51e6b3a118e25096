// The article text search as the user starts it, Enter in the search field up to the result box, on
// generated catalogues with 3 KB articles, without photos and with two camera-size photos for every
// third species: the first search after the catalogue opens, and the search repeated.
//
//   bench_search [species ...]     (default: 10000 100000; offscreen unless QT_QPA_PLATFORM says otherwise)
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
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace orvela;

namespace {

constexpr int kRepeats = 5;

/// A 3000 × 2000 photo that compresses like a real one (about 1 MB).
void WriteCameraPhoto(const QString& path)
{
    QImage image(3000, 2000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(10));
            line[x] = qRgb((x / 12 + noise) & 0xff, (y / 9 + 2 * noise) & 0xff, ((x + y) / 20 + noise) & 0xff);
        }
    }
    WriteJpeg(image, path);
}

/// Photos O<id>_0.jpg and O<id>_1.jpg for every third species, links to a few copies of one file (a file
/// takes at most 65,000 links).
void LinkPhotos(const QString& folder, int species)
{
    const QString photo = folder + QStringLiteral("/camera.jpg");
    WriteCameraPhoto(photo);
    QDir(folder).mkdir(QStringLiteral("Foto"));
    for (int id = 3; id <= species; id += 3) {
        if (id % 60000 == 0)
            QFile::copy(photo, folder + QStringLiteral("/camera%1.jpg").arg(id));
        const QString source = id < 60000 ? photo : folder + QStringLiteral("/camera%1.jpg").arg(id / 60000 * 60000);
        for (int n = 0; n < 2; ++n) {
            const QString link = folder + QStringLiteral("/Foto/O%1_%2.jpg").arg(id).arg(n);
            if (::link(QFile::encodeName(source).constData(), QFile::encodeName(link).constData()) != 0)
                qFatal("cannot link %s", qPrintable(link));
        }
    }
    std::printf("  photos: %d of %lld bytes\n", 2 * (species / 3), static_cast<long long>(QFileInfo(photo).size()));
}

double Milliseconds(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

/// Presses Enter in the search field; the time until the result box is up.
double TimedSearch(dialogs::Script& script)
{
    QElapsedTimer timer;
    double untilBox = 0;
    script.whileShown = [&](const dialogs::Script::Shown&) { untilBox = Milliseconds(timer); };
    timer.start();
    QTest::keyClick(Form1->Edit1, Qt::Key_Return);
    QCoreApplication::processEvents(); // what the search left for the event loop, outside the figure
    return untilBox;
}

/// Resident memory of the process, in MB.
double ResidentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

struct Figures {
    std::vector<double> first;
    std::vector<double> repeated;
    int found = 0;
    double loadedMb = 0;   // resident after the catalogue opened
    double searchedMb = 0; // and after the searches
};

/// Opens the program on the folder `opens` times; each time one first search and a few repeated ones.
Figures Measure(const QString& folder, int opens)
{
    Figures figures;
    QDir::setCurrent(folder);
    for (int open = 0; open < opens; ++open) {
        CreateForms();
        Form1->show();
        if (!QTest::qWaitForWindowExposed(Form1))
            qWarning("the main window was not shown");
        Form1->DataOrvela->SetFileName(QString()); // the marks are not written back
        figures.loadedMb = ResidentMb();
        dialogs::Script script;
        Form1->Edit1->setText(QStringLiteral("kořen"));
        figures.first.push_back(TimedSearch(script));
        for (int i = 0; i < kRepeats; ++i)
            figures.repeated.push_back(TimedSearch(script));
        figures.found = Form1->DataOrvela->RecordCount();
        figures.searchedMb = ResidentMb();
        DestroyForms();
    }
    return figures;
}

QByteArray MinMedian(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return QStringLiteral("%1 / %2 ms").arg(values.front(), 0, 'f', 0).arg(values[values.size() / 2], 0, 'f', 0).toUtf8();
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // QT_QPA_PLATFORM=xcb: in a real window
    QApplication application(argc, argv);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(QByteArray(argv[i]).toInt());
    if (sizes.empty())
        sizes = {10000, 100000};

    std::printf("article search, Enter to the result box, min / median\n");
    for (const int species : sizes) {
        QTemporaryDir dir;
        const auto catalogue = catalogue::GenerateCatalogue(species, catalogue::kDefaultGeneratorSeed, 3072);
        catalogue::WriteCatalogue(dir.path(), catalogue.families, catalogue.species);
        const int opens = species <= 10000 ? 3 : 1;
        for (const bool photos : {false, true}) {
            if (photos)
                LinkPhotos(dir.path(), species);
            const Figures figures = Measure(dir.path(), opens);
            std::printf("ArticleSearch/%d/%s: first %s, repeated %s (%d found); resident %.0f MB opened, %.0f MB "
                        "after the searches, catalogue file %.0f MB\n",
                        species, photos ? "photos" : "no-photos", MinMedian(figures.first).constData(),
                        MinMedian(figures.repeated).constData(), figures.found, figures.loadedMb, figures.searchedMb,
                        QFileInfo(dir.filePath(QStringLiteral("Orvela.xml"))).size() / 1048576.0);
            std::fflush(stdout);
        }
        QDir::setCurrent(QDir::tempPath());
    }
    return 0;
}
