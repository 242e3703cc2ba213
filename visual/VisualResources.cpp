#include "visual/VisualResources.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include "pictures/gif/GIFImage.h"
#include "platform/gfx/Jpeg.h"
#include "platform/rtl/Streams.h"
#include "resources/BuiltinResources.h"
#include "visual/FFTReal.h"

namespace {

// Slot 1 .. 10 in slot order.
constexpr struct {
    const char* Name;
    const char* Type;
} kPictureSlots[] = {
    {"g01", "GIF"}, {"b01", "BMP"}, {"b02", "BMP"}, {"b03", "BMP"}, {"b04", "BMP"},
    {"j02", "JPG"}, {"g02", "GIF"}, {"d02", "JPG"}, {"d03", "JPG"}, {"b05", "BMP"},
};

// The resource file of ResName.ResType, found without regard to case; empty when absent.
QString findResource(const std::string& ResName, const std::string& ResType)
{
    initBuiltinResources();
    const QString wanted =
        QString::fromStdString(ResName) + QLatin1Char('.') + QString::fromStdString(ResType);
    const QDir dir(QStringLiteral(":/pictures"));
    for (const QString& entry : dir.entryList(QDir::Files)) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return {};
}

}  // namespace

void LoadResImage(gfx::TBitmap& Target, const std::string& ResName, const std::string& ResType)
{
    const QString path = findResource(ResName, ResType);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        throw EResNotFound("Resource " + ResName + " not found");
    const QByteArray bytes = file.readAll();
    rtl::TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));

    // Decoded in memory by the picture classes, as every picture load goes through them; GIF
    // and JPEG pictures become 24-bit bitmaps, as every picture is turned before drawing.
    const QString type = QString::fromStdString(ResType);
    if (type.compare(QStringLiteral("BMP"), Qt::CaseInsensitive) == 0) {
        Target.LoadFromStream(stream);
    } else if (type.compare(QStringLiteral("GIF"), Qt::CaseInsensitive) == 0) {
        TGIFImage gif;
        gif.LoadFromStream(stream);
        gif.AssignTo(Target);
    } else if (type.compare(QStringLiteral("JPG"), Qt::CaseInsensitive) == 0) {
        gfx::TJPEGImage jpeg;
        jpeg.LoadFromStream(stream);
        jpeg.AssignTo(Target);
    } else {
        throw std::runtime_error("Resource " + ResName + " cannot be decoded");
    }
}

void TVisualResources::CreateVisualResources()
{
    FreeVisualResources();
    try {
        for (auto& picture : FPictures)
            picture = std::make_unique<gfx::TBitmap>();
        for (auto& buffer : FBuffers)
            buffer = std::make_unique<TFastBMP>();
        FWorkA = std::make_unique<gfx::TBitmap>();
        FWorkB = std::make_unique<gfx::TBitmap>();
        FWorkA->SetPixelFormat(gfx::pf24bit);
        FWorkB->SetPixelFormat(gfx::pf24bit);
        for (int i = 1; i < PictureCount; ++i)
            LoadResImage(*FPictures[i], kPictureSlots[i - 1].Name, kPictureSlots[i - 1].Type);
        SetupFFT(true);
        FCreated = true;
    } catch (...) {
        FCreated = true;
        FreeVisualResources();
        throw;
    }
}

void TVisualResources::FreeVisualResources()
{
    if (!FCreated)
        return;
    if (FFTState().FFT)
        SetupFFT(false);
    for (auto& picture : FPictures)
        picture.reset();
    for (auto& buffer : FBuffers)
        buffer.reset();
    FWorkA.reset();
    FWorkB.reset();
    FCreated = false;
}
