#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace orvela::shell {

/// Drive type of a folder, as the program asks it: only the CD-ROM answer matters.
enum class DriveType { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

/// Drive type of the current directory: CdRom for an iso9660 or UDF file system.
DriveType CurrentDriveType();

/// Test seam: answers CurrentDriveType in place of the file system while set (empty restores it).
void SetDriveTypeProbe(std::function<DriveType()> probe);

/// Bytes the user may still write on the file system holding the folder; -1 when that cannot be read.
qint64 FreeSpace(const QString& folder);

/// Size of the blocks that files on the folder's file system take up whole; 1 when that cannot be read.
qint64 BlockSize(const QString& folder);

/// Test seam: answers FreeSpace in place of the file system while set (empty restores it).
void SetFreeSpaceProbe(std::function<qint64(const QString& folder)> probe);

} // namespace orvela::shell
