#include "platform/shell/Drive.h"

#include <QFile>
#include <limits>
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

qint64 FreeSpace(const QString& folder)
{
    if (FreeSpaceProbe())
        return FreeSpaceProbe()(folder);
    struct statvfs info {};
    if (folder.isEmpty() || statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    // Saturate rather than wrap on absurdly large file systems.
    const auto blockSize = static_cast<unsigned long long>(info.f_frsize ? info.f_frsize : info.f_bsize);
    const auto blocks = static_cast<unsigned long long>(info.f_bavail);
    constexpr auto kMax = static_cast<unsigned long long>(std::numeric_limits<qint64>::max());
    if (blockSize != 0 && blocks > kMax / blockSize)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(blocks * blockSize);
}

qint64 BlockSize(const QString& folder)
{
    struct statvfs info {};
    if (folder.isEmpty() || statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return 1;
    const auto size = static_cast<qint64>(info.f_frsize ? info.f_frsize : info.f_bsize);
    return size > 0 ? size : 1;
}

void SetFreeSpaceProbe(std::function<qint64(const QString&)> probe) { FreeSpaceProbe() = std::move(probe); }

} // namespace orvela::shell
