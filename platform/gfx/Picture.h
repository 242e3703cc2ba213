// `TPicture` holds one graphic of any registered format and loads a file through the
// process-wide registry of graphic classes by file extension. Formats register themselves at
// start-up (`RegisterFileFormat`); the registry answers from the most recent registration
// backwards, so a later registration of an extension wins, and an unknown extension raises
// EInvalidGraphic "Unknown picture file extension (.xyz)". BMP ("bmp") and JPEG ("jpg",
// "jpeg") are registered from the start. Extensions are compared in lower case, without dot.
//
// The registry is filled at start-up and read on the UI thread; pictures are UI-thread objects.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Graphic.h"

namespace gfx {

struct TFileFormat {
    std::string extension;  // lower case, no dot
    std::string description;
    TGraphicClass graphicClass;
};

class TPicture {
public:
    TPicture();
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return graphic_.get(); }
    // A copy of g (of g's own class); none clears the picture.
    void SetGraphic(const TGraphic* g);
    void TakeGraphic(std::unique_ptr<TGraphic> g);
    // The graphic as a bitmap; any other graphic is replaced by a new empty bitmap.
    TBitmap& Bitmap();
    int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
    int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Picks the class by the file's extension; the picture is unchanged when loading fails.
    void LoadFromFile(const std::string& path);
    // EInvalidGraphicOperation when the picture is empty.
    void SaveToFile(const std::string& path);
    void Assign(const TPicture& other);

    std::function<void()> OnChange;

    static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                   TGraphicClass graphicClass);
    // Removes every registration of the class.
    static void UnregisterGraphicClass(TGraphicClass graphicClass);
    // The class for an extension (with or without dot, any case), or none.
    static TGraphicClass FindGraphicClass(const std::string& extension);
    // All registrations, oldest first.
    static std::vector<TFileFormat> FileFormats();

private:
    void changed();
    std::unique_ptr<TGraphic> graphic_;
};

}  // namespace gfx
