#include "platform/shell/FolderTree.h"

#include "platform/dialogs/OpenUrl.h"

#include <QApplication>
#include <QCollator>
#include <QContextMenuEvent>
#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QStorageInfo>
#include <QUrl>
#include <algorithm>

namespace orvela::shell {

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kLoadedRole = Qt::UserRole + 2;
constexpr int kHasFoldersRole = Qt::UserRole + 3;

bool IsUserVolume(const QStorageInfo& volume)
{
    static const QList<QByteArray> pseudoTypes{"tmpfs",       "devtmpfs", "ramfs",   "proc",       "sysfs",  "cgroup",
                                               "cgroup2",     "devpts",   "mqueue",  "securityfs", "pstore", "debugfs",
                                               "tracefs",     "configfs", "fusectl", "hugetlbfs",  "autofs", "bpf",
                                               "binfmt_misc", "efivarfs", "nsfs",    "rpc_pipefs"};
    static const QStringList systemTrees{QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev"),
                                         QStringLiteral("/snap"), QStringLiteral("/run")};
    if (!volume.isValid() || !volume.isReady() || pseudoTypes.contains(volume.fileSystemType()))
        return false;
    const QString root = volume.rootPath();
    // Removable media are mounted below /run/media on some systems; the rest of /run is not the user's.
    const bool underSystemTree = std::any_of(systemTrees.begin(), systemTrees.end(), [&](const QString& tree) {
        return root == tree || root.startsWith(tree + u'/');
    });
    if (underSystemTree && !root.startsWith(QStringLiteral("/run/media/")))
        return false;
    // Container runtimes bind single files (/etc/hosts); only folders belong in a folder tree.
    return QFileInfo(root).isDir();
}

QString VolumeLabel(const QStorageInfo& volume)
{
    return volume.name().isEmpty() ? volume.rootPath()
                                   : QStringLiteral("%1 (%2)").arg(volume.name(), volume.rootPath());
}

/// The user's collation; the program's own Czech when the system names none (the C locale sorts by code).
QLocale CollationLocale()
{
    const QLocale system = QLocale::system();
    return system.language() == QLocale::C ? QLocale(QLocale::Czech, QLocale::Czechia) : system;
}

class FolderModel final : public QStandardItemModel {
public:
    explicit FolderModel(QObject* parent) : QStandardItemModel(parent), collator_(CollationLocale())
    {
        collator_.setCaseSensitivity(Qt::CaseInsensitive);
        collator_.setNumericMode(true);
        auto* computer = new QStandardItem(icons_.icon(QAbstractFileIconProvider::Computer),
                                           QString::fromUtf16(FolderTree::kComputerName));
        computer->setData(true, kLoadedRole);
        AddVolumesAndHome(computer);
        appendRow(computer);
    }

    bool hasChildren(const QModelIndex& parent) const override
    {
        return canFetchMore(parent) ? HasFolders(parent) : QStandardItemModel::hasChildren(parent);
    }

    bool canFetchMore(const QModelIndex& parent) const override
    {
        return parent.isValid() && !parent.data(kLoadedRole).toBool();
    }

    void fetchMore(const QModelIndex& parent) override
    {
        if (!canFetchMore(parent))
            return;
        QStandardItem* item = itemFromIndex(parent);
        item->setData(true, kLoadedRole);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const QString path = parent.data(kPathRole).toString();
        const QDir folder(path);
        QStringList names = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(names.begin(), names.end(), collator_);
        QList<QStandardItem*> children;
        for (const QString& name : names)
            children.append(FolderItem(name, folder.filePath(name)));
        if (!children.isEmpty())
            item->appendRows(children);
        else
            emit dataChanged(parent, parent); // the expand mark goes away
        QApplication::restoreOverrideCursor();
    }

private:
    /// Whether a folder not yet read holds a folder the tree would list; asked only for the rows on
    /// screen, and remembered so that each folder is looked into once.
    bool HasFolders(const QModelIndex& index) const
    {
        const QVariant known = index.data(kHasFoldersRole);
        if (known.isValid())
            return known.toBool();
        // Hidden folders are left out of the listing, so they give no expand mark either.
        QDirIterator folders(index.data(kPathRole).toString(), QDir::Dirs | QDir::NoDotAndDotDot);
        bool hasFolders = false;
        while (!hasFolders && folders.hasNext()) {
            folders.next();
            hasFolders = !folders.fileInfo().isHidden();
        }
        const QSignalBlocker quiet(itemFromIndex(index)->model());
        itemFromIndex(index)->setData(hasFolders, kHasFoldersRole);
        return hasFolders;
    }

