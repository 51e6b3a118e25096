#include "platform/jpeg/WriteJpeg.h"

#include "platform/errors/Errors.h"
#include "platform/jpeg/LibJpeg.h"

#include <QImage>
#include <QSaveFile>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace orvela {

namespace {

/// One libjpeg compressor writing to a buffer that libjpeg grows; both freed whatever way its user leaves.
struct Compressor {
    jpeg::ErrorManager errors;
    jpeg_compress_struct info{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    Compressor() { errors.Attach(reinterpret_cast<jpeg_common_struct&>(info)); }
    ~Compressor()
    {
        jpeg_destroy_compress(&info);
        std::free(buffer);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

/// RGB to the inks in Adobe's inverted form (255 = no ink): the grey part goes to black.
void RgbToInvertedInk(const uchar* rgb, uchar* ink, int width)
{
    for (int x = 0; x < width; ++x, rgb += 3, ink += 4) {
        const int lightest = std::max({rgb[0], rgb[1], rgb[2]});
        // Inverted cyan is R / lightest scaled to 255 (no ink where the colour is as light as it gets).
        for (int channel = 0; channel < 3; ++channel)
            ink[channel] = lightest == 0 ? 255 : uchar((rgb[channel] * 255 + lightest / 2) / lightest);
        ink[3] = uchar(lightest);
    }
}

} // namespace

QByteArray EncodeJpeg(const QImage& image, const JpegWriteOptions& options)
{
    if (image.isNull())
        throw Error(QStringLiteral("Empty image cannot be saved as JPEG"));
    const bool ink = options.colours == JpegColours::Cmyk || options.colours == JpegColours::Ycck;
    const QImage source = image.convertToFormat(QImage::Format_RGB888);
    std::vector<uchar> inkRow(ink ? size_t(source.width()) * 4 : 0);

    Compressor compressor;
    if (setjmp(compressor.errors.jump))
        throw Error(compressor.errors.Message(reinterpret_cast<jpeg_common_struct&>(compressor.info)));
    jpeg_compress_struct& info = compressor.info;
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &compressor.buffer, &compressor.size);
    info.image_width = JDIMENSION(source.width());
    info.image_height = JDIMENSION(source.height());
    info.input_components = ink ? 4 : 3;
    info.in_color_space = ink ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    // libjpeg's own conversion gives the grey of the JPEG luminance weights.
    if (options.colours == JpegColours::Grayscale)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    if (options.colours == JpegColours::Ycck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    jpeg_set_quality(&info, std::clamp(options.quality, 1, 100), TRUE);
    if (options.progressive)
        jpeg_simple_progression(&info);
    info.restart_in_rows = std::max(options.restartRows, 0);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const uchar* line = source.constScanLine(int(info.next_scanline));
        if (ink)
            RgbToInvertedInk(line, inkRow.data(), source.width());
        JSAMPROW row = ink ? inkRow.data() : const_cast<uchar*>(line);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return QByteArray(reinterpret_cast<const char*>(compressor.buffer), qsizetype(compressor.size));
}

void WriteJpeg(const QImage& image, const QString& path, const JpegWriteOptions& options)
{
    const QByteArray data = EncodeJpeg(image, options);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(QStringLiteral("Cannot create file %1").arg(path));
    if (file.write(data) != data.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write file %1: %2").arg(path, file.errorString()));
}

} // namespace orvela
