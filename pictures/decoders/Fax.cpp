// CCITT one-dimensional coding (ITU-T T.4 modified Huffman). The code tables below are the
// standard's; each colour's tree also holds the end-of-line code (value -1) and the invalid
// zero runs (value -2), so that a walk always ends on a node.
//
// Where we differ from a plain walk of the codes: a run longer than the pixels left in its row
// is cut at the row's end instead of spilling into the next row, every write is checked
// against the destination, and each modified Huffman row starts white.
#include <algorithm>
#include <array>
#include <cstring>

#include "pictures/decoders/GraphicCompression.h"

namespace decoders {

namespace {

struct Code {
    const char* bits;
    int32_t value;
};

// Terminating codes 0..63, then make-up codes 64..1728.
constexpr std::array<const char*, 64 + 27> whiteCodes = {
    "00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100",
    "00111", "01000", "001000", "000011", "110100", "110101", "101010", "101011", "0100111",
    "0001100", "0001000", "0010111", "0000011", "0000100", "0101000", "0101011", "0010011",
    "0100100", "0011000", "00000010", "00000011", "00011010", "00011011", "00010010",
    "00010011", "00010100", "00010101", "00010110", "00010111", "00101000", "00101001",
    "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101",
    "01011000", "01011001", "01011010", "01011011", "01001010", "01001011", "00110010",
    "00110011", "00110100",
    // make-up 64..1728
    "11011", "10010", "010111", "0110111", "00110110", "00110111", "01100100", "01100101",
    "01101000", "01100111", "011001100", "011001101", "011010010", "011010011", "011010100",
    "011010101", "011010110", "011010111", "011011000", "011011001", "011011010", "011011011",
    "010011000", "010011001", "010011010", "011000", "010011011"};

constexpr std::array<const char*, 64 + 27> blackCodes = {
    "0000110111", "010", "11", "10", "011", "0011", "0010", "00011", "000101", "000100",
    "0000100", "0000101", "0000111", "00000100", "00000111", "000011000", "0000010111",
    "0000011000", "0000001000", "00001100111", "00001101000", "00001101100", "00000110111",
    "00000101000", "00000010111", "00000011000", "000011001010", "000011001011",
    "000011001100", "000011001101", "000001101000", "000001101001", "000001101010",
    "000001101011", "000011010010", "000011010011", "000011010100", "000011010101",
    "000011010110", "000011010111", "000001101100", "000001101101", "000011011010",
    "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100",
    "000000110111", "000000111000", "000000100111", "000000101000", "000001011000",
    "000001011001", "000000101011", "000000101100", "000001011010", "000001100110",
    "000001100111",
    // make-up 64..1728
    "0000001111", "000011001000", "000011001001", "000001011011", "000000110011",
    "000000110100", "000000110101", "0000001101100", "0000001101101", "0000001001010",
    "0000001001011", "0000001001100", "0000001001101", "0000001110010", "0000001110011",
    "0000001110100", "0000001110101", "0000001110110", "0000001110111", "0000001010010",
    "0000001010011", "0000001010100", "0000001010101", "0000001011010", "0000001011011",
    "0000001100100", "0000001100101"};

// Make-up codes 1792..2560, shared by both colours.
constexpr std::array<const char*, 13> extendedCodes = {
    "00000001000", "00000001100", "00000001101", "000000010010", "000000010011",
    "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
    "000000011101", "000000011110", "000000011111"};

constexpr Code specialCodes[] = {
    {"000000000001", -1},                                                  // end of line
    {"000000001", -2}, {"0000000001", -2}, {"00000000001", -2}, {"000000000000", -2}};

void insert(std::vector<TCCITTDecoder::TNode>& tree, const char* bits, int32_t value)
{
    int32_t node = 0;
    for (const char* b = bits; *b; ++b) {
        const int bit = *b - '0';
        if (tree[size_t(node)].Child[bit] == 0) {
            tree.push_back({});
            tree[size_t(node)].Child[bit] = int32_t(tree.size() - 1);
        }
        node = tree[size_t(node)].Child[bit];
    }
    tree[size_t(node)].Value = value;
}

std::vector<TCCITTDecoder::TNode> buildTree(const std::array<const char*, 64 + 27>& codes)
{
    std::vector<TCCITTDecoder::TNode> tree(1);
    for (size_t i = 0; i < codes.size(); ++i)
        insert(tree, codes[i], i < 64 ? int32_t(i) : int32_t(i - 63) * 64);
    for (size_t i = 0; i < extendedCodes.size(); ++i)
        insert(tree, extendedCodes[i], int32_t(i + 28) * 64);
    for (const Code& c : specialCodes)
        insert(tree, c.bits, c.value);
    return tree;
}

}  // namespace

uint8_t ReversedBits(uint8_t Byte)
{
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b))
                    r |= 0x80 >> b;
            t[size_t(i)] = uint8_t(r);
        }
        return t;
    }();
    return table[Byte];
}

