// Loads any bytes as a JPEG picture and draws it small, and whole when that stays cheap; the same bytes
// read from a file, as photos are, must give the same outcome.

#include "platform/errors/Errors.h"
#include "platform/jpeg/JpegImage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>

namespace {

/// The pictures drawn, or nothing when the bytes are refused at the load or at a draw.
std::optional<QList<QImage>> Drawn(orvela::JpegImage& picture, const auto& load)
{
    QList<QImage> drawn;
    try {
        load();
        drawn.append(picture.Render(QSize(std::min(picture.Width(), 37), std::min(picture.Height(), 23))));
        if (qint64(picture.Width()) * picture.Height() <= 1024 * 1024)
            drawn.append(picture.Render(QSize(picture.Width(), picture.Height())));
    } catch (const orvela::Error&) {
        return std::nullopt;
    }
    return drawn;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    orvela::JpegImage fromData;
    const auto inMemory = Drawn(fromData, [&] { fromData.LoadFromData(bytes); });

    const int file = memfd_create("photo", MFD_CLOEXEC);
    if (file < 0 || ::write(file, data, size) != ssize_t(size))
        __builtin_trap();
    orvela::JpegImage fromFile;
    const auto inFile = Drawn(fromFile, [&] { fromFile.LoadFromFile(QStringLiteral("/proc/self/fd/%1").arg(file)); });
    ::close(file);
    if (inMemory != inFile)
        __builtin_trap();
    return 0;
}
