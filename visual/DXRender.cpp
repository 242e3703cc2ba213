#include "visual/DXRender.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/rtl/Numerics.h"
#include "visual/DXClass.h"

namespace visual {

const TCPUInfo& CPUInfo()
{
    static const TCPUInfo info = [] {
        TCPUInfo i;
#if defined(__x86_64__) || defined(__i386__)
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (__get_cpuid(0, &a, &b, &c, &d) && a >= 1) {
            char vendor[12];
            std::memcpy(vendor, &b, 4);
            std::memcpy(vendor + 4, &d, 4);
            std::memcpy(vendor + 8, &c, 4);
            i.Vendor.assign(vendor, 12);
            __get_cpuid(1, &a, &b, &c, &d);
            i.HasCPUID = true;
            i.Signature = a;
            i.Features = d;
            i.HasMMX = (d >> 23) & 1;
        }
#endif
        return i;
    }();
    return info;
}

uint8_t AddClamp(int i) { return uint8_t(std::clamp(i, 0, 255)); }
uint8_t SubClamp(int i) { return uint8_t(std::clamp(i, 0, 255)); }

const std::array<uint64_t, 256>& WordTable()
{
    static const std::array<uint64_t, 256> table = [] {
        std::array<uint64_t, 256> t{};
        for (uint64_t i = 0; i < 256; ++i)
            t[i] = i | i << 16 | i << 32 | i << 48;
        return t;
    }();
    return table;
}

int32_t HighestBit(uint32_t v)
{
    int32_t bit = 0;
    while (v >>= 1)
        ++bit;
    return bit;
}

namespace {

int32_t LowestBit(uint32_t v)
{
    if (!v)
        return 0;
    int32_t bit = 0;
    while (!(v & 1)) {
        v >>= 1;
        ++bit;
    }
    return bit;
}

int32_t BitsIn(uint32_t v)
{
    int32_t n = 0;
    for (; v; v &= v - 1)
        ++n;
    return n;
}

}  // namespace

TRenderChannel ChannelFromMask(uint32_t mask)
{
    TRenderChannel c;
    c.Mask = mask;
    c.Bits = uint32_t(BitsIn(mask));
    const int32_t low = LowestBit(mask), spare = 8 - int32_t(c.Bits);
    c.ShiftRight = uint32_t(std::max(low - spare, 0));
    c.ShiftLeft = uint32_t(std::max(spare - low, 0));
    return c;
}

bool Compatible(const TRenderSurface& a, const TRenderSurface& b)
{
    if (a.Kind != b.Kind)
        return false;
    if (a.Kind == rsIndexed)
        return a.Red == b.Red;
    return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue && a.Alpha == b.Alpha;
}

bool LockRenderSurface(TDirectDrawSurface& surface, TRenderSurface& desc)
{
    desc = TRenderSurface{};
    draw::DrawSurfaceDesc d;
    if (!surface.Lock(nullptr, d))
        return false;
    desc.Width = int32_t(d.dwWidth);
    desc.Height = int32_t(d.dwHeight);
    desc.WidthLog2 = HighestBit(d.dwWidth);
    desc.HeightLog2 = HighestBit(d.dwHeight);
    desc.WidthPow2 = 1 << desc.WidthLog2;
    desc.HeightPow2 = 1 << desc.HeightLog2;
    desc.WidthWrapMask = desc.Width - 1;
    desc.HeightWrapMask = desc.HeightPow2 - 1;
    const auto& pf = d.ddpfPixelFormat;
    desc.BitCount = int32_t(pf.dwRGBBitCount);
    desc.FirstRow = static_cast<uint8_t*>(d.lpSurface);
    desc.Pitch = d.lPitch;
    desc.PitchLog2 = HighestBit(uint32_t(d.lPitch < 0 ? -int64_t(d.lPitch) : d.lPitch));
    constexpr uint32_t PaletteIndexedFlags = 0x1828;
    if (pf.dwFlags & PaletteIndexedFlags) {
        desc.Kind = rsIndexed;
        const uint32_t mask =
            desc.BitCount >= 32 ? 0xFFFFFFFFu : (uint32_t(1) << desc.BitCount) - 1;
        desc.Red = {mask, uint32_t(BitsIn(mask)), uint32_t(LowestBit(mask)), 0};
    } else {
        desc.Kind = rsRGB;
        desc.Red = ChannelFromMask(pf.dwRBitMask);
        desc.Green = ChannelFromMask(pf.dwGBitMask);
        desc.Blue = ChannelFromMask(pf.dwBBitMask);
    }
    return true;
}

void UnlockRenderSurface(TDirectDrawSurface& surface, const TRenderSurface&)
{
    surface.Unlock();
}

int64_t MulDiv(int64_t a, int64_t b, int64_t c)
{
    return c == 0 ? 0 : a * b / c;
}

double SineOf(int32_t index)
{
    return CosineTable()[(uint32_t(index) + 192u) & 255u];
}

// ---- Row routines -------------------------------------------------------------------------

namespace {

template <int N>
inline uint32_t LoadPixel(const uint8_t* p)
{
    if constexpr (N == 1) {
        return *p;
    } else if constexpr (N == 2) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    } else if constexpr (N == 3) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    } else {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
}

template <int N>
inline void StorePixel(uint8_t* p, uint32_t v)
{
    if constexpr (N == 1) {
        *p = uint8_t(v);
    } else if constexpr (N == 2) {
        const uint16_t w = uint16_t(v);
        std::memcpy(p, &w, 2);
    } else if constexpr (N == 3) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
    } else {
        std::memcpy(p, &v, 4);
    }
}

