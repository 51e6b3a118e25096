#pragma once

#include <QHash>
#include <QString>
#include <array>

namespace orvela {

inline constexpr int kMaxPhotos = 20;

/// The photos of the current species and the figures of their layout.
struct PhotoList {
    std::array<QString, kMaxPhotos> Files; // relative names of the photos that exist, packed from 0
    int AreaWidth = 0;
    int AreaHeight = 0;
    int PictureWidth = 0;
    int PictureHeight = 0;
    int Current = 0;
    int Count = 0;
};

/// Finds the photo files of a species in the Foto folder of the current directory. Names are matched
/// without regard to case, as on the discs catalogues come from. The folder is listed once and listed
/// again only when it changes, so a selection change costs one status read, not twenty.
class PhotoFolder final {
public:
    /// Fills Files and Count of the list for the species; the other fields are left alone.
    void Find(const QString& id, PhotoList& list);

private:
    struct Listing {
        // Which folder, and when it last changed; all zero: not there.
        quint64 device = 0;
        quint64 inode = 0;
        qint64 modified = 0;
        bool operator==(const Listing&) const = default;
    };
    /// True when the folder at a path relative to the current directory is no longer as listed.
    static bool Changed(Listing& listing, const char* path);
    void ListCurrentDirectory();
    void ListPhotoFolder();

    Listing current_;
    QString folder_; // the photo folder's spelling in the current directory; empty: none
    QByteArray encodedFolder_;
    Listing photos_;
    // Species ID (as text, lower case) -> stored file names by photo number.
    QHash<QString, std::array<QString, kMaxPhotos>> names_;
};

/// Where a photo goes in fit mode: never enlarged, shrunk in proportion to fit, centred (2 pixels lower).
struct PhotoPlacement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};
PhotoPlacement FitPhoto(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight);

/// Half of a difference, truncated toward zero.
inline int Halved(int value)
{
    return value / 2;
}

} // namespace orvela
