// Catalogue loading against a bare pugixml parse of the same file, and the list operations on a large
// catalogue. The packets are generated here, shaped like the species catalogue.

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataPacket.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <optional>

using namespace orvela;

namespace {

/// The species' Boolean fields: traits, groups and the search mark.
QStringList BooleanNames() {
    static const std::pair<const char *, std::pair<int, int>> ranges[] = {
        {"S", {0, 5}}, {"B", {0, 8}}, {"KL", {0, 3}}, {"DK", {1, 12}}, {"SK", {1, 12}}};
    QStringList names;
    for (const auto &[prefix, range] : ranges) {
        for (int i = range.first; i <= range.second; ++i)
            names << QString::fromLatin1(prefix) + QString::number(i);
    }
    return names << QStringLiteral("FILTR");
}

QString Name(QRandomGenerator &random) {
    static const char16_t *const syllables[] = {u"ch", u"rá", u"pa", u"če", u"ka", u"ži", u"ně", u"lo", u"Ř",
                                                u"vo", u"st", u"ří", u"dý", u"mu", u"šk", u"ty", u"bě", u"ň"};
    QString name;
    const int count = 2 + random.bounded(4);
    for (int i = 0; i < count; ++i)
        name += QString::fromUtf16(syllables[random.bounded(int(std::size(syllables)))]);
    name[0] = name[0].toUpper();
    return name + u' ' + QString::number(random.bounded(1000));
}

QByteArray Article(QRandomGenerator &random, int size) {
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    while (rtf.size() < size) {
        rtf += "Rostlina \\'e8asto roste na loukách ";
        rtf += QByteArray::number(random.generate());
        rtf += random.bounded(8) == 0 ? "\\par\n" : " ";
    }
    return rtf + "}";
}

QString WriteCatalogue(const QString &path, int species, int articleSize) {
    QRandomGenerator random(species);
    std::vector<PacketField> fields{{"ID", "i4", 0, {}},
                                    {"CZ", "string", 60, {}},
                                    {"LAT", "string", 60, {}},
                                    {"Family", "i4", 0, {}},
                                    {"NOTE", "bin.hex", 0, "Binary"}};
    const QStringList traits = BooleanNames();
    for (const QString &trait : traits)
        fields.push_back({trait, "boolean", 0, {}});
    DataPacketWriter writer(fields);
    writer.SetParam("LCID", "1029");
    for (int id = 1; id <= species; ++id) {
        writer.BeginRow();
        writer.SetInteger(0, id);
        writer.SetString(1, Name(random));
        writer.SetString(2, Name(random));
        writer.SetInteger(3, 1 + random.bounded(300));
        writer.SetBlob(4, Article(random, articleSize));
        for (int i = 0; i < traits.size(); ++i)
            writer.SetBoolean(5 + i, random.bounded(3) == 0);
        writer.EndRow();
    }
    writer.WriteToFile(path);
    return path;
}

struct Catalogues {
    QTemporaryDir dir;
    QString large = WriteCatalogue(dir.filePath("Orvela10k.xml"), 10'000, 3'000);
    QString many = WriteCatalogue(dir.filePath("Orvela100k.xml"), 100'000, 200);
};

Catalogues &Files() {
    static Catalogues catalogues;
    return catalogues;
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

/// Resident memory of the process, in bytes.
std::size_t Resident() {
    QFile status("/proc/self/statm");
    status.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toULongLong() * 4096 : 0;
}

/// While alive, memory that pugixml frees stays with the allocator, so that a reference parse is timed
/// without the first touch of fresh pages, which costs more than the parse on these machines.
struct KeptHeap {
    KeptHeap() { mallopt(M_TRIM_THRESHOLD, 1 << 30); }
    ~KeptHeap() { mallopt(M_TRIM_THRESHOLD, 128 * 1024); } // the allocator's default
};

void PugixmlReadAndParse(benchmark::State &state) {
    const QString path = Files().large;
    const qint64 size = QFile(path).size();
    std::vector<char> buffer(size + 1);
    std::memset(buffer.data(), ' ', buffer.size()); // zero pages from the system would stay untouched
    KeptHeap kept;
    const auto readAndParse = [&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        file.read(buffer.data(), size);
        pugi::xml_document document;
        benchmark::DoNotOptimize(document.load_buffer_inplace(buffer.data(), size));
    };
    readAndParse();
    for (auto _ : state)
        readAndParse();
    state.counters["file_MB"] = double(size) / 1e6;
}
/// The machine is shared: the fastest run says most about the code.
double Fastest(const std::vector<double> &runs) {
    return *std::min_element(runs.begin(), runs.end());
}

BENCHMARK(PugixmlReadAndParse)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest);

/// The catalogue of that many species: 10,000 species with 3 KB articles or 100,000 with short ones.
const QString &Catalogue(std::int64_t species) {
    return species == 100'000 ? Files().many : Files().large;
}

void PugixmlParseOnly(benchmark::State &state) {
    const QByteArray pristine = ReadAll(Catalogue(state.range(0)));
    QByteArray buffer = pristine;
    KeptHeap kept;
    const auto parse = [&] {
        pugi::xml_document document;
        benchmark::DoNotOptimize(document.load_buffer_inplace(buffer.data(), buffer.size()));
    };
    parse();
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(buffer.data(), pristine.constData(), pristine.size());
        state.ResumeTiming();
        parse();
    }
}
BENCHMARK(PugixmlParseOnly)
    ->ArgName("species")
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest);