// A source channel to the top bits of a byte, then into the destination's place.
inline uint32_t MoveChannel(uint32_t p, const TRenderChannel& s, const TRenderChannel& d)
{
    const uint32_t byte = ((p & s.Mask) >> s.ShiftRight) << s.ShiftLeft;
    return ((byte >> d.ShiftLeft) << d.ShiftRight) & d.Mask;
}

uint32_t KeyMask(const TRenderSurface& s)
{
    // The unused top byte of a 32-bit pixel never counts.
    return s.Kind == rsIndexed ? s.Red.Mask : s.Red.Mask | s.Green.Mask | s.Blue.Mask | s.Alpha.Mask;
}

template <int SB, int DB, bool Keyed, bool Convert>
void CopyRow(TDXRMachine& m, int32_t count)
{
    const TRenderTextureSlot& t = m.TextureSlots[size_t(m.UsedTextureSlots[0])];
    const TRenderSurface& s = t.Surface;
    const TRenderSurface& d = m.Target;
    uint8_t* out = d.FirstRow + int64_t(m.Y) * d.Pitch + int64_t(m.X) * DB;
    const uint32_t keyMask = KeyMask(s), key = t.KeyValue & keyMask;
    int64_t u = t.U, v = t.V;
    for (int32_t i = 0; i < count; ++i, out += DB, u += t.StepU, v += t.StepV) {
        const uint32_t p = LoadPixel<SB>(s.FirstRow + (v >> 16) * s.Pitch + (u >> 16) * SB);
        if constexpr (Keyed) {
            if ((p & keyMask) == key)
                continue;
        }
        if constexpr (Convert) {
            StorePixel<DB>(out, MoveChannel(p, s.Red, d.Red) | MoveChannel(p, s.Green, d.Green) |
                                    MoveChannel(p, s.Blue, d.Blue) | MoveChannel(p, s.Alpha, d.Alpha));
        } else {
            StorePixel<DB>(out, p);
        }
    }
}

template <int DB>
void ZeroRow(TDXRMachine& m, int32_t count)
{
    uint8_t* out = m.Target.FirstRow + int64_t(m.Y) * m.Target.Pitch + int64_t(m.X) * DB;
    std::memset(out, 0, size_t(count) * DB);
}

void KeepRow(TDXRMachine&, int32_t) {}

template <int SB, int DB>
TDXRMachine::TRowRoutine CopyVariant(bool keyed, bool convert)
{
    if (convert)
        return keyed ? &CopyRow<SB, DB, true, true> : &CopyRow<SB, DB, false, true>;
    return keyed ? &CopyRow<SB, DB, true, false> : &CopyRow<SB, DB, false, false>;
}

template <int SB>
TDXRMachine::TRowRoutine CopyTo(int db, bool keyed, bool convert)
{
    switch (db) {
    case 1: return CopyVariant<SB, 1>(keyed, convert);
    case 2: return CopyVariant<SB, 2>(keyed, convert);
    case 3: return CopyVariant<SB, 3>(keyed, convert);
    case 4: return CopyVariant<SB, 4>(keyed, convert);
    }
    return nullptr;
}

// Whole bytes per pixel, 0 for the sub-byte formats no routine handles.
int BytesPerPixel(const TRenderSurface& s)
{
    return (s.BitCount == 8 || s.BitCount == 16 || s.BitCount == 24 || s.BitCount == 32)
               ? s.BitCount / 8
               : 0;
}

