// `TInternalIcon`: reads every image of an icon file (1, 4, 8, 16, 24 or 32 bits per pixel;
// 16 and 32 bits are taken as plain colour, alpha unused) and composes each as the system
// draws an icon: onto a fresh white bitmap of the size the directory entry names, the mask
// with AND, then the colour image with XOR, so white shows where the mask is set and the
// colour there is black. Each image is stretched (nearest pixel) to its entry's size.
//
// Every offset and size is checked against the stream before anything is allocated. An
// image whose data lies past the end, is not a bitmap (a PNG image, for instance), has sides
// outside 1..256 or whose header, colour table, colour rows or mask rows do not fit in the
// entry's data is stored as an empty bitmap, and reading goes on; so is one whose entry has
// a width or height byte of 0. Up to 101 images are kept; a stream that fails while reading
// raises, keeping the images read before.
//
// It also lists the icon groups of an executable into a tree. UI thread for the listing;
// the reading itself works anywhere.
#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"

#include <Qt>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class QTreeWidget;

class TInternalIcon {
public:
    static constexpr int MaxImages = 101;
    // Where the listing keeps each tree item's image index and selected image index.
    static constexpr int ImageIndexRole = Qt::UserRole, SelectedIndexRole = Qt::UserRole + 1;

    TInternalIcon();
    virtual ~TInternalIcon();
    TInternalIcon(const TInternalIcon&) = delete;
    TInternalIcon& operator=(const TInternalIcon&) = delete;

    // Frees the images and forgets the file.
    virtual void Clear();
    // Adds the icon groups of the executable FileName to TreeView: a top-level "GroupIcon"
    // (image index 0, selected 1) with one child per group, "#n" or its name (2, 2). False
    // when the file cannot be read or is no executable; otherwise whether the tree now holds
    // more than one item.
    virtual bool ListIconGroups(const std::string& FileName, QTreeWidget& TreeView);
    // Reads the icon that starts at the stream's position (see above).
    virtual void LoadFromStream(rtl::TStream& Stream);
    // Reads the file; true. A file that cannot be opened raises EFOpenError.
    virtual bool LoadFromFile(const std::string& FileName);

    // Image Index (from 0) and its colour count (2, 16 or 256 for 1, 4 or 8 bits, 0 for more
    // bits, -1 for an image whose data could not be read); nullptr and -1 when Index is not
    // one of the images read.
    gfx::TBitmap* GetImage(int Index, int& Colors) const;

    // The image count the directory names, and how many images were read.
    int ImageCount() const { return imageCount_; }
    int DecodedCount() const { return decoded_; }
    bool LoadedFromFile() const { return fromFile_; }

private:
    uint8_t header_[6] = {};
    int imageCount_ = 0;
    int decoded_ = 0;
    int64_t start_ = 0;
    std::array<std::unique_ptr<gfx::TBitmap>, MaxImages> images_;
    std::array<int, MaxImages> colors_;
    bool fromFile_ = false;
};