    QStandardItem* FolderItem(const QString& text, const QString& path) const
    {
        auto* item = new QStandardItem(icons_.icon(QAbstractFileIconProvider::Folder), text);
        item->setData(path, kPathRole);
        item->setData(false, kLoadedRole);
        item->setToolTip(path);
        return item;
    }

    void AddVolumesAndHome(QStandardItem* computer)
    {
        QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
        volumes.erase(std::remove_if(volumes.begin(), volumes.end(), [](const auto& v) { return !IsUserVolume(v); }),
                      volumes.end());
        std::sort(volumes.begin(), volumes.end(), [this](const QStorageInfo& a, const QStorageInfo& b) {
            return collator_.compare(a.rootPath(), b.rootPath()) < 0;
        });
        for (const QStorageInfo& volume : volumes) {
            QStandardItem* item = FolderItem(VolumeLabel(volume), volume.rootPath());
            item->setIcon(icons_.icon(QAbstractFileIconProvider::Drive));
            computer->appendRow(item);
        }
        computer->appendRow(FolderItem(QStringLiteral("Domovská složka"), QDir::homePath()));
    }

    QFileIconProvider icons_;
    QCollator collator_;
};

bool IsSameOrBelow(const QString& path, const QString& folder)
{
    return path == folder || folder == u'/' || path.startsWith(folder + u'/');
}
} // namespace

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent)
{
    setModel(new FolderModel(this));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(19);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (OnChange)
            OnChange();
    });
    const QModelIndex computer = model()->index(0, 0);
    expand(computer);
    setCurrentIndex(computer);
}

QString FolderTree::Path() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return QString();
    const QString path = selected.first().data(kPathRole).toString();
    return path.isEmpty() ? selected.first().data(Qt::DisplayRole).toString() : path;
}

bool FolderTree::SetPath(const QString& path)
{
    if (!QDir::isAbsolutePath(path))
        return false;
    const QString wanted = QDir::cleanPath(path);
    // Start from the volume or home folder that holds the path most closely.
    const QModelIndex computer = model()->index(0, 0);
    QModelIndex current;
    qsizetype bestLength = -1;
    for (int row = 0; row < model()->rowCount(computer); ++row) {
        const QModelIndex child = model()->index(row, 0, computer);
        const QString childPath = child.data(kPathRole).toString();
        if (IsSameOrBelow(wanted, childPath) && childPath.size() > bestLength) {
            current = child;
            bestLength = childPath.size();
        }
    }
    if (!current.isValid())
        return false;
    QString reached = current.data(kPathRole).toString();
    const QStringList rest = wanted.mid(reached.size()).split(u'/', Qt::SkipEmptyParts);
    for (const QString& name : rest) {
        if (model()->canFetchMore(current))
            model()->fetchMore(current);
        reached = QDir(reached).filePath(name);
        QModelIndex next;
        for (int row = 0; row < model()->rowCount(current) && !next.isValid(); ++row) {
            const QModelIndex child = model()->index(row, 0, current);
            if (child.data(kPathRole).toString() == reached)
                next = child;
        }
        if (!next.isValid())
            return false;
        expand(current);
        current = next;
    }
    setCurrentIndex(current);
    scrollTo(current);
    return true;
}

void FolderTree::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex item = event->reason() == QContextMenuEvent::Mouse ? indexAt(event->pos()) : currentIndex();
    const QString path = item.data(kPathRole).toString();
    if (path.isEmpty())
        return; // the computer item is no folder
    // Shown without waiting for it, so the dialog's own event loop goes on meanwhile.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Otevřít"), menu, [path] { dialogs::OpenUrl(QUrl::fromLocalFile(path)); });
    menu->popup(event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                            : viewport()->mapToGlobal(visualRect(item).center()));
}

void FolderTree::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

} // namespace orvela::shell