TDXRMachine::TRowRoutine CopyRoutine(const TRenderSurface& src, const TRenderSurface& dst,
                                     bool keyed)
{
    const int sb = BytesPerPixel(src), db = BytesPerPixel(dst);
    if (!sb || !db || !src.FirstRow || !dst.FirstRow)
        return nullptr;
    const bool raw = sb == db && Compatible(src, dst);
    // Indexed pixels only copy to the same layout.
    if (!raw && (src.Kind != rsRGB || dst.Kind != rsRGB))
        return nullptr;
    switch (sb) {
    case 1: return CopyTo<1>(db, keyed, !raw);
    case 2: return CopyTo<2>(db, keyed, !raw);
    case 3: return CopyTo<3>(db, keyed, !raw);
    case 4: return CopyTo<4>(db, keyed, !raw);
    }
    return nullptr;
}

// Channels a blend mode needs from its first and second input.
constexpr uint8_t All = 15, Colour = 7, AlphaBit = 8;
void ModeNeeds(int32_t mode, uint8_t& first, uint8_t& second)
{
    switch (mode) {
    case 1: first = All; second = 0; return;
    case 2: first = 0; second = All; return;
    case 3: case 4: case 5: case 6: case 14: first = All; second = All; return;
    case 7: first = Colour | AlphaBit; second = 0; return;
    case 8: case 9: case 10: case 11: first = Colour | AlphaBit; second = All; return;
    case 12: first = Colour; second = AlphaBit; return;
    case 13: first = Colour | AlphaBit; second = Colour | AlphaBit; return;
    default: first = 0; second = 0; return;
    }
}

bool IsEmpty(const TRenderNode* n) { return !n || n->Kind == rnEmpty; }

}  // namespace

// ---- The machine --------------------------------------------------------------------------

void TDXRMachine::Initialize()
{
    nodes_ = {};
    nodeCount_ = 0;
    routine_ = nullptr;
    Target = TRenderSurface{};
    X = Y = 0;
    ColorSlots = {};
    UsedColorSlots = {};
    UsedColorCount = 0;
    TextureSlots = {};
    UsedTextureSlots = {};
    UsedTextureCount = 0;
}

TRenderNode* TDXRMachine::NewNode(TRenderNodeKind kind)
{
    if (nodeCount_ >= MaxNodes)
        return nullptr;
    TRenderNode* n = &nodes_[size_t(nodeCount_++)];
    *n = TRenderNode{};
    n->Kind = kind;
    return n;
}

TRenderNode* TDXRMachine::AddTextureNode(int32_t slot)
{
    if (slot < 0 || slot >= SlotCount)
        return nullptr;
    TRenderNode* n = NewNode(rnTexture);
    if (n)
        n->Slot = slot;
    return n;
}

TRenderNode* TDXRMachine::AddDestPixelNode() { return NewNode(rnDestPixel); }

TRenderNode* TDXRMachine::AddBlendNode(int32_t mode, TRenderNode* input1, TRenderNode* input2)
{
    TRenderNode* n = NewNode(rnBlend);
    if (n) {
        n->Mode = mode;
        n->Input1 = input1;
        n->Input2 = input2;
    }
    return n;
}

TRenderNode* TDXRMachine::Simplify(TRenderNode* node, uint8_t needs)
{
    if (!node || !needs)
        return nullptr;
    if (node->Kind != rnBlend) {
        node->Channels = needs;
        return node;
    }
    if (node->Mode <= 0 || node->Mode > 14) {
        node->Kind = rnEmpty;
        node->Channels = needs;
        return node;
    }
    if (node->Mode == 1)
        return Simplify(node->Input1, needs);
    if (node->Mode == 2)
        return Simplify(node->Input2, needs);
    uint8_t n1, n2;
    ModeNeeds(node->Mode, n1, n2);
    // Colour channels only as far as this node delivers them; alpha when the mode weighs by it.
    node->Input1 = Simplify(node->Input1, uint8_t((n1 & needs & Colour) | (n1 & AlphaBit)));
    node->Input2 = Simplify(node->Input2, uint8_t((n2 & needs & Colour) | (n2 & AlphaBit)));
    if (node->Mode == 3 || node->Mode == 4) {
        if (IsEmpty(node->Input2))
            return node->Input1;
        if (IsEmpty(node->Input1))
            return node->Input2;
    }
    node->Channels = needs;
    return node;
}

void TDXRMachine::Collect(TRenderNode* node)
{
    if (!node)
        return;
    if (node->Kind == rnBlend) {
        Collect(node->Input1);
        Collect(node->Input2);
    } else if (node->Kind == rnTexture) {
        TextureSlots[size_t(node->Slot)].Channels |= node->Channels;
    } else if (node->Kind == rnColor) {
        ColorSlots[size_t(node->Slot)].Channels |= node->Channels;
    }
}

