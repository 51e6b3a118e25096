#pragma once

// Internal to orvela_jpeg: the error handling shared by reading and writing.

#include <QString>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace orvela::jpeg {

/// Error manager that jumps back to the caller instead of letting libjpeg exit the process, and keeps
/// libjpeg quiet on stderr. After the jump Message() holds libjpeg's own text for the failure.
struct ErrorManager {
    jpeg_error_mgr library{};
    std::jmp_buf jump{};
    const char* ownMessage = nullptr; // set when we stop the library for a reason of our own
    /// While set, the end of the file coming too early is only noted in endMissing: a picture may have all
    /// its data and lack no more than the end marker. Missing data then shows as a damage warning.
    bool toleratesMissingEnd = false;
    bool endMissing = false;

    /// Installs the handlers on a not yet created compress or decompress object.
    void Attach(jpeg_common_struct& object);
    QString Message(jpeg_common_struct& object) const;
    /// Aborts the running libjpeg call with a message of our own.
    [[noreturn]] void Fail(const char* message);
};

/// Picture data that has lost content: a stop, not a warning to pass over.
bool IsDamageWarning(int messageCode);

/// Caps the library's working memory so that a header claiming a huge picture fails instead of exhausting memory.
void LimitMemory(jpeg_common_struct& object);

} // namespace orvela::jpeg
