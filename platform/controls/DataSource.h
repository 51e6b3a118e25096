#pragma once

#include "platform/dataset/ClientDataSet.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace orvela {

class DataSource;

/// A control's end of the link to a data source; the source calls it when its dataset changes.
class DataLink {
public:
    DataLink() = default;
    virtual ~DataLink();
    DataLink(const DataLink&) = delete;
    DataLink& operator=(const DataLink&) = delete;

    DataSource* Source() const { return source_; }
    /// Binds to another source (or none) and refreshes at once.
    void SetSource(DataSource* source);
    /// The bound dataset when it is open, else nullptr.
    ClientDataSet* ActiveDataSet() const;

    virtual void DataSetChanged() = 0;
    virtual void RecordChanged() = 0;

private:
    friend class DataSource;
    DataSource* source_ = nullptr;
};

/// The link between one dataset and the controls bound to it: one observer on the dataset, fanned out.
class DataSource final : public DataSetObserver {
public:
    explicit DataSource(ClientDataSet* dataSet = nullptr);
    /// Unbinds every control; the dataset must still exist.
    ~DataSource() override;
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    ClientDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(ClientDataSet* dataSet);

    void DataSetChanged() override;
    void RecordChanged() override;

private:
    friend class DataLink;
    void Attach(DataLink* link);
    void Detach(DataLink* link);
    template <class Notify>
    void FanOut(Notify notify);

    ClientDataSet* dataSet_ = nullptr;
    std::vector<DataLink*> links_;
};

/// The link of a control that shows one field of the current record.
class FieldDataLink final : public DataLink {
public:
    /// refresh: called whenever the shown value may have changed.
    explicit FieldDataLink(std::function<void()> refresh) : refresh_(std::move(refresh)) {}

    const QString& FieldName() const { return fieldName_; }
    void SetFieldName(const QString& fieldName);

    /// The bound field, read on the current record (no value when no record is visible);
    /// nothing when unbound, closed or the dataset has no such field.
    std::optional<Field> CurrentField() const;

    void DataSetChanged() override;
    void RecordChanged() override { refresh_(); }

private:
    std::function<void()> refresh_;
    QString fieldName_;
    mutable std::optional<Field> field_;
    mutable const ClientDataSet* resolvedFor_ = nullptr;
    mutable bool resolved_ = false;
};

} // namespace orvela
