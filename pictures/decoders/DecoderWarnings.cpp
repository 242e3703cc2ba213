// Where the decoders' warnings go. Component code shows no window itself: the program hands
// in its message box, tests a recorder, and a preview silences the warnings meanwhile.
#include <QtGlobal>

#include "pictures/decoders/GraphicCompression.h"

namespace decoders {

namespace {

TDecoderWarningSink& sink()
{
    static TDecoderWarningSink s;
    return s;
}

int& silenced()
{
    static int depth = 0;
    return depth;
}

}  // namespace

void SetDecoderWarningSink(TDecoderWarningSink Sink)
{
    sink() = std::move(Sink);
}

void ShowDecoderWarning(const std::string& Caption, const std::string& Text)
{
    if (silenced() > 0)
        return;
    if (sink())
        sink()(Caption, Text);
    else
        qWarning("%s: %s", Caption.c_str(), Text.c_str());
}

TSilentDecoderWarnings::TSilentDecoderWarnings()
{
    ++silenced();
}

TSilentDecoderWarnings::~TSilentDecoderWarnings()
{
    --silenced();
}

}  // namespace decoders
