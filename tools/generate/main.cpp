// generate_catalogue N FOLDER [SEED]: a synthetic catalogue of N species for benchmarks.
#include "platform/errors/Errors.h"
#include "tools/generate/CatalogueGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    bool countOk = false;
    bool seedOk = true;
    const int count = args.size() >= 3 ? args[1].toInt(&countOk) : 0;
    const quint32 seed = args.size() == 4 ? args[3].toUInt(&seedOk) : orvela::catalogue::kDefaultGeneratorSeed;
    if (args.size() < 3 || args.size() > 4 || !countOk || count < 0 || !seedOk) {
        err << "usage: generate_catalogue N FOLDER [SEED]\n";
        return 2;
    }
    try {
        if (!QDir().mkpath(args[2]))
            throw orvela::FileError(QStringLiteral("Cannot create folder %1").arg(args[2]));
        const auto catalogue = orvela::catalogue::GenerateCatalogue(count, seed);
        orvela::catalogue::WriteCatalogue(args[2], catalogue.families, catalogue.species);
    } catch (const orvela::Error& error) {
        err << "generate_catalogue: " << error.Message() << "\n";
        return 1;
    }
    return 0;
}
