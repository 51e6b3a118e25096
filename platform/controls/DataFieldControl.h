#pragma once

#include "platform/controls/DataSource.h"

namespace orvela {

/// What every single-field control offers: its data source and its field (by name, any case).
class DataFieldControl {
public:
    orvela::DataSource* DataSource() const { return link_.Source(); }
    void SetDataSource(orvela::DataSource* source) { link_.SetSource(source); }
    const QString& DataField() const { return link_.FieldName(); }
    void SetDataField(const QString& fieldName) { link_.SetFieldName(fieldName); }

protected:
    explicit DataFieldControl(std::function<void()> refresh) : link_(std::move(refresh)) {}
    ~DataFieldControl() = default;

    std::optional<Field> CurrentField() const { return link_.CurrentField(); }

private:
    FieldDataLink link_;
};

} // namespace orvela
