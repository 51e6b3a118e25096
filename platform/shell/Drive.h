#pragma once

#include <QString>
#include <functional>

namespace orvela::shell {

/// Drive type of a folder, as the program asks it: only the CD-ROM answer matters.
enum class DriveType { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

/// Drive type of the current directory: CdRom for an iso9660 or UDF file system.
DriveType CurrentDriveType();

/// Test seam: answers CurrentDriveType in place of the file system while set (empty restores it).
void SetDriveTypeProbe(std::function<DriveType()> probe);

} // namespace orvela::shell
