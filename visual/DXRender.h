// The display library's software renderer: effects the surfaces cannot do by blitting, drawn
// straight into locked surface memory. A locked surface is described by `TRenderSurface`; the
// one process-wide `TDXRMachine` builds a small pipeline tree (texel fetch, optional colour
// key, blend, store) and `Compile` picks, once per blit, a row routine made for the source
// format, destination format and key in use, so no per-pixel format or option test remains.
// Equal formats copy raw values; others convert channel by channel through the descriptors'
// masks and shifts.
//
// The program builds only copies (blend mode 1, with or without a colour key), through the
// wave-distortion blit `WaveBlit`. Trees with blend modes 3-14 are simplified but not
// compiled: `Run` draws nothing for them.
//
// UI thread only: one machine for the process, no re-entry.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "platform/gfx/Geometry.h"

namespace visual {

class TDirectDrawSurface;

// What the processor reports (x86 CPUID); no pixel depends on it.
struct TCPUInfo {
    bool HasCPUID = false;
    std::string Vendor;  // 12 characters when HasCPUID
    uint32_t Signature = 0;
    uint32_t Features = 0;
    bool HasMMX = false;  // feature bit 23
};
const TCPUInfo& CPUInfo();

// Saturation tables: AddClamp(i) = Min(i, 255) for 0..511, SubClamp(i) = Max(i, 0) for
// -255..255, and entry i of the word table holds the 16-bit value i four times.
uint8_t AddClamp(int i);
uint8_t SubClamp(int i);
const std::array<uint64_t, 256>& WordTable();

struct TRenderChannel {
    uint32_t Mask = 0;
    uint32_t Bits = 0;
    uint32_t ShiftRight = 0;
    uint32_t ShiftLeft = 0;
    bool operator==(const TRenderChannel&) const = default;
};

enum TRenderSurfaceKind : uint8_t { rsIndexed = 0, rsRGB = 1 };

struct TRenderSurface {
    TRenderSurfaceKind Kind = rsIndexed;
    int32_t Width = 0, Height = 0;
    int32_t WidthLog2 = 0, HeightLog2 = 0, WidthPow2 = 0, HeightPow2 = 0;
    int32_t WidthWrapMask = 0, HeightWrapMask = 0;
    int32_t BitCount = 0;
    uint8_t* FirstRow = nullptr;
    int32_t Pitch = 0;
    int32_t PitchLog2 = 0;
    // Indexed: Red is the index channel; RGB: red, green, blue. Alpha in both.
    TRenderChannel Red, Green, Blue, Alpha;
    std::array<uint32_t, 256> ColorTable{};
};

// Index of the highest set bit (0 for 0).
int32_t HighestBit(uint32_t v);
// ((pixel and Mask) shr ShiftRight) shl ShiftLeft puts the channel into a byte's top bits.
TRenderChannel ChannelFromMask(uint32_t mask);
bool Compatible(const TRenderSurface& a, const TRenderSurface& b);

// Locks the whole surface and describes it; false (nothing locked) when the lock fails.
bool LockRenderSurface(TDirectDrawSurface& surface, TRenderSurface& desc);
void UnlockRenderSurface(TDirectDrawSurface& surface, const TRenderSurface& desc);

// (a x b) / c with a 64-bit product, truncated toward zero; 0 when c is 0.
int64_t MulDiv(int64_t a, int64_t b, int64_t c);
// sin(index / 256 x 2 pi) from the library's cosine table.
double SineOf(int32_t index);

enum TRenderNodeKind : uint8_t { rnEmpty = 0, rnColor = 1, rnTexture = 3, rnDestPixel = 4, rnBlend = 5 };

struct TRenderNode {
    TRenderNodeKind Kind = rnEmpty;
    uint8_t Channels = 0;  // bits 1 red, 2 green, 4 blue, 8 alpha
    int32_t Slot = 0;      // colour or texture slot
    int32_t Mode = 0;      // blend mode
    TRenderNode* Input1 = nullptr;
    TRenderNode* Input2 = nullptr;
};

struct TRenderColorSlot {
    bool Used = false;
    uint32_t Color = 0;
    uint8_t Channels = 0;
};

struct TRenderTextureSlot {
    bool Used = false;
    TRenderSurface Surface;
    int64_t U = 0, V = 0;          // 16.16 texel position of the row start
    int64_t StepU = 0, StepV = 0;  // 16.16 step per output pixel
    uint8_t Option1 = 0;
    bool KeyEnabled = false;
    uint32_t KeyValue = 0;  // raw source pixel value
    uint8_t Channels = 0;
    uint8_t Option2 = 0;
    std::array<uint16_t, 4> AlphaWords{};
};

class TDXRMachine {
public:
    static constexpr int MaxNodes = 128, SlotCount = 8;
    using TRowRoutine = void (*)(TDXRMachine& m, int32_t count);

    void Initialize();
    TRenderNode* AddTextureNode(int32_t slot);
    TRenderNode* AddDestPixelNode();
    TRenderNode* AddBlendNode(int32_t mode, TRenderNode* input1, TRenderNode* input2);
    // Simplifies the tree, lists the slots it uses and picks the row routine (none for trees
    // the program never builds).
    void Compile(TRenderNode* tree);
    bool Compiled() const { return routine_ != nullptr; }
    // Count pixels of the current row from (X, Y) and the texture positions.
    void Run(int32_t count);

    // Wave-distortion blit of SrcRect of Src into (X, Y, Width, Height) of Dest: row r is
    // shifted right by Round(SineOf(phase of r) x Amplitude), one wave every Period rows.
    void WaveBlit(const TRenderSurface& dest, const TRenderSurface& src, int32_t x, int32_t y,
                  int32_t width, int32_t height, const gfx::TRect& srcRect, int32_t amplitude,
                  int32_t period, int32_t phase, int32_t blendMode, int32_t alpha,
                  bool transparent, uint32_t colorKey);

    TRenderSurface Target;
    int32_t X = 0, Y = 0;
    std::array<TRenderColorSlot, SlotCount> ColorSlots;
    std::array<int32_t, SlotCount> UsedColorSlots{};
    int32_t UsedColorCount = 0;
    std::array<TRenderTextureSlot, SlotCount> TextureSlots;
    std::array<int32_t, SlotCount> UsedTextureSlots{};
    int32_t UsedTextureCount = 0;
    bool Dither = false;

private:
    TRenderNode* NewNode(TRenderNodeKind kind);
    TRenderNode* Simplify(TRenderNode* node, uint8_t needs);
    void Collect(TRenderNode* node);

    std::array<TRenderNode, MaxNodes> nodes_{};
    int32_t nodeCount_ = 0;
    TRowRoutine routine_ = nullptr;
};

// The process-wide machine, made on first use.
TDXRMachine& RenderMachine();

}  // namespace visual
