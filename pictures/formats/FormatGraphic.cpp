#include "pictures/formats/FormatGraphic.h"

#include "platform/rtl/Numerics.h"

#include <algorithm>
#include <utility>

void FormatError(const std::string& Message)
{
    throw gfx::EInvalidGraphic(Message);
}

void FormatErrorFmt(const std::string& Message, std::initializer_list<std::string> Arguments)
{
    std::string text;
    auto arg = Arguments.begin();
    for (size_t i = 0; i < Message.size(); ++i) {
        if (Message[i] == '%' && i + 1 < Message.size() && Message[i + 1] == 's' && arg != Arguments.end()) {
            text += *arg++;
            ++i;
        } else {
            text += Message[i];
        }
    }
    FormatError(text);
}

void SwapShorts(std::span<uint8_t> Data, size_t Count)
{
    Count = std::min(Count, Data.size() / 2);
    for (size_t i = 0; i < Count; ++i)
        std::swap(Data[2 * i], Data[2 * i + 1]);
}

void SwapLongs(std::span<uint8_t> Data, size_t Count)
{
    Count = std::min(Count, Data.size() / 4);
    for (size_t i = 0; i < Count; ++i)
        std::reverse(Data.begin() + 4 * i, Data.begin() + 4 * i + 4);
}

uint32_t SwapLong(uint32_t Value)
{
    return (Value >> 24) | ((Value >> 8) & 0xFF00) | ((Value << 8) & 0xFF0000) | (Value << 24);
}

namespace {

void applyPredictor(std::span<uint8_t> Row, int64_t Count, size_t k)
{
    if (Count <= 0 || Row.size() <= k)
        return;
    const size_t n = std::min<uint64_t>(uint64_t(Count) * k, Row.size() - k);
    for (size_t i = 0; i < n; ++i)
        Row[i + k] = uint8_t(Row[i + k] + Row[i]);
}

}  // namespace

void ApplyPredictor1(std::span<uint8_t> Row, int64_t Count) { applyPredictor(Row, Count, 1); }
void ApplyPredictor3(std::span<uint8_t> Row, int64_t Count) { applyPredictor(Row, Count, 3); }
void ApplyPredictor4(std::span<uint8_t> Row, int64_t Count) { applyPredictor(Row, Count, 4); }

bool Upsample(int32_t Width, int32_t Height, int32_t RowStride, std::span<uint8_t> Plane)
{
    if (Width < 1 || Height < 1 || int64_t(RowStride) < 2 * int64_t(Width))
        return false;
    const size_t W = size_t(Width), H = size_t(Height), S = size_t(RowStride);
    if (Plane.size() < S * (2 * H - 1) + 2 * W)
        return false;
    uint8_t* p = Plane.data();
    // Spread each row to its even row, bottom first so no source row is overwritten early.
    for (size_t y = H; y-- > 0;) {
        const uint8_t* in = p + y * S;
        uint8_t* out = p + 2 * y * S;
        const uint8_t last = in[W - 1];
        for (size_t x = W - 1; x-- > 0;) {
            const uint8_t a = in[x], b = in[x + 1];
            out[2 * x] = a;
            out[2 * x + 1] = uint8_t((a + b + 1) / 2);
        }
        out[2 * W - 2] = out[2 * W - 1] = last;
    }
    // Odd rows from the even rows around them.
    for (size_t y = 0; y + 1 < H; ++y) {
        const uint8_t* up = p + 2 * y * S;
        const uint8_t* down = up + 2 * S;
        uint8_t* out = p + (2 * y + 1) * S;
        for (size_t x = 0; x + 1 < W; ++x) {
            out[2 * x] = uint8_t((up[2 * x] + down[2 * x] + 1) / 2);
            out[2 * x + 1] = uint8_t((up[2 * x] + up[2 * x + 2] + down[2 * x] + down[2 * x + 2] + 2) / 4);
        }
        out[2 * W - 2] = uint8_t((up[2 * W - 2] + down[2 * W - 2] + 1) / 2);
        out[2 * W - 1] = uint8_t((up[2 * W - 1] + down[2 * W - 1] + 1) / 2);
    }
    std::copy_n(p + (2 * H - 2) * S, 2 * W, p + (2 * H - 1) * S);
    return true;
}

TFormatGraphic::TFormatGraphic() : colorManager_(std::make_unique<TColorManager>()) {}

TFormatGraphic::~TFormatGraphic() = default;

bool TFormatGraphic::CanLoad(const std::string& FileName) const
{
    rtl::TFileStream file(FileName, rtl::fmOpenRead);
    return CanLoad(file);
}

bool TFormatGraphic::CanLoad(rtl::TStream&) const
{
    return false;
}

bool TFormatGraphic::ReadImageProperties(rtl::TStream&, uint32_t)
{
    ImageProperties = TImageProperties{};
    ImageProperties.FileGamma = 1.0f;
    return false;
}

void TFormatGraphic::Assign(const gfx::TGraphic& Source)
{
    if (&Source == this)
        return;
    if (const auto* f = dynamic_cast<const TFormatGraphic*>(&Source))
        ImageProperties = f->ImageProperties;
    gfx::TBitmap::Assign(Source);
}

bool TFormatGraphic::BeginLoad(rtl::TStream& Stream, const std::string& FormatWord)
{
    SetSize(0, 0);
    // The readers set only the options they need and the selection keeps what it derived
    // from the schemes (the alpha flag among them) until a scheme or depth changes, so what
    // the last load left behind would steer this one: every load starts from a new manager.
    colorManager_ = std::make_unique<TColorManager>();
    const int64_t start = Stream.Position();
    BasePosition = uint32_t(start);
    // A side of no pixels is refused here, before any reader sizes a row by it.
    if (!ReadImageProperties(Stream, 0) || ImageProperties.Width == 0 || ImageProperties.Height == 0) {
        if (FormatWord.empty())
            return false;
        FormatErrorFmt(msgInvalidImage, {FormatWord});
    }
    Stream.SetPosition(start);
    ProgressRect = gfx::Rect(0, 0, int32_t(std::min<uint32_t>(ImageProperties.Width, INT32_MAX)), 1);
    return true;
}

void TFormatGraphic::ProgressStart(const std::string& Text)
{
    Progress(gfx::psStarting, 0, false, ProgressRect, Text);
}

void TFormatGraphic::ProgressRow(uint32_t Row, bool RedrawNow)
{
    const int32_t height = std::max<int32_t>(1, int32_t(std::min<uint32_t>(ImageProperties.Height, INT32_MAX)));
    Progress(gfx::psRunning, rtl::MulDiv(int32_t(std::min<uint32_t>(Row, INT32_MAX)), 100, height), RedrawNow,
             ProgressRect, std::string());
    ProgressRect = gfx::OffsetRect(ProgressRect, 0, 1);
}

void TFormatGraphic::ProgressEnd()
{
    Progress(gfx::psEnding, 0, false, ProgressRect, std::string());
}
