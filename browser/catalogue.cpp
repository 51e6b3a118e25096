#include "browser/catalogue.h"

#include "platform/dataset/ClientDataSet.h"

namespace orvela {

QString PlantRecord::Trait(const char* prefix, int number)
{
    return QLatin1String(prefix) + QString::number(number);
}

std::unique_ptr<ClientDataSet> CreateSpeciesDataSet()
{
    auto dataSet = std::make_unique<ClientDataSet>(QStringLiteral("DataOrvela"));
    dataSet->SetFileName(QString::fromLatin1(kSpeciesFileName));
    dataSet->SetIndexFieldNames(QString::fromLatin1(kCzechIndex));
    dataSet->SetReadOnly(true);
    return dataSet;
}

std::unique_ptr<ClientDataSet> CreateFamilyDataSet()
{
    auto dataSet = std::make_unique<ClientDataSet>(QStringLiteral("DataFam"));
    dataSet->SetIndexFieldNames(QString::fromLatin1(kCzechIndex));
    dataSet->SetReadOnly(true);
    return dataSet;
}

QString CurrentId(const ClientDataSet& species)
{
    return species.FieldByName(QString::fromLatin1(PlantRecord::ID)).AsString();
}

void ReturnTo(ClientDataSet& species, const QString& id)
{
    species.Locate(QString::fromLatin1(PlantRecord::ID), id);
}

void ApplyFilter(ClientDataSet& dataSet, const QString& filterText)
{
    dataSet.SetFiltered(false);
    dataSet.SetFilter(filterText);
    dataSet.SetFiltered(true);
}

namespace FilterText {

namespace {
QString IsTrue(const QString& field)
{
    return field + QStringLiteral("=true");
}

QString AndIsTrue(const char* prefix, int number)
{
    return QStringLiteral(" and ") + IsTrue(PlantRecord::Trait(prefix, number));
}
} // namespace

QString Group(int group)
{
    return IsTrue(PlantRecord::Trait("SK", group));
}

QString Family(const QString& family)
{
    return QStringLiteral("Family=") + family;
}

QString Marked()
{
    return IsTrue(QString::fromLatin1(PlantRecord::FILTR));
}

QString Criteria(const SearchCriteria& criteria)
{
    QString text = criteria.wildOnly ? Group(1) : QStringLiteral("ID>0");
    if (criteria.habitat != 0)
        text += AndIsTrue("S", criteria.habitat);
    if (criteria.colour != 0)
        text += AndIsTrue("B", criteria.colour);
    if (criteria.month != 0)
        text += AndIsTrue("DK", criteria.month);
    if (criteria.segments != 0)
        text += AndIsTrue("KL", criteria.segments);
    if (criteria.form != 0)
        text += AndIsTrue("SK", criteria.form + 9);
    return text;
}

} // namespace FilterText

} // namespace orvela
