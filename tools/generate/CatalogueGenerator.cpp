#include "tools/generate/CatalogueGenerator.h"

#include "tools/catalogue/Rtf.h"

#include <array>

namespace orvela::catalogue {

namespace {

constexpr std::array kCzechStems = {u"Hvěz", u"Čer", u"Řeb", u"Šal", u"Žlu", u"Kos", u"Pry", u"Mod", u"Běl",
                                    u"Zvo", u"Kři", u"Hlu", u"Chr", u"Sví", u"Tře", u"Lí",  u"Ost", u"Pěn",
                                    u"Vra", u"Úro", u"Ďáb", u"Ťuk", u"Ňad", u"Chm", u"Bra", u"Rdes", u"Šťav"};
constexpr std::array kCzechEndings = {u"dník", u"ka", u"nice", u"ec", u"ovník", u"ěnka", u"áček",
                                      u"eň",   u"ina", u"ice", u"ák", u"ýš",    u"ůvka"};
constexpr std::array kCzechEpithets = {u"obecná",  u"luční",    u"lesní",      u"horská",  u"bahenní", u"žlutá",
                                       u"modrá",   u"vonná",    u"pravá",      u"drobná",  u"širolistá",
                                       u"úzkolistá", u"česká", u"moravská",   u"sličná",  u"chlupatá",
                                       u"plazivá", u"vysoká",   u"jarní",      u"podzimní", u"křovitá"};
constexpr std::array kLatinStems = {"Ranunc", "Camp", "Gent", "Sax", "Trif", "Veron", "Potent", "Viol", "Prim",
                                    "Sil",    "Achill", "Lam", "Cent", "Salv", "Gal",   "Hyper", "Orch", "Lysim"};
constexpr std::array kLatinEndings = {"ulus", "anula", "iana", "ifraga", "olium", "ica",
                                      "illa", "a",     "ene",  "ea",     "ium"};
constexpr std::array kLatinEpithets = {"vulgaris", "officinalis", "alpina",   "montana", "pratensis",  "sylvestris",
                                       "palustris", "bohemica",   "moravica", "lutea",   "caerulea",   "alba",
                                       "rubra",     "odorata",    "minor",    "major",   "hirsuta",    "repens",
                                       "vernalis",  "autumnalis"};
constexpr std::array kWords = {
    u"rostlina", u"květ",     u"listy",     u"stonek",   u"kořen",     u"semena",    u"plody",    u"louky",
    u"lesy",     u"stráně",   u"vlhkých",   u"suchých",  u"žluté",     u"modré",     u"bílé",     u"červené",
    u"vytrvalá", u"jednoletá", u"okvětí",   u"lístky",   u"kvete",     u"roste",     u"hojně",    u"vzácně",
    u"okraje",   u"cest",     u"pastvin",   u"mezí",     u"střídavé",  u"vstřícné",  u"přízemní", u"růžice",
    u"chlupatá", u"lysá",     u"vonná",     u"léčivá",   u"jedovatá",  u"včely",     u"hmyz",     u"opylují",
    u"šíří",     u"větrem",   u"vodou",     u"ptáci",    u"údolí",     u"pahorkatin", u"horách",
    u"nížinách",
    u"v",        u"na",       u"a",         u"je",       u"se",        u"po",        u"od",       u"do",
    u"Čechách",  u"Moravě",   u"Slezsku",   u"čeleď",    u"drobné",    u"četné",     u"úzké",     u"řídce",
    u"ďáblík",   u"ťukání",   u"oddenek",   u"hlízy",    u"nažky",     u"tobolky",   u"bobule",   u"šešule"};
constexpr std::array kUses = {u"čaj z nati při nachlazení", u"okrasná rostlina skalek", u"krmivo pro dobytek",
                              u"barvivo na vlnu",           u"medonosná rostlina",     u"koření do polévek",
                              u"obklady na drobná poranění"};

template <typename Array>
auto Pick(QRandomGenerator& random, const Array& array)
{
    return array[random.bounded(static_cast<quint32>(array.size()))];
}

QString Sentence(QRandomGenerator& random)
{
    const int length = 6 + static_cast<int>(random.bounded(10u));
    QString sentence;
    for (int i = 0; i < length; ++i) {
        if (i > 0)
            sentence += u' ';
        sentence += QString::fromUtf16(Pick(random, kWords));
    }
    sentence[0] = sentence[0].toUpper();
    return sentence + QStringLiteral(". ");
}

QString CzechName(QRandomGenerator& random)
{
    return QString::fromUtf16(Pick(random, kCzechStems)) + QString::fromUtf16(Pick(random, kCzechEndings)) + u' ' +
           QString::fromUtf16(Pick(random, kCzechEpithets));
}

QString LatinName(QRandomGenerator& random)
{
    return QString::fromLatin1(Pick(random, kLatinStems)) + QString::fromLatin1(Pick(random, kLatinEndings)) + u' ' +
           QString::fromLatin1(Pick(random, kLatinEpithets));
}

/// Random members of one kind of trait; the undetermined 0 when none comes up.
void RandomTraits(QRandomGenerator& random, SpeciesRecord& species, const QString& prefix, int last, quint32 percent)
{
    bool any = false;
    for (int i = 1; i <= last; ++i) {
        if (random.bounded(100u) < percent) {
            species.SetFlag(prefix + QString::number(i));
            any = true;
        }
    }
    if (!any)
        species.SetFlag(prefix + u'0');
}

SpeciesRecord RandomSpecies(QRandomGenerator& random, int id, int familyCount, int articleBytes)
{
    SpeciesRecord species;
    species.id = id;
    species.cz = CzechName(random);
    species.lat = LatinName(random);
    species.family = 1 + static_cast<int>(random.bounded(static_cast<quint32>(familyCount)));
    RandomTraits(random, species, QStringLiteral("S"), 5, 30);
    RandomTraits(random, species, QStringLiteral("B"), 8, 20);
    species.SetFlag(QStringLiteral("KL") + QString::number(random.bounded(4u)));
    const int start = 1 + static_cast<int>(random.bounded(12u));
    const int months = 1 + static_cast<int>(random.bounded(5u));
    for (int i = 0; i < months; ++i)
        species.SetFlag(QStringLiteral("DK") + QString::number((start - 1 + i) % 12 + 1));
    species.SetFlag(QStringLiteral("SK1"), random.bounded(100u) < 60);
    for (int group = 2; group <= 9; ++group)
        species.SetFlag(QStringLiteral("SK") + QString::number(group), random.bounded(100u) < 15);
    const quint32 form = random.bounded(10u);
    species.SetFlag(form < 7 ? QStringLiteral("SK10") : form < 9 ? QStringLiteral("SK11") : QStringLiteral("SK12"));
    species.note = GenerateArticle(random, species.cz, species.lat, articleBytes);
    return species;
}

} // namespace

QByteArray GenerateArticle(QRandomGenerator& random, const QString& czech, const QString& latin, int articleBytes)
{
    RtfWriter rtf;
    rtf.Title(czech);
    rtf.BeginParagraph();
    rtf.Run(latin, false, true);
    rtf.Run(QStringLiteral(" – ") + Sentence(random));
    rtf.EndParagraph();
    bool listWritten = false;
    while (rtf.Size() < articleBytes) {
        if (!listWritten && rtf.Size() > articleBytes / 2) {
            for (int i = 0; i < 3; ++i) {
                rtf.BeginBullet();
                rtf.Run(QString::fromUtf16(Pick(random, kUses)));
                rtf.EndParagraph();
            }
            listWritten = true;
            continue;
        }
        rtf.BeginParagraph();
        for (int i = 0; i < 4 && rtf.Size() < articleBytes; ++i)
            rtf.Run(Sentence(random), random.bounded(20u) == 0);
        rtf.EndParagraph();
    }
    return rtf.Finish();
}

GeneratedCatalogue GenerateCatalogue(int speciesCount, quint32 seed, int articleBytes)
{
    QRandomGenerator random(seed);
    GeneratedCatalogue catalogue;
    const int familyCount = std::clamp(speciesCount / 50, 15, 500);
    for (int id = 1; id <= familyCount; ++id) {
        const QString stem = QString::fromUtf16(Pick(random, kCzechStems));
        const QString latinStem = QString::fromLatin1(Pick(random, kLatinStems));
        catalogue.families.push_back({id, stem + QStringLiteral("ovité %1").arg(id),
                                      latinStem + QStringLiteral("aceae %1").arg(id),
                                      Sentence(random) + Sentence(random) + Sentence(random)});
    }
    catalogue.species.reserve(static_cast<size_t>(std::max(speciesCount, 0)));
    for (int id = 1; id <= speciesCount; ++id)
        catalogue.species.push_back(RandomSpecies(random, id, familyCount, articleBytes));
    return catalogue;
}

} // namespace orvela::catalogue
