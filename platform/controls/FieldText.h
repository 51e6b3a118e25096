#pragma once

#include "platform/dataset/ClientDataSet.h"

#include <QString>

namespace orvela {

/// The text of a field: a blob's bytes read in the catalogue's code page (windows-1250),
/// any other field as AsString.
QString FieldText(const Field& field);

} // namespace orvela
