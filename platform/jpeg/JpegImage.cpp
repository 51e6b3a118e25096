#include "platform/jpeg/JpegImage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/dialogs/Errors.h"
#include "platform/jpeg/LibJpeg.h"

#include <QFile>
#include <QPainter>

#include <utility>

namespace orvela {

namespace {

// Largest decoded image we allocate (RGBX, 4 bytes a pixel): 256 MB.
constexpr qint64 kMaxDecodedPixels = qint64(1) << 26;
// A progressive file is decoded scan by scan; thousands of tiny scans are an attack, not a photo.
constexpr int kMaxScans = 1000;

int ScaledSide(int side, int scale)
{
    return int((qint64(side) * scale + 7) / 8);
}

/// One libjpeg decompressor over bytes in memory, destroyed whatever way its user leaves.
struct Decompressor {
    jpeg::ErrorManager errors;
    jpeg_decompress_struct info{};
    jpeg_progress_mgr progress{};
    QImage pixels; // a member, not a local of the function that jumps back, so its value survives the jump

    Decompressor() { errors.Attach(Common()); }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    /// Must run after setjmp on errors.jump: the creation itself may fail.
    void ReadHeader(const QByteArray& data)
    {
        jpeg_create_decompress(&info);
        jpeg::LimitMemory(Common());
        progress.progress_monitor = &Decompressor::CheckScans;
        info.progress = &progress;
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
        jpeg_mem_src(&info, bytes, static_cast<unsigned long>(data.size()));
        jpeg_read_header(&info, TRUE);
    }

    QString Message() { return errors.Message(Common()); }
    jpeg_common_struct& Common() { return reinterpret_cast<jpeg_common_struct&>(info); }

    static void CheckScans(j_common_ptr object)
    {
        auto* info = reinterpret_cast<j_decompress_ptr>(object);
        if (info->input_scan_number > kMaxScans)
            reinterpret_cast<jpeg::ErrorManager*>(info->err)->Fail("Too many scans in JPEG file");
    }
};

/// After the input of a multi-scan picture has been read: whether every scan it needs was there.
bool HasAllScans(const jpeg_decompress_struct& info)
{
    if (!info.progressive_mode)
        return !jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info));
    // Each coefficient's lowest bit received so far: 0 once complete, -1 when none came.
    for (int component = 0; component < info.num_components; ++component) {
        for (int coefficient = 0; coefficient < DCTSIZE2; ++coefficient) {
            if (info.coef_bits[component][coefficient] != 0)
                return false;
        }
    }
    return true;
}

bool IsInkPicture(const jpeg_decompress_struct& info)
{
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

/// CMYK as libjpeg hands it out, in place, to RGBX. Adobe's files store the inks inverted (255 = no ink).
void InkToRgb(QImage& image, bool inverted)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar* pixel = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, pixel += 4) {
            int c = pixel[0], m = pixel[1], yellow = pixel[2], k = pixel[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                yellow = 255 - yellow;
                k = 255 - k;
            }
            pixel[0] = uchar((c * k + 127) / 255);
            pixel[1] = uchar((m * k + 127) / 255);
            pixel[2] = uchar((yellow * k + 127) / 255);
            pixel[3] = 255;
        }
    }
}

QSize ReadSize(const QByteArray& data)
{
    Decompressor decompressor;
    if (setjmp(decompressor.errors.jump))
        throw Error(decompressor.Message());
    decompressor.ReadHeader(data);
    return QSize(int(decompressor.info.image_width), int(decompressor.info.image_height));
}

QImage Decode(const QByteArray& data, int scale)
{
    Decompressor decompressor;
    QImage& image = decompressor.pixels;
    if (setjmp(decompressor.errors.jump))
        throw Error(decompressor.Message());
    decompressor.ReadHeader(data);
    jpeg_decompress_struct& info = decompressor.info;
    info.scale_num = static_cast<unsigned int>(scale);
    info.scale_denom = 8;
    const bool ink = IsInkPicture(info);
    // libjpeg-turbo writes the fourth byte as 255, which is what RGBX needs.
    info.out_color_space = ink ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_calc_output_dimensions(&info);
    if (qint64(info.output_width) * info.output_height > kMaxDecodedPixels)
        decompressor.errors.Fail("Image too large to draw");
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGBX8888);
    if (image.isNull())
        decompressor.errors.Fail("Not enough memory to draw the image");
    // The arithmetic decoder fills missing data with zeros without a warning, so only Huffman data can tell.
    decompressor.errors.toleratesMissingEnd = !info.arith_code;
    jpeg_start_decompress(&info);
    if (decompressor.errors.endMissing && !HasAllScans(info))
        decompressor.errors.Fail("Premature end of JPEG file");
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    if (ink)
        InkToRgb(image, info.saw_Adobe_marker);
    return std::move(image);
}

} // namespace

int DctScaleFor(QSize natural, QSize target)
{
    // Only 1/8, 1/4 and 1/2: libjpeg-turbo's other scaled transforms run without SIMD and decode slower than
    // the next larger of these.
    for (const int scale : {1, 2, 4}) {
        if (ScaledSide(natural.width(), scale) >= target.width()
            && ScaledSide(natural.height(), scale) >= target.height())
            return scale;
    }
    return 8;
}

void JpegImage::LoadFromFile(const QString& path)
{
    // Plain system calls: a photo is read on every change of species, a text search passes thousands.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (descriptor >= 0)
            ::close(descriptor);
        throw FileError(QStringLiteral("Cannot open file %1").arg(path));
    }
    QByteArray data(static_cast<qsizetype>(status.st_size), Qt::Uninitialized);
    qsizetype total = 0;
    while (total < data.size()) {
        const ssize_t got = ::read(descriptor, data.data() + total, static_cast<size_t>(data.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += got;
    }
    const int readError = total < data.size() ? errno : 0;
    ::close(descriptor);
    if (readError != 0)
        throw Error(QString::fromLocal8Bit(std::strerror(readError)));
    data.truncate(total);
    LoadFromData(data);
}

void JpegImage::LoadFromData(const QByteArray& data)
{
    const QSize size = ReadSize(data);
    data_ = data;
    natural_ = size;
    decoded_ = QImage();
    decodedScale_ = 0;
    rendered_ = QImage();
    decodeCount_ = 0;
}

QImage JpegImage::Render(QSize size)
{
    if (Empty() || size.isEmpty())
        return QImage();
    if (rendered_.size() == size)
        return rendered_;
    if (qint64(size.width()) * size.height() > kMaxDecodedPixels)
        throw Error(QStringLiteral("Image too large to draw"));
    const int scale = DctScaleFor(natural_, size);
    if (scale != decodedScale_) {
        decoded_ = Decode(data_, scale);
        decodedScale_ = scale;
        ++decodeCount_;
    }
    rendered_ = decoded_.size() == size
        ? decoded_
        : decoded_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return rendered_;
}

void JpegImage::Draw(QPainter& painter, const QRect& target)
{
    const QImage image = Render(target.size());
    if (!image.isNull())
        painter.drawImage(target.topLeft(), image);
}

} // namespace orvela