TCCITTDecoder::TCCITTDecoder(uint32_t Options, bool SwapBits, uint32_t Width, bool WordAligned)
    : options_(Options), swapBits_(SwapBits), width_(Width), wordAligned_(WordAligned),
      whiteTree_(buildTree(whiteCodes)), blackTree_(buildTree(blackCodes))
{
}

void TCCITTDecoder::start(TSource source, TTarget dest)
{
    source_ = source;
    sourcePos_ = 0;
    mask_ = 0;
    dest_ = dest;
    destPos_ = 0;
    freeBits_ = 8;
    rowPixelsLeft_ = width_;
    isWhite_ = true;
    if (!dest_.empty())  // no destination is no pointer to clear through
        std::memset(dest_.data(), 0, dest_.size());
}

bool TCCITTDecoder::nextBit(int& bit)
{
    if (mask_ == 0) {
        if (sourcePos_ >= source_.size())
            return false;
        byte_ = source_[sourcePos_++];
        if (swapBits_)
            byte_ = ReversedBits(byte_);
        mask_ = 0x80;
    }
    bit = (byte_ & mask_) ? 1 : 0;
    return true;
}

int32_t TCCITTDecoder::readRun()
{
    const std::vector<TNode>& tree = isWhite_ ? whiteTree_ : blackTree_;
    int32_t sum = 0;
    int32_t node = 0;
    int bit = 0;
    while (nextBit(bit)) {
        const int32_t child = tree[size_t(node)].Child[bit];
        if (child != 0) {
            node = child;
            consumeBit();
            continue;
        }
        const int32_t value = tree[size_t(node)].Value;
        if (value < 0)
            return value;
        sum += value;
        if (value < 64)
            return sum;
        // A make-up code: its terminating code follows, starting with this bit.
        node = tree[0].Child[bit];
        consumeBit();
    }
    // A code that ends with the source's last bit still counts.
    const TNode& last = tree[size_t(node)];
    if (node != 0 && last.Child[0] == 0 && last.Child[1] == 0)
        return last.Value < 0 ? last.Value : sum + last.Value;
    return sum;
}

void TCCITTDecoder::writeRun(uint32_t n)
{
    n = std::min(n, rowPixelsLeft_);
    rowPixelsLeft_ -= n;
    const bool black = !isWhite_;
    if (freeBits_ < 8 && n > 0) {
        const int first = int(std::min<uint32_t>(n, uint32_t(freeBits_)));
        if (black && destPos_ < dest_.size())
            dest_[destPos_] |= uint8_t((0xFFu >> (8 - first)) << (freeBits_ - first));
        freeBits_ -= first;
        n -= uint32_t(first);
        if (freeBits_ == 0) {
            ++destPos_;
            freeBits_ = 8;
        }
    }
    const size_t whole = std::min<size_t>(n / 8, dest_.size() - std::min(destPos_, dest_.size()));
    if (black && whole > 0)
        std::memset(dest_.data() + destPos_, 0xFF, whole);
    destPos_ += n / 8;
    n %= 8;
    if (n > 0) {
        if (black && destPos_ < dest_.size())
            dest_[destPos_] |= uint8_t(0xFFu << (8 - n));
        freeBits_ = 8 - int(n);
    }
}

void TCCITTDecoder::endRow()
{
    if (freeBits_ < 8)
        ++destPos_;
    freeBits_ = 8;
    rowPixelsLeft_ = width_;
}

void TCCITTFax3Decoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    start(Source.first(std::min(PackedSize, Source.size())), Dest.first(std::min(UnpackedSize, Dest.size())));
    int endOfLines = 0;
    int bit = 0;
    while (sourceLeft() && !destFull()) {
        if (endOfLines == 0) {
            for (int zeros = 0; zeros < 11 && nextBit(bit); consumeBit())
                zeros = bit ? 0 : zeros + 1;
        }
        while (nextBit(bit)) {
            consumeBit();
            if (bit)
                break;
        }
        endOfLines = 0;
        isWhite_ = true;
        while (rowPixelsLeft_ > 0 && sourceLeft() && !destFull()) {
            const int32_t run = readRun();
            if (run == -1)
                ++endOfLines;
            if (run < 0)
                break;
            writeRun(uint32_t(run));
            isWhite_ = !isWhite_;
        }
        endRow();
    }
}

void TCCITTMHDecoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    start(Source.first(std::min(PackedSize, Source.size())), Dest.first(std::min(UnpackedSize, Dest.size())));
    while (sourceLeft() && !destFull()) {
        const int32_t run = readRun();
        if (run > 0)
            writeRun(uint32_t(run));
        isWhite_ = !isWhite_;
        if (rowPixelsLeft_ == 0) {
            endRow();
            isWhite_ = true;
            // The next row's codes start on a new byte (a byte fetched only to see the last
            // code end is that row's first); word aligned, on an even one.
            size_t next = mask_ == 0x80 ? sourcePos_ - 1 : sourcePos_;
            if (wordAligned_ && (next & 1))
                ++next;
            sourcePos_ = std::min(next, source_.size());
            mask_ = 0;
        }
    }
}

}  // namespace decoders
