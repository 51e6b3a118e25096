#pragma once

#include "tools/catalogue/CatalogueFormat.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace orvela::catalogue {

struct Catalogue {
    std::vector<FamilyRecord> families; // in source order
    std::vector<SpeciesRecord> species; // by ID
};

/// Families: blocks of "Key: value" lines (ID, cz, latin, Note) separated by blank lines; an indented
/// line continues the value above; lines starting with '#' are comments.
std::vector<FamilyRecord> ParseFamilies(const QByteArray& utf8, const QString& file);

/// One species: a header of "Key: value" lines (ID, CZ, LAT, Family, Traits, Months, Groups, optional
/// FILTR), a blank line, then the article in markup (see ArticleMarkup.h).
SpeciesRecord ParseSpecies(const QByteArray& utf8, const QString& file);

/// Reads <folder>/families.txt and every <folder>/plants/*.txt and checks them against each other
/// (unique IDs, known families). Any fault throws SourceError naming the file and line.
Catalogue ReadCatalogueSources(const QString& folder);

} // namespace orvela::catalogue
