// Drawing a 1600 x 1200 photo fitted into a window of about 800 x 600: the first draw (load and decode)
// and a repeated draw at the same size; decoding at each DCT scale for comparison; and what a photo whose
// data is followed by gigabytes of other bytes costs to draw.

#include "platform/jpeg/JpegImage.h"
#include "platform/jpeg/WriteJpeg.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

/// A 1600 x 1200 picture: smooth light, with fine grain for a photograph (grain 1) or without it for a
/// drawing like the sample photos (grain 0); the grain decides how much of the file is picture data.
QByteArray MakePhoto(bool grain, QSize size = QSize(1600, 1200), bool progressive = false)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = grain ? int(random.bounded(40)) - 20 : 0;
            line[x] = qRgb(qBound(0, x / 8 + noise, 255), qBound(0, 120 + y / 10 + noise, 255),
                qBound(0, ((x * y) >> 12) % 256 + noise, 255));
        }
    }
    orvela::JpegWriteOptions options;
    options.progressive = progressive;
    return orvela::EncodeJpeg(image, options);
}

const QByteArray& Photo(benchmark::State& state)
{
    static const QByteArray drawn = MakePhoto(false);
    static const QByteArray grainy = MakePhoto(true);
    return state.range(0) ? grainy : drawn;
}

// 1600 x 1200 fitted into a page of 792 x 595 comes out 792 x 594.
const QSize kFitted(792, 594);

void FirstDraw(benchmark::State& state)
{
    for (auto _ : state) {
        orvela::JpegImage picture;
        picture.LoadFromData(Photo(state));
        benchmark::DoNotOptimize(picture.Render(kFitted));
    }
    state.counters["file_kB"] = double(Photo(state).size()) / 1024;
}

void CachedDraw(benchmark::State& state)
{
    orvela::JpegImage picture;
    picture.LoadFromData(Photo(state));
    picture.Render(kFitted);
    for (auto _ : state)
        benchmark::DoNotOptimize(picture.Render(kFitted));
}

void LoadHeader(benchmark::State& state)
{
    for (auto _ : state) {
        orvela::JpegImage picture;
        picture.LoadFromData(Photo(state));
        benchmark::DoNotOptimize(picture.Width());
    }
}

/// Decoding at n/8 (the size that scale gives exactly, so no smooth scaling follows).
void DecodeAtScale(benchmark::State& state)
{
    const int scale = int(state.range(1));
    const QSize size((1600 * scale + 7) / 8, (1200 * scale + 7) / 8);
    for (auto _ : state) {
        orvela::JpegImage picture;
        picture.LoadFromData(Photo(state));
        benchmark::DoNotOptimize(picture.Render(size));
    }
}

/// What drawing would cost without DCT scaling: the whole picture decoded, then shrunk.
void FullDecodeThenShrink(benchmark::State& state)
{
    for (auto _ : state) {
        orvela::JpegImage picture;
        picture.LoadFromData(Photo(state));
        const QImage full = picture.Render(QSize(1600, 1200));
        benchmark::DoNotOptimize(full.scaled(kFitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
}

/// A camera-sized photograph fitted into a 600 x 400 area, against decoding all of it.
const QByteArray& LargePhoto()
{
    static const QByteArray large = MakePhoto(true, QSize(6000, 4000));
    return large;
}

void LargeFitted(benchmark::State& state)
{
    LargePhoto(); // made before the clock runs
    for (auto _ : state) {
        orvela::JpegImage picture;
        picture.LoadFromData(LargePhoto());
        benchmark::DoNotOptimize(picture.Render(QSize(600, 400)));
    }
}

void LargeFullDecode(benchmark::State& state)
{
    LargePhoto();
    for (auto _ : state) {
        orvela::JpegImage picture;
        picture.LoadFromData(LargePhoto());
        benchmark::DoNotOptimize(picture.Render(QSize(6000, 4000)));
    }
}

/// Bytes this process has read from files so far.
double BytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toDouble();
    }
    return 0;
}

/// The grainy photo without its end marker, followed by 3 GB of zero bytes (a sparse file: no disk used),
/// loaded and drawn fitted; read_MB is what each draw read.
void TailAfterData(benchmark::State& state)
{
    const QByteArray data = MakePhoto(true, QSize(1600, 1200), state.range(0) != 0).chopped(2);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("photo.jpg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.resize(data.size() + (3LL << 30))) {
        state.SkipWithError("cannot write the photo");
        return;
    }
    file.close();
    const double before = BytesRead();
    for (auto _ : state) {
        orvela::JpegImage picture;
        picture.LoadFromFile(path);
        benchmark::DoNotOptimize(picture.Render(kFitted));
    }
    state.counters["data_kB"] = double(data.size()) / 1024;
    state.counters["read_MB"] = benchmark::Counter((BytesRead() - before) / 1e6, benchmark::Counter::kAvgIterations);
}

} // namespace

BENCHMARK(TailAfterData)->ArgName("progressive")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeFitted)->Name("Large6000x4000/fitted600x400")->Unit(benchmark::kMillisecond);
BENCHMARK(LargeFullDecode)->Name("Large6000x4000/fullDecode")->Unit(benchmark::kMillisecond);
// The first argument: 0 a drawn picture, 1 a grainy photograph.
BENCHMARK(FirstDraw)->ArgName("grain")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(FullDecodeThenShrink)->ArgName("grain")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(CachedDraw)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadHeader)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(DecodeAtScale)
    ->ArgNames({"grain", "eighths"})
    ->ArgsProduct({{0, 1}, {1, 2, 4, 8}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
