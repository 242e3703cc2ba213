// The extension blocks of a GIF frame (graphic control, plain text, comment, application) and
// the registry of application extensions by identifier: each reads its body as the file lays
// it out, sub-block by sub-block, and writes it back.
#include "pictures/gif/GIFImage.h"

#include "pictures/gif/GIFBlocks.h"
#include "platform/rtl/LittleEndian.h"

#include <map>

using namespace gifblocks;

// --- extensions ---------------------------------------------------------------------------

namespace {

// The extension class for the block at the stream's position ('!' and the label), peeking.
std::unique_ptr<TGIFExtension> createExtension(rtl::TStream& Stream, TGIFSubImage* Frame)
{
    const int64_t at = Stream.Position();
    uint8_t head[2];
    readExact(Stream, head, 2);
    std::unique_ptr<TGIFExtension> ext;
    switch (head[1]) {
    case TGIFGraphicControlExtension::Label:
        ext = std::make_unique<TGIFGraphicControlExtension>(Frame);
        break;
    case TGIFTextExtension::Label:
        ext = std::make_unique<TGIFTextExtension>(Frame);
        break;
    case TGIFCommentExtension::Label:
        ext = std::make_unique<TGIFCommentExtension>(Frame);
        break;
    case TGIFApplicationExtension::Label: {
        const uint8_t blockSize = readByte(Stream);
        if (blockSize == 11) {
            TGIFIdentifierCode id{};
            readExact(Stream, id.data(), 11);
            ext = FindGIFAppExtension(id)(Frame);
        } else if (blockSize == 10) {
            ext = std::make_unique<TGIFUnknownAppExtension>(Frame);
        } else {
            ext = std::make_unique<TGIFApplicationExtension>(Frame);
        }
        break;
    }
    default:
        throw GIFException("Unknown extension type");
    }
    Stream.SetPosition(at);
    return ext;
}

}  // namespace

void TGIFExtensionList::LoadFromStream(rtl::TStream& Stream, TGIFSubImage* Parent)
{
    std::optional<uint8_t> b = tryByte(Stream);
    while (b && *b != ',' && *b != ';') {
        if (*b != '!') {
            Warning(GIFSeverityWarning, "Invalid extension introducer");
            break;
        }
        Stream.Seek(-1, rtl::soCurrent);
        if (image_ && ++image_->Budget().Extensions > GIFLimits::MaxExtensions)
            throw GIFException("Too many extensions");
        auto ext = createExtension(Stream, Parent);
        TGIFExtension* e = ext.get();
        Add(std::move(ext));
        e->LoadFromStream(Stream);
        b = tryByte(Stream);
    }
    if (b)
        Stream.Seek(-1, rtl::soCurrent);
}

TGIFExtension::TGIFExtension(TGIFSubImage* SubImage)
    : TGIFItem(SubImage ? SubImage->Image() : nullptr), subImage_(SubImage)
{
}

void TGIFExtension::SaveToStream(rtl::TStream& Stream)
{
    writeByte(Stream, '!');
    writeByte(Stream, ExtensionType());
    SaveBody(Stream);
}

