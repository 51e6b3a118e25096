#include "platform/shell/Drive.h"

#include <QFile>
#include <limits>
#include <optional>
#include <sys/statfs.h>
#include <sys/statvfs.h>

namespace orvela::shell {

namespace {
constexpr unsigned long kIso9660Magic = 0x9660;
constexpr unsigned long kUdfMagic = 0x15013346;

std::function<DriveType()>& DriveTypeProbe()
{
    static std::function<DriveType()> probe;
    return probe;
}

std::function<qint64(const QString&)>& FreeSpaceProbe()
{
    static std::function<qint64(const QString&)> probe;
    return probe;
}
} // namespace

DriveType CurrentDriveType()
{
    if (DriveTypeProbe())
        return DriveTypeProbe()();
    struct statfs info {};
    if (statfs(".", &info) != 0)
        return DriveType::Unknown;
    const auto magic = static_cast<unsigned long>(info.f_type);
    return magic == kIso9660Magic || magic == kUdfMagic ? DriveType::CdRom : DriveType::Fixed;
}

void SetDriveTypeProbe(std::function<DriveType()> probe) { DriveTypeProbe() = std::move(probe); }

namespace {
/// The status of the file system holding the folder, with its fragment size in f_frsize.
std::optional<struct statvfs> FileSystemOf(const QString& folder)
{
    struct statvfs info {};
    if (folder.isEmpty() || statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return std::nullopt;
    if (info.f_frsize == 0)
        info.f_frsize = info.f_bsize;
    return info;
}
} // namespace

qint64 FreeSpace(const QString& folder)
{
    if (FreeSpaceProbe())
        return FreeSpaceProbe()(folder);
    const auto info = FileSystemOf(folder);
    if (!info)
        return -1;
    // Saturate rather than wrap on absurdly large file systems.
    const auto blockSize = static_cast<unsigned long long>(info->f_frsize);
    const auto blocks = static_cast<unsigned long long>(info->f_bavail);
    constexpr auto kMax = static_cast<unsigned long long>(std::numeric_limits<qint64>::max());
    if (blockSize != 0 && blocks > kMax / blockSize)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(blocks * blockSize);
}

qint64 BlockSize(const QString& folder)
{
    const auto info = FileSystemOf(folder);
    return info && info->f_frsize > 0 ? static_cast<qint64>(info->f_frsize) : 1;
}

void SetFreeSpaceProbe(std::function<qint64(const QString&)> probe) { FreeSpaceProbe() = std::move(probe); }

} // namespace orvela::shell
