// Loads any bytes as a JPEG picture and draws it small, and whole when that stays cheap.

#include "platform/dialogs/Errors.h"
#include "platform/jpeg/JpegImage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orvela::JpegImage picture;
    try {
        picture.LoadFromData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        picture.Render(QSize(std::min(picture.Width(), 37), std::min(picture.Height(), 23)));
        if (qint64(picture.Width()) * picture.Height() <= 1024 * 1024)
            picture.Render(QSize(picture.Width(), picture.Height()));
    } catch (const orvela::Error&) {
    }
    return 0;
}
