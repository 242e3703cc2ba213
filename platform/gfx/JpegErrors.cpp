#include "platform/gfx/JpegErrors.h"

#include <jerror.h>

namespace gfx {

namespace {

extern "C" void jpegErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

bool isDamage(int code)
{
    switch (code) {
    case JWRN_HIT_MARKER:  // premature end of a data segment
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:  // a marker where a restart marker belongs
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_JPEG_EOF:
        return true;
    default:
        return false;
    }
}

// Trace messages (level 0 and up) are dropped; warnings are counted, as libjpeg's own
// routine does, and handed on.
extern "C" void jpegEmitMessage(j_common_ptr cinfo, int level)
{
    auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    if (level >= 0)
        return;
    if (err->DamageIsError && isDamage(err->pub.msg_code))
        std::longjmp(err->jump, 1);
    err->pub.num_warnings++;
    if (err->OnWarning) {
        char text[JMSG_LENGTH_MAX];
        (*err->pub.format_message)(cinfo, text);
        err->OnWarning(err->WarningContext, text);
    }
}

}  // namespace

jpeg_error_mgr* SetupJpegErrors(TJpegErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = jpegErrorExit;
    err.pub.emit_message = jpegEmitMessage;
    return &err.pub;
}

}  // namespace gfx