void TGIFExtension::LoadFromStream(rtl::TStream& Stream)
{
    uint8_t head[2];
    readExact(Stream, head, 2);
    if (head[0] != '!')
        throw GIFException("Invalid extension introducer");
    if (head[1] != ExtensionType())
        throw GIFException("Internal error: Extension Instance does not match Extension Label");
    LoadBody(Stream);
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage)
{
    if (subImage_ && !subImage_->GraphicControlExtension())
        subImage_->SetGraphicControlExtension(this);
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension()
{
    if (subImage_ && subImage_->GraphicControlExtension() == this) {
        subImage_->SetGraphicControlExtension(nullptr);
        if (Transparent())
            subImage_->SetTransparentFlag(false);
    }
}

void TGIFGraphicControlExtension::SetTransparent(bool Value)
{
    Packed = uint8_t(Value ? Packed | 1 : Packed & ~1);
    if (subImage_)
        subImage_->SetTransparentFlag(Value);
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int Value)
{
    if (subImage_) {
        TGIFColorMap& map = subImage_->ActiveColorMap();
        if (map.Count() > 0 && Value >= map.Count()) {
            Warning(GIFSeverityWarning, "Invalid color index");
            Value = 0;
        }
        subImage_->FreeCaches();
    }
    TransparentIndex = uint8_t(Value);
}

void TGIFGraphicControlExtension::Assign(const TGIFGraphicControlExtension& Source)
{
    BlockSize = Source.BlockSize;
    Packed = Source.Packed;
    Delay = Source.Delay;
    TransparentIndex = Source.TransparentIndex;
    Terminator = Source.Terminator;
}

void TGIFGraphicControlExtension::LoadBody(rtl::TStream& Stream)
{
    uint8_t body[6] = {};
    const int64_t got = Stream.Read(body, 6);
    BlockSize = body[0];
    Packed = body[1];
    Delay = rtl::le16(body + 2);
    TransparentIndex = body[4];
    Terminator = body[5];
    if (got < 6)
        Warning(GIFSeverityWarning, "Premature end of data");
    if (Transparent() && subImage_)
        subImage_->SetTransparentFlag(true);
}

void TGIFGraphicControlExtension::SaveBody(rtl::TStream& Stream)
{
    writeByte(Stream, BlockSize);
    writeByte(Stream, Packed);
    writeWord(Stream, Delay);
    writeByte(Stream, TransparentIndex);
    writeByte(Stream, 0);
}

void TGIFTextExtension::LoadBody(rtl::TStream& Stream)
{
    uint8_t body[13];
    readExact(Stream, body, 13);
    BlockSize = body[0];
    GridLeft = rtl::le16(body + 1);
    GridTop = rtl::le16(body + 3);
    GridWidth = rtl::le16(body + 5);
    GridHeight = rtl::le16(body + 7);
    CharWidth = body[9];
    CharHeight = body[10];
    ForegroundColorIndex = body[11];
    BackgroundColorIndex = body[12];
    Text.clear();
    ReadStrings(Stream, Text);
}

void TGIFTextExtension::SaveBody(rtl::TStream& Stream)
{
    writeByte(Stream, BlockSize);
    writeWord(Stream, GridLeft);
    writeWord(Stream, GridTop);
    writeWord(Stream, GridWidth);
    writeWord(Stream, GridHeight);
    writeByte(Stream, CharWidth);
    writeByte(Stream, CharHeight);
    writeByte(Stream, ForegroundColorIndex);
    writeByte(Stream, BackgroundColorIndex);
    WriteStrings(Stream, Text);
}

void TGIFCommentExtension::LoadBody(rtl::TStream& Stream)
{
    Text.clear();
    ReadStrings(Stream, Text);
}

void TGIFCommentExtension::SaveBody(rtl::TStream& Stream) { WriteStrings(Stream, Text); }

TGIFIdentifierCode GIFIdentifier(const char* Text)
{
    TGIFIdentifierCode id{};
    for (size_t i = 0; i < id.size() && Text[i]; ++i)
        id[i] = Text[i];
    return id;
}

void TGIFApplicationExtension::LoadBody(rtl::TStream& Stream)
{
    const uint8_t size = readByte(Stream);
    if (size == 10) {
        // A 10-byte identifier block: the 11th byte read belongs to the data.
        Identifier.fill(0);
        readExact(Stream, Identifier.data(), 11);
        Stream.Seek(-1, rtl::soCurrent);
    } else if (size < 10) {
        throw GIFException("Unsupported Application Extension block size");
    } else {
        readExact(Stream, Identifier.data(), 11);
        if (size > 11) {
            if (Stream.Remaining() < size - 11)
                throw GIFException("Premature end of data");
            Stream.Seek(size - 11, rtl::soCurrent);
        }
    }
    LoadData(Stream);
}

void TGIFApplicationExtension::SaveBody(rtl::TStream& Stream)
{
    writeByte(Stream, 11);
    Stream.WriteBuffer(Identifier.data(), 11);
    SaveData(Stream);
}

void TGIFApplicationExtension::LoadData(rtl::TStream&)
{
    throw GIFException("Unsupported Application Extension block size");
}

void TGIFApplicationExtension::SaveData(rtl::TStream& Stream) { writeByte(Stream, 0); }

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* SubImage) : TGIFApplicationExtension(SubImage)
{
    Identifier = GIFIdentifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::LoadData(rtl::TStream& Stream)
{
    for (;;) {
        const uint8_t size = readByte(Stream);
        if (size == 0)
            return;
        uint8_t block[255];
        readExact(Stream, block, size);
        switch (block[0] & 7) {
        case 1:
            if (size < 3)
                throw GIFException("Invalid GIF data");
            Loops = rtl::le16(block + 1);
            break;
        case 2:
            if (size < 5)
                throw GIFException("Invalid GIF data");
            BufferSize = uint32_t(block[1]) | uint32_t(block[2]) << 8 | uint32_t(block[3]) << 16 |
                         uint32_t(block[4]) << 24;
            break;
        default:
            break;
        }
    }
}

void TGIFAppExtNSLoop::SaveData(rtl::TStream& Stream)
{
    writeByte(Stream, 3);
    writeByte(Stream, 1);
    writeWord(Stream, Loops);
    if (BufferSize != 0) {
        writeByte(Stream, 5);
        writeByte(Stream, 2);
        const uint8_t b[4] = {uint8_t(BufferSize), uint8_t(BufferSize >> 8), uint8_t(BufferSize >> 16),
                              uint8_t(BufferSize >> 24)};
        Stream.WriteBuffer(b, 4);
    }
    writeByte(Stream, 0);
}

void TGIFUnknownAppExtension::LoadData(rtl::TStream& Stream)
{
    Blocks.clear();
    for (;;) {
        const uint8_t size = readByte(Stream);
        if (size == 0)
            return;
        if (int(Blocks.size()) >= GIFLimits::MaxDataBlocks)
            throw GIFException("Too many application data blocks");
        TGIFBlock block;
        block.Data.resize(size);
        readExact(Stream, block.Data.data(), size);
        Blocks.push_back(std::move(block));
    }
}

void TGIFUnknownAppExtension::SaveData(rtl::TStream& Stream)
{
    for (const TGIFBlock& block : Blocks) {
        writeByte(Stream, block.Size());
        Stream.WriteBuffer(block.Data.data(), block.Size());
    }
    writeByte(Stream, 0);
}

namespace {

std::map<TGIFIdentifierCode, TGIFAppExtensionFactory>& appExtensions()
{
    static std::map<TGIFIdentifierCode, TGIFAppExtensionFactory> registry = [] {
        std::map<TGIFIdentifierCode, TGIFAppExtensionFactory> r;
        const TGIFAppExtensionFactory loop = [](TGIFSubImage* f) -> std::unique_ptr<TGIFApplicationExtension> {
            return std::make_unique<TGIFAppExtNSLoop>(f);
        };
        r[GIFIdentifier("NETSCAPE2.0")] = loop;
        r[GIFIdentifier("ANIMEXTS1.0")] = loop;
        return r;
    }();
    return registry;
}

}  // namespace

TGIFAppExtensionFactory FindGIFAppExtension(const TGIFIdentifierCode& Identifier)
{
    const auto& registry = appExtensions();
    const auto it = registry.find(Identifier);
    if (it != registry.end())
        return it->second;
    return [](TGIFSubImage* f) -> std::unique_ptr<TGIFApplicationExtension> {
        return std::make_unique<TGIFUnknownAppExtension>(f);
    };
}

void RegisterGIFAppExtension(const TGIFIdentifierCode& Identifier, TGIFAppExtensionFactory Factory)
{
    appExtensions()[Identifier] = Factory;
}

std::unique_ptr<TGIFExtension> CloneGIFExtension(TGIFExtension& Source, TGIFSubImage* Frame)
{
    rtl::TMemoryStream stream;
    Source.SaveToStream(stream);
    stream.SetPosition(0);
    auto copy = createExtension(stream, Frame);
    copy->LoadFromStream(stream);
    return copy;
}
