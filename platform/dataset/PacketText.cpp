#include "platform/dataset/PacketText.h"

#include "platform/errors/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orvela::packet {
namespace {

// windows-1250, bytes 0x80-0xFF. The five bytes the code page leaves undefined map to the C1 controls
// of the same number, so every byte reads and writes back unchanged.
constexpr std::array<char16_t, 128> kWindows1250High = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

/// Reverse of the table: Unicode to byte, 0 where windows-1250 has no such character.
struct Windows1250Encoder {
    std::array<unsigned char, 0x2200> fromUnicode{};
    Windows1250Encoder() {
        for (int i = 0; i < 128; ++i) {
            fromUnicode[i] = static_cast<unsigned char>(i);
            fromUnicode[kWindows1250High[i]] = static_cast<unsigned char>(0x80 + i);
        }
    }
    /// 0 when the character has no byte (U+0000 itself is never written as a byte).
    unsigned char Byte(char32_t c) const { return c < fromUnicode.size() ? fromUnicode[c] : 0; }
};

const Windows1250Encoder &Encoder() {
    static const Windows1250Encoder encoder;
    return encoder;
}

void AppendCharacterReference(QByteArray &out, char32_t c) {
    // Three digits at least, as the packet format writes its control characters ("&#013;").
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "&#%03u;", static_cast<unsigned>(c));
    out.append(digits, length);
}

