#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>
#include <vector>

namespace orvela::test {

struct FamilyRow {
    int id;
    QString cz;
    QString latin;
    QString note;
};

struct SpeciesRow {
    int id;
    QString cz;
    QString lat;
    int family;
    QByteArray note;          // the article as stored (RTF)
    QStringList traits = {};  // Boolean fields that are true ("S1", "B2", "SK3", ...); the others false
    std::optional<bool> filtr = std::nullopt;
};

/// Writes Familia.xml and Orvela.xml as the program reads them.
void WriteFamilies(const QString& folder, const std::vector<FamilyRow>& families);
void WriteSpecies(const QString& folder, const std::vector<SpeciesRow>& species);

/// An article in the form a rich-text control writes: Czech letters as \'hh in windows-1250.
QByteArray Article(const QString& text);

/// A JPEG of the given size.
void WritePhoto(const QString& path, int width, int height);

/// A small catalogue: three families and six species.
std::vector<FamilyRow> SampleFamilies();
std::vector<SpeciesRow> SampleSpecies();

/// A temporary folder made current for the test's lifetime; the old directory comes back afterwards.
class CatalogueFolder final {
public:
    CatalogueFolder();
    ~CatalogueFolder();
    QString Path() const { return dir_.path(); }
    QString File(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

} // namespace orvela::test
