#pragma once

#include <QByteArray>
#include <QString>

class QImage;

namespace orvela {

/// How the picture's colours are stored in the file.
enum class JpegColours {
    Rgb,       ///< YCbCr, as cameras write
    Grayscale, ///< one component
    Cmyk,      ///< four inks, stored inverted with an Adobe marker, as Photoshop writes
    Ycck,      ///< the same inks, colour-transformed (Adobe transform 2)
};

struct JpegWriteOptions {
    int quality = 85;
    JpegColours colours = JpegColours::Rgb;
    bool progressive = false;
    int restartRows = 0; ///< rows of blocks between restart markers, as many cameras write; 0 for none
};

/// Encodes the image (alpha dropped) with libjpeg; raises Error with libjpeg's message when it fails.
QByteArray EncodeJpeg(const QImage& image, const JpegWriteOptions& options = {});

/// Encodes and writes the file in one piece: a failed write leaves no partial file behind. A file that
/// cannot be created raises FileError "Cannot create file %s"; a failed write raises Error.
void WriteJpeg(const QImage& image, const QString& path, const JpegWriteOptions& options = {});

} // namespace orvela
