#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

class QPainter;
class QRect;

namespace orvela {

namespace jpeg {
struct Source;
}

/// Numerator n of the decode scale n/8 (1, 2, 4 or 8): the smallest that still gives at least `target` pixels
/// both ways from a picture of `natural` size (libjpeg rounds scaled sides up).
int DctScaleFor(QSize natural, QSize target);

/// A JPEG picture. Loading reads the header only; the pixels are decoded when the picture is rendered at a
/// size, at the smallest DCT scale that covers that size, so shrinking a large photo decodes a fraction of it.
class JpegImage final {
public:
    /// Opens the file and reads its header; the file stays open for the pixels, so the picture still draws
    /// after the file has been removed, and memory does not grow with the file's size. A file that is not
    /// there or not a regular file (a folder, a FIFO, a device: never opened for reading, never waited on)
    /// raises FileError "Cannot open file %s" with the name as passed; data that is not a readable JPEG
    /// raises Error with libjpeg's message. A failed load leaves the picture as it was.
    void LoadFromFile(const QString& path);
    /// As LoadFromFile, from bytes in memory.
    void LoadFromData(const QByteArray& data);

    int Width() const { return natural_.width(); }
    int Height() const { return natural_.height(); }
    bool Empty() const { return natural_.isEmpty(); }

    /// The picture scaled (smoothly) to exactly `size`. The last result is kept, so asking for the same size
    /// again decodes nothing; the decoded pixels are kept too, for other sizes that need the same scale.
    /// Data that turns out truncated or damaged raises Error with libjpeg's message; the picture stays loaded.
    /// An empty picture or size gives a null image.
    QImage Render(QSize size);
    /// Draws Render(target.size()) at the target's place.
    void Draw(QPainter& painter, const QRect& target);

    /// How many times the pixels have been decoded since the load, and the size of the last decode.
    int DecodeCount() const { return decodeCount_; }
    QSize DecodedSize() const { return decoded_.size(); }

private:
    void Load(std::shared_ptr<const jpeg::Source> source);

    std::shared_ptr<const jpeg::Source> source_; // the compressed data, shared by copies
    QSize natural_;
    QImage decoded_;
    int decodedScale_ = 0;
    QImage rendered_;
    int decodeCount_ = 0;
};

} // namespace orvela
