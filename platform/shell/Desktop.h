#pragma once

#include <QString>
#include <functional>

namespace orvela::shell {

/// The user's desktop folder as the desktop's own settings name it; empty when there is none, or when
/// nothing exists under its name (many desktops show no folder and create none).
QString DesktopFolder();

/// Test seam: answers DesktopFolder in place of the desktop settings while set (empty restores it).
void SetDesktopFolderProbe(std::function<QString()> probe);

/// What a desktop entry (the launcher file a desktop shows as an icon) starts and how it is labelled.
struct DesktopEntry {
    QString name;          // the label under the icon
    QString target;        // the program started
    QString arguments;     // command-line text after the program, as it stands
    QString workingFolder; // the folder made current for the program
    QString description;   // the tooltip
    QString icon;          // the picture file shown for the entry
};

/// The text of the entry, with every value escaped as launchers read it.
QString DesktopEntryText(const DesktopEntry& entry);

/// Writes the entry to `file` (replacing one that exists) and makes it executable, which launchers
/// require before they trust it. Throws FileError when the file cannot be written.
void WriteDesktopEntry(const QString& file, const DesktopEntry& entry);

} // namespace orvela::shell
