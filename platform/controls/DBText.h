#pragma once

#include "platform/controls/DataFieldControl.h"

#include <QLabel>

namespace orvela {

/// A label showing one field of the current record as text.
class DBText final : public QLabel, public DataFieldControl {
public:
    explicit DBText(QWidget* parent = nullptr);

private:
    void Refresh();
};

} // namespace orvela