/// The load beside the references above: `kept` true, with the allocator in the same state as theirs;
/// false, with its default state, where freed memory goes back to the system as it does at start-up.
void LoadFromFile(benchmark::State &state) {
    const QString path = Catalogue(state.range(1));
    std::size_t resident = 0;
    std::optional<KeptHeap> kept;
    if (state.range(0))
        kept.emplace();
    for (auto _ : state) {
        ClientDataSet dataSet("DataOrvela");
        dataSet.SetIndexFieldNames("cz");
        const std::size_t before = Resident();
        dataSet.LoadFromFile(path);
        resident = Resident() - before;
        benchmark::DoNotOptimize(dataSet.RecordCount());
    }
    state.counters["added_MB"] = double(resident) / 1e6;
    state.counters["added_per_file"] = double(resident) / double(QFile(path).size());
}
BENCHMARK(LoadFromFile)
    ->ArgNames({"kept", "species"})
    ->ArgsProduct({{1, 0}, {10'000, 100'000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest);

ClientDataSet &Many() {
    static ClientDataSet *dataSet = [] {
        auto *loaded = new ClientDataSet("DataOrvela");
        loaded->SetIndexFieldNames("cz");
        loaded->LoadFromFile(Files().many);
        return loaded;
    }();
    return *dataSet;
}


void Filtered100k(benchmark::State &state) {
    ClientDataSet &dataSet = Many();
    const char *const filters[] = {"SK3=true", "Family=12", "ID>0 and SK12=true",
                                   "SK1=true and S3=true and B2=true and DK5=true and KL3=true and SK10=true"};
    dataSet.SetFilter(QString::fromLatin1(filters[state.range(0)]));
    for (auto _ : state) {
        dataSet.SetFiltered(true);
        benchmark::DoNotOptimize(dataSet.RecordCount());
    }
    state.SetLabel(filters[state.range(0)]);
    dataSet.SetFiltered(false);
}
BENCHMARK(Filtered100k)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void LocatePartial100k(benchmark::State &state) {
    ClientDataSet &dataSet = Many();
    const QString value = state.range(0) ? QStringLiteral("žžž") : QStringLiteral("řít");
    const auto options = ClientDataSet::LocateOption::CaseInsensitive | ClientDataSet::LocateOption::PartialKey;
    for (auto _ : state)
        benchmark::DoNotOptimize(dataSet.Locate("cz", value, options));
    state.SetLabel(state.range(0) ? "no match: whole list" : "a match");
}
BENCHMARK(LocatePartial100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void LocateId100k(benchmark::State &state) {
    ClientDataSet &dataSet = Many();
    for (auto _ : state)
        benchmark::DoNotOptimize(dataSet.Locate("ID", "99999"));
}
BENCHMARK(LocateId100k)->Unit(benchmark::kMillisecond);

void IndexChange100k(benchmark::State &state) {
    ClientDataSet &dataSet = Many();
    dataSet.SetIndexFieldNames("lat"); // keys are made once per field
    bool czech = true;
    for (auto _ : state) {
        dataSet.SetIndexFieldNames(czech ? "cz" : "lat");
        czech = !czech;
    }
}
BENCHMARK(IndexChange100k)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
