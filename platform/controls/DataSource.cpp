#include "platform/controls/DataSource.h"

#include <algorithm>

namespace orvela {

DataLink::~DataLink()
{
    if (source_)
        source_->Detach(this);
}

void DataLink::SetSource(DataSource* source)
{
    if (source_ == source)
        return;
    if (source_)
        source_->Detach(this);
    if (source)
        source->Attach(this);
    DataSetChanged();
}

ClientDataSet* DataLink::ActiveDataSet() const
{
    ClientDataSet* dataSet = source_ ? source_->DataSet() : nullptr;
    return dataSet && dataSet->Active() ? dataSet : nullptr;
}

DataSource::DataSource(ClientDataSet* dataSet)
{
    SetDataSet(dataSet);
}

DataSource::~DataSource()
{
    if (dataSet_)
        dataSet_->RemoveObserver(this);
    for (DataLink* link : links_)
        link->source_ = nullptr;
}

void DataSource::SetDataSet(ClientDataSet* dataSet)
{
    if (dataSet_ == dataSet)
        return;
    if (dataSet_)
        dataSet_->RemoveObserver(this);
    dataSet_ = dataSet;
    if (dataSet_)
        dataSet_->AddObserver(this);
    DataSetChanged();
}

template <class Notify>
void DataSource::FanOut(Notify notify)
{
    // A control may unbind itself or another one while being told; tell only those still bound.
    const std::vector<DataLink*> links = links_;
    for (DataLink* link : links) {
        if (std::find(links_.begin(), links_.end(), link) != links_.end())
            notify(link);
    }
}

void DataSource::DataSetChanged()
{
    FanOut([](DataLink* link) { link->DataSetChanged(); });
}

void DataSource::RecordChanged()
{
    FanOut([](DataLink* link) { link->RecordChanged(); });
}

void DataSource::Attach(DataLink* link)
{
    links_.push_back(link);
    link->source_ = this;
}

void DataSource::Detach(DataLink* link)
{
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
    link->source_ = nullptr;
}

void FieldDataLink::SetFieldName(const QString& fieldName)
{
    fieldName_ = fieldName;
    resolved_ = false;
    refresh_();
}

void FieldDataLink::DataSetChanged()
{
    resolved_ = false; // opened again, perhaps with other fields
    refresh_();
}

std::optional<Field> FieldDataLink::CurrentField() const
{
    ClientDataSet* dataSet = ActiveDataSet();
    if (!dataSet || fieldName_.isEmpty())
        return std::nullopt;
    // Looked up by name once per opening, not on every cursor move.
    if (!resolved_ || resolvedFor_ != dataSet) {
        bool found = false;
        const Field field = dataSet->FindField(fieldName_, &found);
        field_ = found ? std::optional<Field>(field) : std::nullopt;
        resolvedFor_ = dataSet;
        resolved_ = true;
    }
    return field_;
}

} // namespace orvela
