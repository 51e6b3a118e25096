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

    /// Up to `wanted` bytes from `offset`: read from the file into `buffer`, or pointed at in memory.
    /// Returns how many; 0 at the end, -1 when the file cannot be read.
    ssize_t Read(off_t offset, size_t wanted, JOCTET* buffer, const JOCTET*& bytes) const
    {
        if (descriptor < 0) {
            const qint64 left = qMax<qint64>(0, data.size() - offset);
            bytes = reinterpret_cast<const JOCTET*>(data.constData()) + qMin<qint64>(offset, data.size());
            return ssize_t(qMin<qint64>(left, qint64(wanted)));
        }
        ssize_t got = 0;
        do
            got = ::pread(descriptor, buffer, wanted, offset);
        while (got < 0 && errno == EINTR);
        bytes = buffer;
        return got;
    }
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

/// Feeds the decoder from the picture's data, from its start, a piece at a time: only what the decoder asks
/// for is read, and marker segments that it passes over are skipped without being read.
///
/// Where the data ends early and other bytes follow, the decoder would look for its next marker through all
/// of them, to the file's end. So from one step of its progress to the next (a row of blocks, or the markers
/// before a scan) it may look at no more bytes than such a step can take; past that the data has ended.
struct Reader {
    static constexpr size_t kChunk = 32 * 1024;
    // More than any coded block takes: 64 coefficients of at most 32 bits, doubled by byte stuffing, is 512.
    static constexpr off_t kMostBytesPerBlock = 1024;

    jpeg_source_mgr manager{}; // first, so libjpeg's pointer to it is a pointer to the reader
    const jpeg::Source* source = nullptr;
    off_t offset = 0;     // where the next read starts
    off_t passedOver = 0; // bytes skipped, never looked at
    off_t lookedAtProgress = 0; // LookedAt() at the decoder's last step of progress
    bool ended = false; // once the data has ended, nothing more is read
    std::vector<JOCTET> buffer;

    void Attach(jpeg_decompress_struct& info, const jpeg::Source& data)
    {
        source = &data;
        if (data.descriptor >= 0)
            buffer.resize(kChunk);
        manager.init_source = [](j_decompress_ptr) {};
        manager.fill_input_buffer = &Reader::Fill;
        manager.skip_input_data = &Reader::Skip;
        manager.resync_to_restart = jpeg_resync_to_restart;
        manager.term_source = [](j_decompress_ptr) {};
        info.src = &manager;
    }

    static Reader& Of(j_decompress_ptr info) { return *reinterpret_cast<Reader*>(info->src); }

    /// Bytes handed to the decoder and not skipped.
    off_t LookedAt() const { return offset - passedOver - off_t(manager.bytes_in_buffer); }

    void NoteProgress() { lookedAtProgress = LookedAt(); }

    /// How many bytes the decoder's next step of progress may look at.
    static off_t StepAllowance(const jpeg_decompress_struct& info)
    {
        // Before and between scans only marker segments are read: tables of a few hundred bytes.
        if (info.input_iMCU_row >= info.total_iMCU_rows)
            return off_t(kChunk);
        off_t row = 0;
        for (int component = 0; component < info.num_components; ++component) {
            const jpeg_component_info& blocks = info.comp_info[component];
            row += off_t(blocks.width_in_blocks) * blocks.v_samp_factor * kMostBytesPerBlock;
        }
        return qMax(row, off_t(kChunk));
    }

    static boolean Fill(j_decompress_ptr info)
    {
        Reader& reader = Of(info);
        const off_t room = reader.lookedAtProgress + StepAllowance(*info) - reader.LookedAt();
        const JOCTET* bytes = nullptr;
        ssize_t got = reader.ended || room <= 0
            ? 0
            : reader.source->Read(reader.offset, size_t(qMin<off_t>(room, off_t(kChunk))), reader.buffer.data(), bytes);
        if (got < 0)
            ERREXIT(info, JERR_FILE_READ);
        if (got == 0 && reader.offset == 0)
            ERREXIT(info, JERR_INPUT_EMPTY);
        if (got == 0) {
            // As libjpeg's own sources do at the end of the data: warn, and end the picture with a marker.
            static constexpr JOCTET kEnd[] = {0xFF, JPEG_EOI};
            WARNMS(info, JWRN_JPEG_EOF);
            bytes = kEnd;
            got = 2;
            reader.ended = true;
        } else {
            reader.offset += got;
        }
        reader.manager.next_input_byte = bytes;
        reader.manager.bytes_in_buffer = size_t(got);
        return TRUE;
    }

    static void Skip(j_decompress_ptr info, long count)
    {
        Reader& reader = Of(info);
        if (count <= 0)
            return;
        reader.passedOver += count;
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
    Reader reader;
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
        progress.progress_monitor = &Decompressor::OnProgress;
        info.progress = &progress;
        reader.Attach(info, source);
        jpeg_read_header(&info, TRUE);
    }

    QString Message() { return errors.Message(Common()); }
    jpeg_common_struct& Common() { return reinterpret_cast<jpeg_common_struct&>(info); }

    /// Runs before each row of blocks or set of markers that the decoder takes in.
    static void OnProgress(j_common_ptr object)
    {
        auto* info = reinterpret_cast<j_decompress_ptr>(object);
        if (info->input_scan_number > kMaxScans)
            reinterpret_cast<jpeg::ErrorManager*>(info->err)->Fail("Too many scans in JPEG file");
        Reader::Of(info).NoteProgress();
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
    // Not jpeg_finish_decompress: it would look for the end marker through whatever follows the data.
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
