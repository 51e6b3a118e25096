#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace orvela::help {

/// One stored file of a compiled help file, with its path inside the file ("/topic.html", "/#IVB").
struct ChmObject {
    QString path;
    QByteArray bytes;
    bool readable = true; // false when the file's data could not be decompressed
};

struct ExtractLimits {
    qint64 maxObjectBytes = 64 * 1024 * 1024;
    qint64 maxTotalBytes = 256 * 1024 * 1024;
    int timeoutMs = 5000;
};

/// Reads every stored file (not the folders and not the archive's own metadata) of a .chm file.
/// chmlib does not survive damaged files (endless loops, wild reads), so it runs in a child process
/// that is killed when it takes too long; nothing is returned when the archive cannot be read.
std::optional<std::vector<ChmObject>> ExtractChm(const QString& filePath, const ExtractLimits& limits = {});

} // namespace orvela::help
