#include "platform/jpeg/JpegImage.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errors/Errors.h"
#include "platform/jpeg/LibJpeg.h"

#include <jerror.h>

#include <QFile>
#include <QPainter>

#include <utility>
#include <vector>

namespace orvela {

namespace jpeg {

/// The compressed data of a picture: bytes in memory, or a file kept open and read as the decoder asks.
struct Source {
    QByteArray data;
    int descriptor = -1;

    Source() = default;
    ~Source()
    {
        if (descriptor >= 0)
            ::close(descriptor);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
};

} // namespace jpeg

namespace {

// Largest decoded image we allocate (RGBX, 4 bytes a pixel): 256 MB.
constexpr qint64 kMaxDecodedPixels = qint64(1) << 26;
// A progressive file is decoded scan by scan; thousands of tiny scans are an attack, not a photo.
constexpr int kMaxScans = 1000;

int ScaledSide(int side, int scale)
{
    return int((qint64(side) * scale + 7) / 8);
}

/// Feeds the decoder from an open file, from its start, in small reads: only what the decoder asks for is
/// read, and marker segments that it passes over are skipped without being read.
struct FileReader {
    static constexpr size_t kChunk = 32 * 1024;

    jpeg_source_mgr manager{}; // first, so libjpeg's pointer to it is a pointer to the reader
    int descriptor = -1;
    off_t offset = 0;
    std::vector<JOCTET> buffer;

    void Attach(jpeg_decompress_struct& info, int file)
    {
        descriptor = file;
        buffer.resize(kChunk);
        manager.init_source = [](j_decompress_ptr) {};
        manager.fill_input_buffer = &FileReader::Fill;
        manager.skip_input_data = &FileReader::Skip;
        manager.resync_to_restart = jpeg_resync_to_restart;
        manager.term_source = [](j_decompress_ptr) {};
        info.src = &manager;
    }

    static FileReader& Of(j_decompress_ptr info) { return *reinterpret_cast<FileReader*>(info->src); }

    static boolean Fill(j_decompress_ptr info)
    {
        FileReader& reader = Of(info);
        ssize_t got = 0;
        do
            got = ::pread(reader.descriptor, reader.buffer.data(), reader.buffer.size(), reader.offset);
        while (got < 0 && errno == EINTR);
        if (got < 0)
            ERREXIT(info, JERR_FILE_READ);
        if (got == 0 && reader.offset == 0)
            ERREXIT(info, JERR_INPUT_EMPTY);
        if (got == 0) {
            // As libjpeg's own sources do at the end of the data: warn, and end the picture with a marker.
            WARNMS(info, JWRN_JPEG_EOF);
            reader.buffer[0] = 0xFF;
            reader.buffer[1] = JPEG_EOI;
            got = 2;
        } else {
            reader.offset += got;
        }
        reader.manager.next_input_byte = reader.buffer.data();
        reader.manager.bytes_in_buffer = size_t(got);
        return TRUE;
    }

    static void Skip(j_decompress_ptr info, long count)
    {
        FileReader& reader = Of(info);
        if (count <= 0)
            return;
        if (size_t(count) <= reader.manager.bytes_in_buffer) {
            reader.manager.next_input_byte += count;
            reader.manager.bytes_in_buffer -= size_t(count);
            return;
        }
        reader.offset += off_t(size_t(count) - reader.manager.bytes_in_buffer);
        reader.manager.bytes_in_buffer = 0; // the next byte wanted is read from the new offset
    }
};

/// One libjpeg decompressor over a picture's data, destroyed whatever way its user leaves.
struct Decompressor {
    jpeg::ErrorManager errors;
    jpeg_decompress_struct info{};
    jpeg_progress_mgr progress{};
    FileReader file;
    QImage pixels; // a member, not a local of the function that jumps back, so its value survives the jump

    Decompressor() { errors.Attach(Common()); }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    /// Must run after setjmp on errors.jump: the creation itself may fail.
    void ReadHeader(const jpeg::Source& source)
    {
        jpeg_create_decompress(&info);
        jpeg::LimitMemory(Common());
        progress.progress_monitor = &Decompressor::CheckScans;
        info.progress = &progress;
        if (source.descriptor >= 0) {
            file.Attach(info, source.descriptor);
        } else {
            const auto* bytes = reinterpret_cast<const unsigned char*>(source.data.constData());
            jpeg_mem_src(&info, bytes, static_cast<unsigned long>(source.data.size()));
        }
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

QSize ReadSize(const jpeg::Source& source)
{
    Decompressor decompressor;
    if (setjmp(decompressor.errors.jump))
        throw Error(decompressor.Message());
    decompressor.ReadHeader(source);
    return QSize(int(decompressor.info.image_width), int(decompressor.info.image_height));
}

QImage Decode(const jpeg::Source& source, int scale)
{
    Decompressor decompressor;
    QImage& image = decompressor.pixels;
    if (setjmp(decompressor.errors.jump))
        throw Error(decompressor.Message());
    decompressor.ReadHeader(source);
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
    const QByteArray name = QFile::encodeName(path);
    const auto cannotOpen = [&path] { return FileError(QStringLiteral("Cannot open file %1").arg(path)); };
    // Anything but a regular file is refused before it is opened. One swapped in after that look is not
    // waited on by the open and is refused by the second look.
    struct stat status {};
    if (::stat(name.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        throw cannotOpen();
    auto source = std::make_shared<jpeg::Source>();
    source->descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (source->descriptor < 0 || ::fstat(source->descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        throw cannotOpen();
    Load(std::move(source));
}

void JpegImage::LoadFromData(const QByteArray& data)
{
    auto source = std::make_shared<jpeg::Source>();
    source->data = data;
    Load(std::move(source));
}

void JpegImage::Load(std::shared_ptr<const jpeg::Source> source)
{
    const QSize size = ReadSize(*source);
    source_ = std::move(source);
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
        decoded_ = Decode(*source_, scale);
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
