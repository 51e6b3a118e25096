#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <bitset>
#include <optional>
#include <vector>

namespace orvela::catalogue {

/// The Boolean trait and group fields of a species, in packet order: S0-S5, B0-B8, KL0-KL3, DK1-DK12, SK1-SK12.
const QStringList& BooleanFieldNames();
inline constexpr int kBooleanFieldCount = 43;
/// Index of a Boolean field name (exact spelling), -1 when there is none.
int BooleanFieldIndex(const QString& name);

inline constexpr int kNameWidth = 50;       // CZ, LAT
inline constexpr int kFamilyNameWidth = 40; // cz, latin

struct FamilyRecord {
    int id = 0;
    QString cz;
    QString latin;
    QString note;
};

struct SpeciesRecord {
    int id = 0;
    QString cz;
    QString lat;
    int family = 0;
    QByteArray note; // RTF
    std::bitset<kBooleanFieldCount> flags;
    std::optional<bool> filtr; // no attribute at all unless given

    bool Flag(const QString& name) const { return flags.test(BooleanFieldIndex(name)); }
    void SetFlag(const QString& name, bool value = true) { flags.set(BooleanFieldIndex(name), value); }
};

/// Czech collation throughout: the catalogue is Czech whatever the reader's locale.
inline constexpr const char* kCzechLcid = "1029";

QByteArray FamilyPacket(const std::vector<FamilyRecord>& families);
QByteArray SpeciesPacket(const std::vector<SpeciesRecord>& species);

/// Writes both packets into the folder; each file is replaced whole or not at all.
void WriteCatalogue(const QString& folder, const std::vector<FamilyRecord>& families,
                    const std::vector<SpeciesRecord>& species);

} // namespace orvela::catalogue
