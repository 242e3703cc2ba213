// `TFileFormatList`: the picture formats' own registry over the picture class's. Every
// extension has a record (its individual description and format kinds) bound to a class
// record (the class, its common description and how many extensions use it); registering an
// extension also registers it with gfx::TPicture under its description, so the picture class
// picks the reader by extension. Extensions compare case-insensitively. UI thread, filled at
// start-up.
#pragma once

#include "platform/gfx/Graphic.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Members of a `TFormatKinds` set; stored with each extension, read by nothing else.
enum TFormatKind : uint8_t {
    fkLayered = 2,
    fkMultiImage = 4,
    fkRaster = 8,
    fkVector = 16,
};
using TFormatKinds = uint8_t;

class TFileFormatList {
public:
    struct TClassEntry {
        gfx::TGraphicClass GraphicClass = nullptr;
        std::string Description;
        int Count = 0;
    };
    struct TExtensionEntry {
        std::string Extension;
        std::string Description;
        TFormatKinds FormatKinds = 0;
        TClassEntry* Class = nullptr;
    };

    TFileFormatList();
    ~TFileFormatList();
    TFileFormatList(const TFileFormatList&) = delete;
    TFileFormatList& operator=(const TFileFormatList&) = delete;

    // Unregisters every class from the picture class (every extension of it goes) and
    // forgets all records.
    void Clear();
    // Index of the extension's record, -1 for none or an empty extension.
    int FindExtension(const std::string& Extension) const;
    int FindGraphicClass(gfx::TGraphicClass GraphicClass) const;
    // An empty extension does nothing; a known one raises gfx::EInvalidGraphic
    // "Attempt to register %s twice." unless Replace. A non-empty Common becomes the class's
    // description, which stands in for an empty Individual.
    void RegisterFileFormat(const std::string& Extension, const std::string& Common, const std::string& Individual,
                            TFormatKinds FormatKinds, bool Replace, gfx::TGraphicClass GraphicClass);
    // Forgets one extension (the class leaves the picture class with its last extension),
    // or, for an empty Extension, the whole class.
    void UnregisterFileFormat(const std::string& Extension, gfx::TGraphicClass GraphicClass);

    int ClassCount() const { return int(classes_.size()); }
    int ExtensionCount() const { return int(extensions_.size()); }
    const TClassEntry& ClassRecord(int Index) const { return *classes_.at(size_t(Index)); }
    const TExtensionEntry& ExtensionRecord(int Index) const { return *extensions_.at(size_t(Index)); }

private:
    void attach(TExtensionEntry& entry, const std::string& Common, gfx::TGraphicClass GraphicClass);
    void release(TClassEntry* entry);

    std::vector<std::unique_ptr<TClassEntry>> classes_;
    std::vector<std::unique_ptr<TExtensionEntry>> extensions_;
};
