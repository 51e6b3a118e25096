#include "browser/PhotoList.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace orvela {

namespace {
const QString kPhotoFolder = QStringLiteral("Foto");
} // namespace

bool PhotoFolder::Changed(Listing& listing, const char* path)
{
    struct stat status {};
    Listing now;
    if (::stat(path, &status) == 0 && S_ISDIR(status.st_mode))
        now = {quint64(status.st_dev), quint64(status.st_ino),
               qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
    // A folder that is not there is looked for again every time.
    const bool changed = !(now == listing) || now == Listing{};
    listing = now;
    return changed;
}

void PhotoFolder::ListCurrentDirectory()
{
    folder_.clear();
    encodedFolder_.clear();
    const QDir current(QStringLiteral("."));
    for (const QString& name : current.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (name.compare(kPhotoFolder, Qt::CaseInsensitive) == 0 && (folder_.isEmpty() || name == kPhotoFolder))
            folder_ = name;
    }
    encodedFolder_ = QFile::encodeName(folder_);
}

void PhotoFolder::ListPhotoFolder()
{
    names_.clear();
    const QDir dir(folder_);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        // o<ID>_<n>.jpg with n 0..19 written without leading zeros
        const QString lower = name.toLower();
        if (!lower.startsWith(u'o') || !lower.endsWith(QStringLiteral(".jpg")))
            continue;
        const qsizetype separator = lower.lastIndexOf(u'_');
        if (separator < 2)
            continue;
        const QString numberText = lower.sliced(separator + 1, lower.size() - separator - 5);
        bool ok = false;
        const int number = numberText.toInt(&ok);
        if (!ok || number < 0 || number >= kMaxPhotos || QString::number(number) != numberText)
            continue;
        // Regular files only, a link when it leads to one: the listing passes links to FIFOs and devices.
        struct stat status {};
        if (::stat(QFile::encodeName(folder_ + u'/' + name).constData(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        QString& stored = names_[lower.sliced(1, separator - 1)][number];
        // An exact spelling wins over another case variant of the same name.
        if (stored.isEmpty() || (name.startsWith(u'O') && name.endsWith(QStringLiteral(".jpg"))))
            stored = name;
    }
}

void PhotoFolder::Find(const QString& id, PhotoList& list)
{
    list.Files.fill(QString());
    list.Count = 0;

    // The current directory (which the installer and the save dialog may change) and the photo
    // folder are told apart by device and inode, so no path needs building.
    // While the photo folder is the one listed last, the current directory needs no look.
    if (folder_.isEmpty() || Changed(photos_, encodedFolder_.constData())) {
        if (Changed(current_, "."))
            ListCurrentDirectory();
        if (folder_.isEmpty())
            return;
        Changed(photos_, encodedFolder_.constData());
        ListPhotoFolder();
    }

    const auto species = names_.constFind(id.toLower());
    if (species == names_.constEnd())
        return;
    for (const QString& name : *species)
        if (!name.isEmpty())
            list.Files[list.Count++] = folder_ + u'/' + name;
}

PhotoPlacement FitPhoto(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight)
{
    PhotoPlacement placement{0, 0, pictureWidth, pictureHeight};
    if (pictureWidth > areaWidth || pictureHeight > areaHeight) {
        double scaleX = 1.0;
        double scaleY = 1.0;
        if (areaWidth < pictureWidth)
            scaleX = static_cast<double>(areaWidth) / pictureWidth;
        if (areaHeight < pictureHeight)
            scaleY = static_cast<double>(areaHeight) / pictureHeight;
        double scale = scaleX;
        if (scaleY < scaleX)
            scale = scaleY;
        // Products in extended precision, truncated: the side that sets the scale may come out a pixel short.
        placement.height = static_cast<int>(static_cast<long double>(pictureHeight) * static_cast<long double>(scale));
        placement.width = static_cast<int>(static_cast<long double>(pictureWidth) * static_cast<long double>(scale));
    }
    placement.left = Halved(areaWidth - placement.width);
    placement.top = Halved(areaHeight - placement.height) + 2;
    return placement;
}

} // namespace orvela
