// make_catalogue DATA_FOLDER OUTPUT_FOLDER: writes Familia.xml and Orvela.xml from the readable sources.
#include "platform/errors/Errors.h"
#include "tools/catalogue/CatalogueSources.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "usage: make_catalogue DATA_FOLDER OUTPUT_FOLDER\n";
        return 2;
    }
    try {
        const auto catalogue = orvela::catalogue::ReadCatalogueSources(args[1]);
        if (!QDir().mkpath(args[2]))
            throw orvela::FileError(QStringLiteral("Cannot create folder %1").arg(args[2]));
        orvela::catalogue::WriteCatalogue(args[2], catalogue.families, catalogue.species);
        QTextStream(stdout) << "make_catalogue: " << catalogue.species.size() << " species, "
                            << catalogue.families.size() << " families written to " << args[2] << "\n";
    } catch (const orvela::Error& error) {
        err << "make_catalogue: " << error.Message() << "\n";
        return 1;
    }
    return 0;
}
