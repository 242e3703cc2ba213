#include "platform/gfx/Picture.h"
#include "platform/rtl/FileNames.h"

#include <algorithm>
#include <cctype>

#include "platform/gfx/Jpeg.h"

namespace gfx {

namespace {

std::string normalise(std::string ext)
{
    if (!ext.empty() && ext[0] == '.')
        ext.erase(0, 1);
    return rtl::LowerAscii(ext);
}

// Never destroyed: format lists held by other files unregister their classes when they are
// destroyed at exit, in an order between files that nothing fixes.
std::vector<TFileFormat>& registry()
{
    static auto* formats = new std::vector<TFileFormat>{
        {"bmp", "Bitmaps", &TBitmap::ClassInfo},
        {"jpg", "JPEG Image File", &TJPEGImage::ClassInfo},
        {"jpeg", "JPEG Image File", &TJPEGImage::ClassInfo},
    };
    return *formats;
}

std::string extensionOf(const std::string& path)
{
    const std::size_t dot = rtl::ExtensionPos(path);
    return dot < path.size() ? path.substr(dot + 1) : std::string();
}

}  // namespace

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::changed()
{
    if (OnChange)
        OnChange();
}

void TPicture::SetGraphic(const TGraphic* g)
{
    if (!g) {
        graphic_.reset();
        changed();
        return;
    }
    std::unique_ptr<TGraphic> copy = g->ClassType()->create();
    copy->Assign(*g);
    TakeGraphic(std::move(copy));
}

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> g)
{
    graphic_ = std::move(g);
    if (graphic_)
        graphic_->OnChange = [this] { changed(); };
    changed();
}

TBitmap& TPicture::Bitmap()
{
    if (auto* b = dynamic_cast<TBitmap*>(graphic_.get()))
        return *b;
    TakeGraphic(std::make_unique<TBitmap>());
    return static_cast<TBitmap&>(*graphic_);
}

void TPicture::LoadFromFile(const std::string& path)
{
    const std::string ext = normalise(extensionOf(path));
    const TGraphicClass cls = FindGraphicClass(ext);
    if (!cls)
        throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
    std::unique_ptr<TGraphic> g = cls->create();
    g->LoadFromFile(path);
    TakeGraphic(std::move(g));
}

void TPicture::SaveToFile(const std::string& path)
{
    if (!graphic_)
        throw EInvalidGraphicOperation("Cannot save an empty picture");
    graphic_->SaveToFile(path);
}

void TPicture::Assign(const TPicture& other)
{
    if (&other != this)
        SetGraphic(other.Graphic());
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicClass graphicClass)
{
    registry().push_back({normalise(extension), description, graphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass graphicClass)
{
    auto& r = registry();
    r.erase(std::remove_if(r.begin(), r.end(),
                           [&](const TFileFormat& f) { return f.graphicClass == graphicClass; }),
            r.end());
}

TGraphicClass TPicture::FindGraphicClass(const std::string& extension)
{
    const std::string ext = normalise(extension);
    if (ext.empty())
        return nullptr;
    const auto& r = registry();
    for (auto it = r.rbegin(); it != r.rend(); ++it)
        if (it->extension == ext)
            return it->graphicClass;
    return nullptr;
}

std::vector<TFileFormat> TPicture::FileFormats()
{
    return registry();
}

}  // namespace gfx
