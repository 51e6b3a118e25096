#pragma once

#include <QTreeView>
#include <functional>

namespace orvela::shell {

/// A tree of the computer's folders under one root item for the computer itself: its children are
/// the mounted volumes and the home folder, then folders only (no files, no hidden folders), each
/// level read when it is first expanded and sorted as a file manager sorts. The file system is not
/// watched. A right click does not move the selection; it offers the folder under the pointer in a
/// context menu, whose "Otevřít" opens it in the desktop's file manager.
class FolderTree final : public QTreeView {
    Q_OBJECT

public:
    /// Display name of the root item; it has no file-system path.
    static constexpr char16_t kComputerName[] = u"Tento počítač";

    explicit FolderTree(QWidget* parent = nullptr);

    /// The selected folder's path ("/" for the root, no trailing "/" otherwise); the display name for
    /// an item without a file-system path; empty when nothing is selected.
    QString Path() const;

    /// Selects the folder, expanding the tree down to it; false when the tree does not list it.
    bool SetPath(const QString& path);

    /// Runs after every change of the selected item.
    std::function<void()> OnChange;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace orvela::shell
