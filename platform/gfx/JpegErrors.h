// libjpeg's error handling, shared by every user of the library in the program. libjpeg ends
// the process on a fatal error unless told otherwise; this manager jumps back (longjmp) to
// the `setjmp` of the routine that started the work, which cleans up and raises its own
// exception. Warnings are handed on to `OnWarning` with libjpeg's own text. When
// `DamageIsError`, the warnings that mean damaged or truncated data end the work as an error,
// so decoding stops at once instead of filling the rest of a picture whose size a few bytes
// may claim large; those that ordinary photos raise (data after the picture, a newer JFIF
// version, an odd Adobe transform) pass.
//
// The routine that calls setjmp must hold only plain locals between it and the jump: the
// jump skips destructors. One manager per decompression or compression object.
#pragma once
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace gfx {

struct TJpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    void (*OnWarning)(void* context, const char* text) = nullptr;
    void* WarningContext = nullptr;
    bool DamageIsError = true;
};

// Fills err.pub with libjpeg's defaults and our exit and message routines; the answer goes
// into the object's `err` field before it is created.
jpeg_error_mgr* SetupJpegErrors(TJpegErrorManager& err);

}  // namespace gfx
