#pragma once

#include "platform/errors/Errors.h"

namespace orvela::catalogue {

/// A fault in a catalogue source, reported as "file:line: what" so that an editor can jump to it.
class SourceError final : public Error {
public:
    SourceError(const QString& file, int line, const QString& what)
        : Error(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what))
    {
    }
};

} // namespace orvela::catalogue