void AppendUtf8(QByteArray &out, char32_t c) {
    if (c < 0x80) {
        out.append(static_cast<char>(c));
    } else if (c < 0x800) {
        out.append(static_cast<char>(0xC0 | (c >> 6)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(static_cast<char>(0xE0 | (c >> 12)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.append(static_cast<char>(0xF0 | (c >> 18)));
        out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.append(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

/// Calls visit(char32_t) for every character; an unpaired surrogate passes as itself.
template <class Visit> void ForEachCodePoint(QStringView text, Visit visit) {
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < size && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        visit(c);
    }
}

void AppendCodePoint(QString &out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        out.append(QChar::ReplacementCharacter);
    } else if (QChar::requiresSurrogates(c)) {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    } else {
        out.append(QChar(static_cast<char16_t>(c)));
    }
}

/// Reads "&...;" at raw (which points at '&'); returns the character and advances raw past it,
/// or returns false and leaves raw where it was when it is no reference.
bool ReadReference(const char *&raw, char32_t &c) {
    const char *p = raw + 1;
    if (*p == '#') {
        ++p;
        const bool hex = *p == 'x' || *p == 'X';
        if (hex)
            ++p;
        char32_t value = 0;
        const char *digits = p;
        for (;; ++p) {
            int digit;
            if (*p >= '0' && *p <= '9')
                digit = *p - '0';
            else if (hex && *p >= 'a' && *p <= 'f')
                digit = *p - 'a' + 10;
            else if (hex && *p >= 'A' && *p <= 'F')
                digit = *p - 'A' + 10;
            else
                break;
            value = value * (hex ? 16 : 10) + digit;
            if (value > 0x10FFFF)
                return false;
        }
        if (p == digits || *p != ';')
            return false;
        c = value;
        raw = p + 1;
        return true;
    }
    static constexpr struct {
        const char *name;
        char32_t c;
    } kEntities[] = {{"quot;", '"'}, {"amp;", '&'}, {"apos;", '\''}, {"lt;", '<'}, {"gt;", '>'}};
    for (const auto &entity : kEntities) {
        const size_t length = std::strlen(entity.name);
        if (std::strncmp(p, entity.name, length) == 0) {
            c = entity.c;
            raw = p + length;
            return true;
        }
    }
    return false;
}

/// Next character of UTF-8 text; a malformed sequence yields U+FFFD for its first byte.
char32_t ReadUtf8(const unsigned char *&p) {
    const unsigned char lead = *p++;
    if (lead < 0x80)
        return lead;
    int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
    if (lead >= 0xF5 || extra < 0)
        return QChar::ReplacementCharacter;
    char32_t c = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return QChar::ReplacementCharacter;
        c = (c << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return QChar::ReplacementCharacter;
    p += extra;
    return c;
}

} // namespace

QByteArray EncodeText(QStringView text, PacketEncoding encoding) {
    if (encoding == PacketEncoding::Utf8)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t c) {
        const unsigned char byte = Encoder().Byte(c);
        out.append(byte != 0 || c == 0 ? static_cast<char>(byte) : '?');
    });
    return out;
}

QString DecodeText(const char *bytes, qsizetype length, PacketEncoding encoding) {
    if (encoding == PacketEncoding::Utf8)
        return QString::fromUtf8(bytes, length);
    QString text(length, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = byte < 0x80 ? byte : kWindows1250High[byte - 0x80];
    }
    return text;
}

void AppendEscaped(QByteArray &out, QStringView text, PacketEncoding encoding) {
    ForEachCodePoint(text, [&](char32_t c) {
        switch (c) {
        case '"':
            out.append("&quot;");
            return;
        case '&':
            out.append("&amp;");
            return;
        case '\'':
            out.append("&apos;");
            return;
        case '<':
            out.append("&lt;");
            return;
        case '>':
            out.append("&gt;");
            return;
        case '\\':
            out.append("&#092;");
            return;
        default:
            break;
        }
        if (c < 0x20) {
            AppendCharacterReference(out, c);
        } else if (c < 0x80) {
            out.append(static_cast<char>(c));
        } else if (encoding == PacketEncoding::Utf8) {
            AppendUtf8(out, c);
        } else if (const unsigned char byte = Encoder().Byte(c)) {
            out.append(static_cast<char>(byte));
        } else {
            AppendCharacterReference(out, c);
        }
    });
}

QByteArray Escaped(QStringView text, PacketEncoding encoding) {
    QByteArray out;
    out.reserve(text.size() + 8);
    AppendEscaped(out, text, encoding);
    return out;
}

void AppendRawValue(QByteArray &out, const char *raw) {
    // Bytes that may need an escape, the terminating NUL among them. Tab, CR and LF read as blanks as
    // they stand, so they stay.
    static const std::array<bool, 256> attention = [] {
        std::array<bool, 256> table{};
        for (int c = 0; c < 0x20; ++c)
            table[c] = c != '\t' && c != '\r' && c != '\n';
        table['"'] = table['<'] = table['&'] = true;
        return table;
    }();
    const char *run = raw;
    for (const char *p = raw;; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!attention[c])
            continue;
        // An escape that reads as one stays as it stood; a lone '&' (or an unknown entity) is the
        // lenient reader's and gets escaped like any other text.
        const char *reference = p;
        char32_t referenced;
        if (c == '&' && ReadReference(reference, referenced))
            continue;
        out.append(run, p - run);
        if (c == '\0')
            return;
        if (c == '"')
            out.append("&quot;");
        else if (c == '<')
            out.append("&lt;");
        else if (c == '&')
            out.append("&amp;");
        else
            AppendCharacterReference(out, c);
        run = p + 1;
    }
}

void DecodeValueInto(QString &text, const char *raw, PacketEncoding encoding) {
    const qsizetype length = static_cast<qsizetype>(std::strlen(raw));
    text.resize(0); // keeps the capacity for the next value
    if (encoding == PacketEncoding::Windows1250 && !std::strpbrk(raw, "&\t\r\n")) {
        text.resize(length);
        char16_t *out = reinterpret_cast<char16_t *>(text.data());
        for (qsizetype i = 0; i < length; ++i) {
            const auto byte = static_cast<unsigned char>(raw[i]);
            out[i] = byte < 0x80 ? byte : kWindows1250High[byte - 0x80];
        }
        return;
    }
    text.reserve(length);
    const auto *p = reinterpret_cast<const unsigned char *>(raw);
    while (*p) {
        char32_t c;
        const char *at = reinterpret_cast<const char *>(p);
        if (*p == '&' && ReadReference(at, c)) {
            p = reinterpret_cast<const unsigned char *>(at);
        } else if (*p == '\t' || *p == '\r' || *p == '\n') {
            c = ' ';
            ++p;
        } else if (encoding == PacketEncoding::Utf8) {
            c = ReadUtf8(p);
        } else {
            c = *p < 0x80 ? *p : kWindows1250High[*p - 0x80];
            ++p;
        }
        AppendCodePoint(text, c);
    }
}

QString DecodeValue(const char *raw, PacketEncoding encoding) {
    QString text;
    DecodeValueInto(text, raw, encoding);
    return text;
}

QByteArray DecodeBase64(QByteArrayView text) {
    QByteArray bytes;
    DecodeBase64Into(text, bytes);
    return bytes;
}

void DecodeBase64Into(QByteArrayView text, QByteArray &bytes) {
    // A table decoder: every article is decoded when a text search passes it, and Qt's is four times slower.
    static const std::array<signed char, 256> values = [] {
        std::array<signed char, 256> table{};
        table.fill(-1);
        const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
        return table;
    }();
    qsizetype length = text.size();
    while (length > 0 && text[length - 1] == '=')
        --length;
    // Qt's decoder takes what the table does not: line breaks, padding inside, stray characters.
    const auto fallBack = [&] { bytes = QByteArray::fromBase64(text.toByteArray()); };
    if (length % 4 == 1)
        return fallBack();
    bytes.resize(length * 3 / 4);
    char *out = bytes.data();
    const auto *in = reinterpret_cast<const unsigned char *>(text.data());
    const qsizetype whole = length / 4 * 4;
    for (qsizetype i = 0; i < whole; i += 4) {
        const int a = values[in[i]], b = values[in[i + 1]], c = values[in[i + 2]], d = values[in[i + 3]];
        if ((a | b | c | d) < 0)
            return fallBack();
        const quint32 bits = quint32(a) << 18 | quint32(b) << 12 | quint32(c) << 6 | quint32(d);
        *out++ = static_cast<char>(bits >> 16);
        *out++ = static_cast<char>(bits >> 8);
        *out++ = static_cast<char>(bits);
    }
    if (length > whole) { // two or three characters left
        const int a = values[in[whole]], b = values[in[whole + 1]];
        const int c = length - whole == 3 ? values[in[whole + 2]] : 0;
        if ((a | b | c) < 0)
            return fallBack();
        const quint32 bits = quint32(a) << 18 | quint32(b) << 12 | quint32(c) << 6;
        *out++ = static_cast<char>(bits >> 16);
        if (length - whole == 3)
            *out++ = static_cast<char>(bits >> 8);
    }
    bytes.truncate(out - bytes.data());
}

QByteArray UnescapeAscii(const char *raw) {
    if (!std::strchr(raw, '&'))
        return QByteArray(raw);
    QByteArray bytes;
    for (const char *p = raw; *p;) {
        char32_t c;
        if (*p == '&' && ReadReference(p, c))
            bytes.append(c < 0x80 ? static_cast<char>(c) : '?');
        else
            bytes.append(*p++);
    }
    return bytes;
}

void AppendAttribute(QByteArray &out, const QByteArray &name, const char *escapedValue, qsizetype length) {
    out.append(' ');
    out.append(name);
    out.append("=\"", 2);
    out.append(escapedValue, length);
    out.append('"');
}

void AppendRawAttribute(QByteArray &out, const char *name, const char *raw) {
    out.append(' ');
    out.append(name);
    out.append("=\"", 2);
    AppendRawValue(out, raw);
    out.append('"');
}

void AppendPacketStart(QByteArray &out, PacketEncoding encoding, const std::vector<RawAttributes> &fields,
                       const RawAttributes &params) {
    out.append(encoding == PacketEncoding::Utf8 ? "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                                : "<?xml version=\"1.0\" standalone=\"yes\"?>\n");
    out.append("<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>");
    for (const RawAttributes &field : fields) {
        out.append("<FIELD");
        for (const auto &[name, value] : field)
            AppendAttribute(out, name, value);
        out.append("/>");
    }
    out.append("</FIELDS>");
    if (!params.empty()) {
        out.append("<PARAMS");
        for (const auto &[name, value] : params)
            AppendAttribute(out, name, value);
        out.append("/>");
    }
    out.append("</METADATA><ROWDATA>\n");
}

void AppendPacketEnd(QByteArray &out) {
    out.append("</ROWDATA></DATAPACKET>\n");
}

namespace {

int ReserveWithFallocate(int fd, qint64 length) {
    // Kept size: a reservation cut short leaves the old file as it was.
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) == 0 ? 0 : errno;
}

SpaceReservation reserveSpace = ReserveWithFallocate;

// The temporary is the target's name, this infix and mkstemp's six letters or digits.
constexpr char kTemporaryInfix[] = ".writing.";

bool IsTemporaryOf(const char *name, const QByteArray &prefix) {
    if (std::strncmp(name, prefix.constData(), static_cast<size_t>(prefix.size())) != 0)
        return false;
    const char *tail = name + prefix.size();
    for (int i = 0; i < 6; ++i) {
        const char c = tail[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return tail[6] == '\0';
}

/// Writes every byte, retrying short writes; false when a write fails or writes nothing (full disk,
/// size limit), so a short write never passes for success.
bool WriteAll(int fd, const QByteArray &bytes) {
    for (qsizetype offset = 0; offset < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + offset, static_cast<size_t>(bytes.size() - offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        offset += n;
    }
    return true;
}

bool SameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// Removes what writes killed before their rename left beside the target: regular files of exactly
/// the temporary's name, our own, that no living writer holds locked.
void RemoveStaleTemporaries(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? path.left(slash) : QByteArray("/");
    const QByteArray prefix = path.mid(slash + 1) + kTemporaryInfix;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        if (!IsTemporaryOf(entry->d_name, prefix))
            continue;
        const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat status {};
        struct stat named {};
        // Once locked, the name must still be the file that was opened: its writer may have renamed it
        // away and a new temporary taken the name since.
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(::dirfd(dir), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(status, named))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

} // namespace

void WriteFileAtomically(const QString &fileName, const QByteArray &bytes) {
    const auto fail = [&] { throw FileError(QStringLiteral("Cannot create file %1").arg(fileName)); };
    const QFileInfo target(fileName);
    // Renaming over a file the user may not write would replace it anyway; refuse as a plain write would.
    if (fileName.isEmpty() || target.isDir() || (target.exists() && !target.isWritable()))
        fail();
    // Through a link the file it points at is replaced, not the link.
    const QByteArray path = QFile::encodeName(target.exists() ? target.canonicalFilePath() : target.absoluteFilePath());

    RemoveStaleTemporaries(path);
    // Every step is checked by hand: a short write (full disk, size limit) must never pass for success.
    // The temporary is locked from its creation through the rename, so that no other write takes it for
    // one left by a killed write. Another write's clean-up may still get to it before the lock does; then
    // it is gone or going, and a new one is made. Where the file system has no locks, writes go on as
    // they did without them.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = path + kTemporaryInfix + "XXXXXX";
        fd = ::mkstemp(temporary.data());
        if (fd < 0)
            fail();
        struct stat opened {};
        struct stat named {};
        const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (taken || ::fstat(fd, &opened) != 0 ||
            ::lstat(temporary.constData(), &named) != 0 || !SameFile(opened, named)) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0)
        fail();
    bool written = true;
    struct stat old {};
    if (::stat(path.constData(), &old) == 0) {
        written = ::fchmod(fd, old.st_mode & 07777) == 0;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        written = ::fchmod(fd, 0666 & ~mask) == 0;
    }
    written = written && WriteAll(fd, bytes);
    written = ::fsync(fd) == 0 && written;
    written = written && ::rename(temporary.constData(), path.constData()) == 0;
    if (!written)
        ::unlink(temporary.constData());
    // Closing is what releases the lock, so it comes after the rename; what the rename moved is on disk
    // already.
    ::close(fd);
    if (!written)
        fail();
}

void WriteFileInPlace(const QString &fileName, const QByteArray &bytes) {
    const QByteArray path = QFile::encodeName(fileName);
    // Non-blocking, so that a pipe nobody reads fails at once instead of hanging.
    constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_CLOEXEC;
    int fd = path.isEmpty() ? -1 : ::open(path.constData(), kFlags | O_CREAT | O_EXCL, 0666);
    const bool created = fd >= 0;
    if (!created && errno == EEXIST)
        fd = ::open(path.constData(), kFlags);
    struct stat status {};
    bool written = fd >= 0 && ::fstat(fd, &status) == 0;
    const bool regular = written && S_ISREG(status.st_mode);
    if (written && !regular)
        written = ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    // Only a full disk or a size limit refuses; a file system that cannot reserve space is written as it is.
    int refusal = 0;
    if (written && regular && !bytes.isEmpty()) {
        const int claimed = reserveSpace(fd, bytes.size());
        if (claimed == ENOSPC || claimed == EDQUOT || claimed == EFBIG) {
            refusal = claimed;
            written = false;
            // A reservation cut short may hold blocks past the end; truncating to the same size frees them.
            ::ftruncate(fd, status.st_size);
        }
    }
    written = written && WriteAll(fd, bytes);
    if (written && regular)
        written = ::ftruncate(fd, bytes.size()) == 0;
    if (fd >= 0)
        written = ::close(fd) == 0 && written;
    if (!written) {
        if (created)
            ::unlink(path.constData());
        const QString message = QStringLiteral("Cannot create file %1").arg(fileName);
        throw FileError(refusal ? message + QStringLiteral(": ") + qt_error_string(refusal) : message);
    }
}

SpaceReservation SetSpaceReservation(SpaceReservation reservation) {
    return std::exchange(reserveSpace, reservation ? reservation : ReserveWithFallocate);
}

} // namespace orvela::packet
