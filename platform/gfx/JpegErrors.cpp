#include "platform/gfx/JpegErrors.h"

#include <jerror.h>

namespace gfx {

namespace {

extern "C" void jpegErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

// Trace messages (level 0 and up) are dropped; warnings are counted, as libjpeg's own
// routine does, and handed on.
extern "C" void jpegEmitMessage(j_common_ptr cinfo, int level)
{
    auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    if (level >= 0)
        return;
    if (err->TruncationIsError && err->pub.msg_code == JWRN_JPEG_EOF)
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
