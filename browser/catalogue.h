#pragma once

#include <QString>
#include <memory>

namespace orvela {

class ClientDataSet;

/// Field names of a species record (PlantRecord). The dataset matches names in any case.
namespace PlantRecord {
inline constexpr const char* ID = "ID";
inline constexpr const char* CZ = "CZ";
inline constexpr const char* LAT = "LAT";
inline constexpr const char* Family = "Family";
inline constexpr const char* NOTE = "NOTE";
inline constexpr const char* FILTR = "FILTR";
/// Trait and group fields: a prefix and a number ("S" 0..5, "B" 0..8, "KL" 0..3, "DK" 1..12, "SK" 1..12).
QString Trait(const char* prefix, int number);
} // namespace PlantRecord

/// Field names of a family record (FamilyRecord).
namespace FamilyRecord {
inline constexpr const char* ID = "ID";
inline constexpr const char* cz = "cz";
inline constexpr const char* latin = "latin";
inline constexpr const char* Note = "Note";
} // namespace FamilyRecord

/// The catalogue files, by their bare names: they are read from the current directory.
inline constexpr const char* kSpeciesFileName = "Orvela.xml";
inline constexpr const char* kFamilyFileName = "Familia.xml";

/// Index names of the two list orders.
inline constexpr const char* kCzechIndex = "cz";
inline constexpr const char* kLatinIndex = "lat";

/// The species dataset as the main window owns it: FileName "Orvela.xml", ordered by "cz", read-only.
std::unique_ptr<ClientDataSet> CreateSpeciesDataSet();
/// The family dataset: no file name (never written back), ordered by "cz", read-only.
std::unique_ptr<ClientDataSet> CreateFamilyDataSet();

/// The current species' ID as text: remembered before a filter or order change.
QString CurrentId(const ClientDataSet& species);
/// Returns to the remembered species; when it is no longer listed the cursor stays where it is.
void ReturnTo(ClientDataSet& species, const QString& id);
/// Switches the filter off, sets the new text and switches it on again.
void ApplyFilter(ClientDataSet& dataSet, const QString& filterText);

/// Filter texts the program builds.
namespace FilterText {
QString Group(int group);            // "SK3=true"
QString Family(const QString& family); // "Family=12"
QString Marked();                    // "FILTR=true"

/// The criteria search: wild plants only or all, then the groups' conditions in a fixed order.
struct SearchCriteria {
    bool wildOnly = true;
    int habitat = 0;   // S1..S5
    int colour = 0;    // B1..B8
    int month = 0;     // DK1..DK12
    int segments = 0;  // KL1..KL3
    int form = 0;      // SK10..SK12 (form + 9)
};
QString Criteria(const SearchCriteria& criteria);
} // namespace FilterText

} // namespace orvela
