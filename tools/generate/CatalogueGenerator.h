#pragma once

#include "tools/catalogue/CatalogueFormat.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <vector>

namespace orvela::catalogue {

inline constexpr quint32 kDefaultGeneratorSeed = 1029;

struct GeneratedCatalogue {
    std::vector<FamilyRecord> families;
    std::vector<SpeciesRecord> species; // IDs 1..N
};

/// A synthetic catalogue for benchmarks: Czech-looking names with diacritics, random traits and
/// groups, RTF articles of about articleBytes each. The same seed gives the same catalogue.
GeneratedCatalogue GenerateCatalogue(int speciesCount, quint32 seed = kDefaultGeneratorSeed,
                                     int articleBytes = 3072);

/// One article: a title, the Latin name in italics, paragraphs and a bulleted list.
QByteArray GenerateArticle(QRandomGenerator& random, const QString& czech, const QString& latin, int articleBytes);

} // namespace orvela::catalogue
