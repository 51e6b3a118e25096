#include "browser/PhotoList.h"

#include <QDir>
#include <QFileInfo>

namespace orvela {

namespace {
const QString kPhotoFolder = QStringLiteral("Foto");


QString PhotoName(const QString& id, int number)
{
    return QStringLiteral("O") + id + u'_' + QString::number(number) + QStringLiteral(".jpg");
}
} // namespace

QString PhotoFileName(const QString& id, int number)
{
    return kPhotoFolder + u'/' + PhotoName(id, number);
}

void PhotoFolder::Refresh(Listing& listing, const QString& path, bool folders)
{
    const QFileInfo info(path);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    if (listing.path == path && listing.folders == folders && listing.modified == modified && modified.isValid())
        return;
    listing.path = path;
    listing.folders = folders;
    listing.modified = modified;
    listing.names.clear();
    if (!modified.isValid())
        return;
    const QDir dir(path);
    const auto filter = (folders ? QDir::Dirs : QDir::Files) | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    for (const QString& name : dir.entryList(filter)) {
        const QString key = name.toLower();
        // An exact spelling wins over another case variant of the same name.
        if (!listing.names.contains(key) || name == key)
            listing.names.insert(key, name);
    }
}

void PhotoFolder::Find(const QString& id, PhotoList& list)
{
    list.Files.fill(QString());
    list.Count = 0;

    // The folder as spelled; another spelling ("FOTO") only when that one is not there.
    QString folder = kPhotoFolder;
    if (!QFileInfo(kPhotoFolder).isDir()) {
        Refresh(current_, QDir::currentPath(), true);
        folder = current_.names.value(kPhotoFolder.toLower());
        if (folder.isEmpty())
            return;
    }
    Refresh(photos_, QDir::current().absoluteFilePath(folder), false);

    for (int number = 0; number < kMaxPhotos; ++number) {
        const QString stored = photos_.names.value(PhotoName(id, number).toLower());
        if (!stored.isEmpty())
            list.Files[list.Count++] = folder + u'/' + stored;
    }
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
