#include "platform/help/ChmExtract.h"

#include <QDeadlineTimer>
#include <QFile>

#include <chm_lib.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvela::help {

namespace {

// Stream written by the child: per object a header {kind, path length, data length}, the path and the data;
// the stream ends with a header of kind End. Anything else (a crash, a cut stream) means a broken archive.
enum RecordKind : std::uint32_t { Readable = 1, Unreadable = 2, End = 3 };

struct RecordHeader {
    std::uint32_t kind;
    std::uint32_t pathLength;
    std::uint64_t dataLength;
};

// ---- child side: plain C calls only, no Qt, ends with _exit ----

bool WriteAll(int fd, const void* data, size_t size)
{
    auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

struct ChildState {
    int fd;
    std::uint64_t maxObject;
    std::uint64_t remaining;
    bool failed = false;
};

int WriteObject(chmFile* file, chmUnitInfo* unit, void* context)
{
    auto* state = static_cast<ChildState*>(context);
    const size_t pathLength = strnlen(unit->path, CHM_MAX_PATHLEN);
    if (pathLength == 0)
        return CHM_ENUMERATOR_CONTINUE;
    if (unit->length > state->maxObject || unit->length > state->remaining) {
        state->failed = true;
        return CHM_ENUMERATOR_FAILURE;
    }
    RecordHeader header{Readable, static_cast<std::uint32_t>(pathLength), unit->length};
    unsigned char* data = nullptr;
    if (unit->length > 0) {
        data = static_cast<unsigned char*>(std::malloc(unit->length));
        if (data == nullptr) {
            state->failed = true;
            return CHM_ENUMERATOR_FAILURE;
        }
        const LONGINT64 got =
            chm_retrieve_object(file, unit, data, 0, static_cast<LONGINT64>(unit->length));
        if (got != static_cast<LONGINT64>(unit->length)) {
            header.kind = Unreadable;
            header.dataLength = 0;
        }
    }
    state->remaining -= header.dataLength;
    const bool sent = WriteAll(state->fd, &header, sizeof header) && WriteAll(state->fd, unit->path, pathLength) &&
                      WriteAll(state->fd, data, header.dataLength);
    std::free(data);
    if (!sent) {
        state->failed = true;
        return CHM_ENUMERATOR_FAILURE;
    }
    return CHM_ENUMERATOR_CONTINUE;
}

/// Writes the archive's stream; the result is the child's exit status.
int WriteStream(int fd, const char* path, const ExtractLimits& limits)
{
    chmFile* file = chm_open(path);
    if (file == nullptr)
        return 2;
    ChildState state{fd, static_cast<std::uint64_t>(limits.maxObjectBytes),
                     static_cast<std::uint64_t>(limits.maxTotalBytes)};
    chm_enumerate(file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_SPECIAL | CHM_ENUMERATE_FILES, WriteObject, &state);
    chm_close(file);
    if (state.failed)
        return 3;
    const RecordHeader end{End, 0, 0};
    return WriteAll(fd, &end, sizeof end) ? 0 : 4;
}

[[noreturn, maybe_unused]] void RunChild(int fd, const char* path, const ExtractLimits& limits)
{
    // Die quietly on a fault inside chmlib: the parent reads a cut stream as a broken archive.
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        std::signal(signal, SIG_DFL);
    std::signal(SIGPIPE, SIG_IGN);
    const rlim_t seconds = static_cast<rlim_t>(limits.timeoutMs / 1000 + 1);
    const rlimit cpu{seconds, seconds};
    setrlimit(RLIMIT_CPU, &cpu);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    _exit(WriteStream(fd, path, limits));
}

// ---- parent side ----

/// Reads exactly size bytes before the deadline; false on end of stream, error or timeout.
bool ReadAll(int fd, char* data, size_t size, const QDeadlineTimer& deadline)
{
    while (size > 0) {
        pollfd poll{fd, POLLIN, 0};
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return false;
        const int ready = ::poll(&poll, 1, static_cast<int>(std::min<qint64>(left, 1000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        if (ready == 0)
            continue;
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

std::optional<std::vector<ChmObject>> ReadStream(int fd, const ExtractLimits& limits)
{
    const QDeadlineTimer deadline(limits.timeoutMs);
    std::vector<ChmObject> objects;
    qint64 total = 0;
    for (;;) {
        RecordHeader header{};
        if (!ReadAll(fd, reinterpret_cast<char*>(&header), sizeof header, deadline))
            return std::nullopt;
        if (header.kind == End)
            return objects;
        if ((header.kind != Readable && header.kind != Unreadable) || header.pathLength == 0 ||
            header.pathLength > CHM_MAX_PATHLEN || header.dataLength > static_cast<quint64>(limits.maxObjectBytes) ||
            total + static_cast<qint64>(header.dataLength) > limits.maxTotalBytes)
            return std::nullopt;
        QByteArray path(static_cast<qsizetype>(header.pathLength), Qt::Uninitialized);
        QByteArray bytes(static_cast<qsizetype>(header.dataLength), Qt::Uninitialized);
        if (!ReadAll(fd, path.data(), path.size(), deadline) || !ReadAll(fd, bytes.data(), bytes.size(), deadline))
            return std::nullopt;
        total += bytes.size();
        objects.push_back({QString::fromUtf8(path), std::move(bytes), header.kind == Readable});
    }
}

template <class Number>
Number Little(const unsigned char* bytes)
{
    Number value = 0;
    for (size_t i = sizeof(Number); i-- > 0;)
        value = static_cast<Number>(value << 8 | bytes[i]);
    return value;
}

/// The archive's headers and its chain of directory listing blocks, checked before chmlib sees them:
/// chmlib allocates a block of whatever size the header names and follows the chain without end when
/// it runs in a circle.
bool PlausibleDirectory(int fd, off_t size)
{
    unsigned char itsf[96] = {};
    if (::pread(fd, itsf, sizeof itsf, 0) < 88 || std::memcmp(itsf, "ITSF", 4) != 0)
        return false;
    const auto directory = Little<std::uint64_t>(itsf + 72);
    unsigned char itsp[84] = {};
    if (directory > static_cast<std::uint64_t>(size) || ::pread(fd, itsp, sizeof itsp, static_cast<off_t>(directory)) != 84 ||
        std::memcmp(itsp, "ITSP", 4) != 0)
        return false;
    const auto blockLength = Little<std::uint32_t>(itsp + 16);
    const auto blockCount = Little<std::uint32_t>(itsp + 40);
    const std::uint64_t blocks = directory + Little<std::uint32_t>(itsp + 8);
    if (blockLength < 20 || blockLength > 1024 * 1024)
        return false;
    // From the first listing block along the chain: each block in the file, the chain no longer than
    // the number of blocks the file holds.
    const std::uint64_t fitting = blocks < static_cast<std::uint64_t>(size) ? (size - blocks) / blockLength : 0;
    const std::uint64_t steps = std::min<std::uint64_t>(blockCount, fitting);
    auto block = Little<std::int32_t>(itsp + 32);
    for (std::uint64_t step = 0; block != -1; ++step) {
        const std::uint64_t offset = blocks + static_cast<std::uint64_t>(block) * blockLength;
        unsigned char pmgl[20] = {};
        if (block < 0 || step >= steps || offset + blockLength > static_cast<std::uint64_t>(size) ||
            ::pread(fd, pmgl, sizeof pmgl, static_cast<off_t>(offset)) != 20 || std::memcmp(pmgl, "PMGL", 4) != 0)
            return false;
        block = Little<std::int32_t>(pmgl + 16);
    }
    return true;
}

} // namespace

std::optional<std::vector<ChmObject>> ExtractChm(const QString& filePath, const ExtractLimits& limits)
{
    const QByteArray path = QFile::encodeName(filePath);
    // Only regular files: a FIFO or a device would block chmlib's open or read for ever.
    const int probe = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0)
        return std::nullopt;
    struct stat info{};
    const bool regular = ::fstat(probe, &info) == 0 && S_ISREG(info.st_mode);
    const bool archive = regular && PlausibleDirectory(probe, info.st_size);
    ::close(probe);
    if (!archive)
        return std::nullopt;

#ifdef ORVELA_CHM_IN_PROCESS
    // Fuzz build on request: the same two halves without the child, so that the fuzzer sees into them;
    // the stream goes through a file in memory instead of a pipe.
    const int stream = ::memfd_create("chm-stream", MFD_CLOEXEC);
    if (stream < 0)
        return std::nullopt;
    const int status = WriteStream(stream, path.constData(), limits);
    auto extracted = status == 0 && ::lseek(stream, 0, SEEK_SET) == 0 ? ReadStream(stream, limits) : std::nullopt;
    ::close(stream);
    return extracted;
#else
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipe[0]);
        ::close(pipe[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(pipe[0]);
        RunChild(pipe[1], path.constData(), limits);
    }
    ::close(pipe[1]);
    auto objects = ReadStream(pipe[0], limits);
    ::close(pipe[0]);
    // The child may be stuck (or done); either way it must not outlive the call.
    if (!objects)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return objects;
#endif
}

} // namespace orvela::help
