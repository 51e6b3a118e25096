#include "platform/jpeg/LibJpeg.h"

#include <jerror.h>

namespace orvela::jpeg {

namespace {

constexpr long kMemoryLimit = 512L * 1024 * 1024;

ErrorManager& ManagerOf(j_common_ptr object)
{
    // library is the first member, so libjpeg's pointer to it is a pointer to the whole manager.
    return *reinterpret_cast<ErrorManager*>(object->err);
}

void ErrorExit(j_common_ptr object)
{
    std::longjmp(ManagerOf(object).jump, 1);
}

void EmitMessage(j_common_ptr object, int level)
{
    if (level >= 0)
        return;
    ErrorManager& manager = ManagerOf(object);
    jpeg_error_mgr& library = manager.library;
    if (library.msg_code == JWRN_JPEG_EOF && manager.toleratesMissingEnd) {
        manager.endMissing = true;
    } else if (IsDamageWarning(library.msg_code)) {
        // A truncated or damaged picture would be drawn with grey bands and pass for a whole one; report it
        // as an error instead. The library's other warnings (stray bytes between markers, unknown revision
        // numbers) leave the picture whole and are passed over, as other viewers do.
        if (manager.endMissing)
            library.msg_code = JWRN_JPEG_EOF; // the plainer name for data lost at the end
        ErrorExit(object);
    }
    ++library.num_warnings;
}

void OutputMessage(j_common_ptr) {}

} // namespace

void ErrorManager::Attach(jpeg_common_struct& object)
{
    object.err = jpeg_std_error(&library);
    library.error_exit = ErrorExit;
    library.emit_message = EmitMessage;
    library.output_message = OutputMessage;
}

QString ErrorManager::Message(jpeg_common_struct& object) const
{
    if (ownMessage)
        return QString::fromLatin1(ownMessage);
    char text[JMSG_LENGTH_MAX] = {};
    library.format_message(&object, text);
    return QString::fromLocal8Bit(text);
}

void ErrorManager::Fail(const char* message)
{
    ownMessage = message;
    std::longjmp(jump, 1);
}

bool IsDamageWarning(int messageCode)
{
    switch (messageCode) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    default:
        return false;
    }
}

void LimitMemory(jpeg_common_struct& object)
{
    object.mem->max_memory_to_use = kMemoryLimit;
}

} // namespace orvela::jpeg
