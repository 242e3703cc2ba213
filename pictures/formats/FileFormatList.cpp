#include "pictures/formats/FileFormatList.h"

#include "pictures/formats/FormatGraphic.h"
#include "platform/gfx/Picture.h"
#include "platform/rtl/AsciiCase.h"

#include <algorithm>

namespace {
constexpr const char* msgRegisteredTwice = "Attempt to register %s twice.";
}

TFileFormatList::TFileFormatList() = default;

TFileFormatList::~TFileFormatList()
{
    Clear();
}

void TFileFormatList::Clear()
{
    for (const auto& c : classes_)
        gfx::TPicture::UnregisterGraphicClass(c->GraphicClass);
    classes_.clear();
    extensions_.clear();
}

int TFileFormatList::FindExtension(const std::string& Extension) const
{
    if (Extension.empty())
        return -1;
    for (size_t i = 0; i < extensions_.size(); ++i)
        if (rtl::SameAsciiText(extensions_[i]->Extension, Extension))
            return int(i);
    return -1;
}

int TFileFormatList::FindGraphicClass(gfx::TGraphicClass GraphicClass) const
{
    for (size_t i = 0; i < classes_.size(); ++i)
        if (classes_[i]->GraphicClass == GraphicClass)
            return int(i);
    return -1;
}

void TFileFormatList::attach(TExtensionEntry& entry, const std::string& Common, gfx::TGraphicClass GraphicClass)
{
    const int index = FindGraphicClass(GraphicClass);
    TClassEntry* c = nullptr;
    if (index >= 0) {
        c = classes_[size_t(index)].get();
    } else {
        classes_.push_back(std::make_unique<TClassEntry>());
        c = classes_.back().get();
        c->GraphicClass = GraphicClass;
    }
    if (!Common.empty())
        c->Description = Common;
    ++c->Count;
    entry.Class = c;
}

// One extension fewer for the class; with its last one the class leaves the picture class
// and its record goes.
void TFileFormatList::release(TClassEntry* entry)
{
    if (--entry->Count > 0)
        return;
    gfx::TPicture::UnregisterGraphicClass(entry->GraphicClass);
    std::erase_if(classes_, [entry](const auto& c) { return c.get() == entry; });
}

void TFileFormatList::RegisterFileFormat(const std::string& Extension, const std::string& Common,
                                         const std::string& Individual, TFormatKinds FormatKinds, bool Replace,
                                         gfx::TGraphicClass GraphicClass)
{
    if (Extension.empty())
        return;
    const int index = FindExtension(Extension);
    TExtensionEntry* entry = nullptr;
    if (index < 0) {
        extensions_.push_back(std::make_unique<TExtensionEntry>(TExtensionEntry{Extension, Individual, FormatKinds}));
        entry = extensions_.back().get();
        attach(*entry, Common, GraphicClass);
    } else if (Replace) {
        entry = extensions_[size_t(index)].get();
        if (entry->Class->GraphicClass != GraphicClass) {
            TClassEntry* old = entry->Class;
            attach(*entry, Common, GraphicClass);
            // A class left without extensions leaves the picture class too, or its stale
            // registrations would outlive the list and answer for the extension again.
            release(old);
        }
    } else {
        FormatErrorFmt(msgRegisteredTwice, {Extension});
    }
    const std::string description = Individual.empty() ? entry->Class->Description : Individual;
    gfx::TPicture::RegisterFileFormat(Extension, description, GraphicClass);
}

void TFileFormatList::UnregisterFileFormat(const std::string& Extension, gfx::TGraphicClass GraphicClass)
{
    if (!Extension.empty()) {
        const int index = FindExtension(Extension);
        if (index < 0)
            return;
        release(extensions_[size_t(index)]->Class);
        extensions_.erase(extensions_.begin() + index);
        return;
    }
    // The whole class; one that was never registered has nothing to remove.
    const int classIndex = FindGraphicClass(GraphicClass);
    if (classIndex < 0)
        return;
    TClassEntry* c = classes_[size_t(classIndex)].get();
    for (size_t i = extensions_.size(); i-- > 0 && c->Count > 0;)
        if (extensions_[i]->Class == c) {
            extensions_.erase(extensions_.begin() + std::ptrdiff_t(i));
            --c->Count;
        }
    gfx::TPicture::UnregisterGraphicClass(GraphicClass);
    classes_.erase(classes_.begin() + classIndex);
}
