#include "labels/forms/CDLists.h"

#include "pictures/libImg.h"
#include "platform/forms/Image.h"
#include "platform/forms/ImageList.h"
#include "tags/libID3Tag.h"
#include "util/libText.h"
#include "util/libWindows.h"

#include <algorithm>

namespace cdlabel {

namespace {

// The photo's thumbnail, or false when the file is no readable picture.
bool makeThumbnail(const std::string& File, forms::TImageList& Thumbs)
{
    forms::TImage image;
    if (!LoadPictureFile(image, File, true) || image.Picture().Width() <= 0 || image.Picture().Height() <= 0)
        return false;
    FitImageCentered(image, ThumbSide, ThumbSide);
    Thumbs.Add(image.Picture().Bitmap());
    return true;
}

}  // namespace

void AddUnique(std::vector<std::string>& List, const std::string& Name)
{
    if (!Name.empty() && std::find(List.begin(), List.end(), Name) == List.end())
        List.push_back(Name);
}

void BuildDesignLists(const std::vector<TPlaylistRow>& Rows, const std::string& MusicFolder,
                      TDesignLists& Lists, forms::TImageList& Thumbs)
{
    Lists = {};
    for (const TPlaylistRow& row : Rows) {
        ReadTag(row.Path);
        AddUnique(Lists.Albums, TrimBlanksUtf8(CurrentTag.Album));
        AddUnique(Lists.Artists, TrimBlanksUtf8(CurrentTag.Artist));
        const std::string photo = TrimBlanksUtf8(CurrentTag.PhotoName);
        if (IsPlainPhotoName(photo))
            AddUnique(Lists.PhotoNames, photo);
    }
    if (MusicFolder.empty())
        return;
    std::vector<std::string> jpegs;
    FindFiles(jpegs, MusicFolder + "/*.jpg", true);
    Lists.PhotoNames.insert(Lists.PhotoNames.end(), jpegs.begin(), jpegs.end());

    for (const std::string& name : Lists.PhotoNames) {
        const std::string file = MusicFolder + "/" + name;
        if (!IsRegularFile(file))
            continue;
        if (!makeThumbnail(file, Thumbs))
            continue;
        Lists.PhotoFiles.push_back(file);
    }
}

}  // namespace cdlabel