void TDXRMachine::Compile(TRenderNode* tree)
{
    routine_ = nullptr;
    for (auto& s : TextureSlots)
        s.Channels = 0;
    for (auto& s : ColorSlots)
        s.Channels = 0;
    const uint8_t needs =
        Target.Kind == rsIndexed ? Colour : uint8_t(Colour | (Target.Alpha.Mask ? AlphaBit : 0));
    TRenderNode* root = Simplify(tree, needs);
    Collect(root);
    UsedColorCount = UsedTextureCount = 0;
    for (int32_t i = 0; i < SlotCount; ++i) {
        if (ColorSlots[size_t(i)].Channels)
            UsedColorSlots[size_t(UsedColorCount++)] = i;
        if (TextureSlots[size_t(i)].Channels)
            UsedTextureSlots[size_t(UsedTextureCount++)] = i;
    }
    if (!root)
        return;
    const int db = BytesPerPixel(Target);
    switch (root->Kind) {
    case rnTexture: {
        const TRenderTextureSlot& t = TextureSlots[size_t(root->Slot)];
        routine_ = CopyRoutine(t.Surface, Target, t.KeyEnabled);
        break;
    }
    case rnDestPixel:
        routine_ = db ? &KeepRow : nullptr;
        break;
    case rnEmpty:
        routine_ = db == 1 ? &ZeroRow<1> : db == 2 ? &ZeroRow<2> : db == 3 ? &ZeroRow<3>
                 : db == 4 ? &ZeroRow<4> : nullptr;
        break;
    default:
        break;  // blends the program never builds
    }
}

void TDXRMachine::Run(int32_t count)
{
    if (count > 0 && routine_)
        routine_(*this, count);
}

void TDXRMachine::WaveBlit(const TRenderSurface& dest, const TRenderSurface& src, int32_t x,
                           int32_t y, int32_t width, int32_t height, const gfx::TRect& srcRect,
                           int32_t amplitude, int32_t period, int32_t phase, int32_t blendMode,
                           int32_t alpha, bool transparent, uint32_t colorKey)
{
    if (width == 0 || height == 0)
        return;
    if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > src.Width ||
        srcRect.Bottom > src.Height || srcRect.Left >= srcRect.Right ||
        srcRect.Top >= srcRect.Bottom)
        return;
    // Positions in 64 bits, so no rectangle can wrap past the bounds tests below.
    int64_t y1 = y, skipY = 0;
    int64_t y2 = int64_t(y) + height;
    if (y1 < 0) {
        skipY = -y1;
        y1 = 0;
    }
    y2 = std::min<int64_t>(y2, dest.Height);
    if (dest.Height < 1 || y2 - y1 < 1)
        return;

    const int64_t stepX = MulDiv(srcRect.Right - srcRect.Left, 65536, width);
    const int64_t stepY = MulDiv(srcRect.Bottom - srcRect.Top, 65536, height);
    const int64_t phaseStep = period ? MulDiv(256, 65536, period) : 0;
    // The phase wraps as a 32-bit accumulator: table steps live in its top 16 bits, so adding
    // whole waves (256 steps) to Phase never changes a row, however large the counter grows.
    uint32_t phaseAcc = uint32_t(phase) * 65536u + uint32_t(skipY) * uint32_t(phaseStep);
    int64_t srcY = skipY * stepY + int64_t(srcRect.Top) * 65536;
    if ((((y2 - y1) * stepY + srcY) >> 16) > src.Height)
        return;

    Initialize();
    Target = dest;
    TRenderTextureSlot& t = TextureSlots[0];
    t.Surface = src;
    t.KeyEnabled = transparent;
    t.KeyValue = colorKey;
    t.StepU = stepX;
    t.StepV = 0;
    t.Option1 = t.Option2 = 1;
    t.AlphaWords.fill(uint16_t(alpha * 256));
    Compile(AddBlendNode(blendMode, AddTextureNode(0), AddDestPixelNode()));

    for (int64_t r = y1; r < y2; ++r, phaseAcc += uint32_t(phaseStep), srcY += stepY) {
        const int64_t xOff = rtl::Round(SineOf(int32_t(phaseAcc >> 16)) * amplitude) + x;
        int64_t x1 = xOff, x2 = xOff + width, skipX = 0;
        if (x1 < 0) {
            skipX = -x1;
            x1 = 0;
        }
        x2 = std::min<int64_t>(x2, dest.Width);
        if (dest.Width < 1 || x2 - x1 < 1)
            continue;
        const int64_t srcX = skipX * stepX + int64_t(srcRect.Left) * 65536;
        if (srcX < 0 || srcY < 0 || (((x2 - x1) * stepX + srcX) >> 16) > src.Width)
            return;
        X = int32_t(x1);
        Y = int32_t(r);
        t.U = srcX;
        t.V = srcY;
        Run(int32_t(x2 - x1));
    }
}

TDXRMachine& RenderMachine()
{
    static TDXRMachine machine;
    return machine;
}

}  // namespace visual
