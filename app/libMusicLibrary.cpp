// The folder scan, the category tree and the list filling of app/libMusic.h.
#include "app/libMusic.h"
#include "util/CaseFold.h"
#include "util/Cp932.h"

#include "app/SortListView.h"
#include "controls/common/ControlTypes.h"
#include "platform/forms/Application.h"
#include "platform/rtl/AsciiCase.h"
#include "platform/rtl/RadixSort.h"
#include "tags/libID3Tag.h"
#include "util/libControl.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Keys of the queued library requests: a newer request of a kind replaces a queued one.
enum TJobKind : int { jobLoad, jobCategory, jobFill, jobRefresh };

// Hands pending events to the loop between the steps of a long loop: at the first step, then
// whenever PumpInterval has passed since the last time. Asking the loop after every file
// would cost more than reading the file's tag; 10 ms keeps every timer and input flowing.
// The clock itself is read every few steps only: a step is a few microseconds, and reading
// the clock (a system call on some machines) costs a good part of one.
class TEventPump {
public:
    void Step()
    {
        if (started_ && ++steps_ % ClockEvery != 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (started_ && now - last_ < PumpInterval)
            return;
        forms::ProcessMessages();
        started_ = true;
        last_ = std::chrono::steady_clock::now();
    }

private:
    static constexpr std::chrono::milliseconds PumpInterval{10};
    static constexpr unsigned ClockEvery = 16;
    bool started_ = false;
    unsigned steps_ = 0;
    std::chrono::steady_clock::time_point last_;
};

// The music list's column that sorts by title (sub-item 1).
constexpr int TitleColumn = 2;
// Sub-item of the full path in a list row.
constexpr int PathSubItem = 7;

// Calls visit(name, is a folder) for each entry of the folder but "." and "..", handing
// events to the loop meanwhile. The entries are read straight from the kernel in
// large batches into a buffer the thread keeps; the type comes with each entry, and only
// links (and file systems that do not tell) are looked up further.
template <class Visit>
void forEachEntry(const std::string& folder, Visit visit)
{
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    const auto close = qScopeGuard([dir] { ::close(dir); });
    constexpr std::size_t BatchBytes = std::size_t(256) * 1024;
    // An event handled meanwhile may list another folder on this thread: that listing reads
    // into a buffer of its own rather than over the entries this one is still visiting.
    thread_local std::vector<char> kept(BatchBytes);
    thread_local bool keptInUse = false;
    const bool nested = keptInUse;
    std::vector<char> own(nested ? BatchBytes : 0);
    std::vector<char>& buffer = nested ? own : kept;
    keptInUse = true;
    const auto release = qScopeGuard([nested] { keptInUse = nested; });
    TEventPump pump;
    for (;;) {
        const ssize_t got = ::getdents64(dir, buffer.data(), buffer.size());
        if (got <= 0)
            return;
        for (ssize_t at = 0; at < got;) {
            if (got - at <= ssize_t(offsetof(dirent64, d_name)))
                return;
            const char* record = buffer.data() + at;
            unsigned short length = 0;
            unsigned char type = DT_UNKNOWN;
            std::memcpy(&length, record + offsetof(dirent64, d_reclen), sizeof length);
            std::memcpy(&type, record + offsetof(dirent64, d_type), sizeof type);
            if (length <= offsetof(dirent64, d_name) || length > got - at)
                return;  // not a record the kernel writes: nothing after it can be trusted
            at += length;
            const char* name = record + offsetof(dirent64, d_name);
            const std::size_t size = ::strnlen(name, length - offsetof(dirent64, d_name));
            const std::string_view view(name, size);
            if (view == "." || view == "..")
                continue;
            bool isFolder = type == DT_DIR;
            if (type == DT_LNK || type == DT_UNKNOWN) {
                struct stat st {};
                isFolder = fstatat(dir, std::string(view).c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
            }
            visit(view, isFolder);
            pump.Step();
        }
    }
}

// The music files of a folder (no folders) in the order the library lists them: by their
// case-folded names, names that fold alike by their bytes, so that they keep one order on
// every system. The names lie one after another in one buffer, and so do their
// folded forms; each name is sorted by a key prepared once, its first 8 folded bytes as a
// number, which sets apart nearly all of them in a radix sort. Names with the same key are
// then put in order by the rest.
class TMusicNames {
public:
    explicit TMusicNames(const std::string& folder)
    {
        forEachEntry(folder, [this](std::string_view name, bool isFolder) {
            if (!isFolder && HasMusicExtension(name))
                add(name);
        });
        const auto folded = [this](const Entry& e) {
            return std::string_view(folded_).substr(e.folded, e.foldedEnd - e.folded);
        };
        std::vector<Entry> buffer(entries_.size());
        rtl::SortByHeads(entries_.data(), entries_.data() + entries_.size(), buffer.data(),
                         [](const Entry& e) { return e.head; }, [&](const Entry& a, const Entry& b) {
                             const int byFolded = folded(a).compare(folded(b));
                             return byFolded != 0 ? byFolded < 0 : name(a) < name(b);
                         });
    }

    std::size_t size() const { return entries_.size(); }
    std::string_view operator[](std::size_t i) const { return name(entries_[i]); }

private:
    struct Entry {
        std::uint64_t head;
        std::uint32_t name, nameEnd, folded, foldedEnd;  // where in the buffers
    };

    void add(std::string_view name)
    {
        Entry e{0, std::uint32_t(names_.size()), 0, std::uint32_t(folded_.size()), 0};
        names_.append(name);
        AppendCaseFolded(name, folded_);
        if (names_.size() > UINT32_MAX || folded_.size() > UINT32_MAX)
            throw std::length_error("too many names in the folder");
        e.nameEnd = std::uint32_t(names_.size());
        e.foldedEnd = std::uint32_t(folded_.size());
        e.head = rtl::TextHead(std::string_view(folded_).substr(e.folded, e.foldedEnd - e.folded));
        entries_.push_back(e);
    }

    std::string_view name(const Entry& e) const { return std::string_view(names_).substr(e.name, e.nameEnd - e.name); }

    std::string names_, folded_;
    std::vector<Entry> entries_;
};

// Suspends a list's painting and resorting while it is refilled.
class TListUpdate {
public:
    explicit TListUpdate(TSortListView* list) : list_(list) { list_->BeginItemUpdate(); }
    ~TListUpdate() { list_->EndItemUpdate(); }
    TListUpdate(const TListUpdate&) = delete;
    TListUpdate& operator=(const TListUpdate&) = delete;

private:
    TSortListView* list_;
};

// The paths of a folder's files, one at a time in one string that serves them all: the
// folder and its slash are written once, and each name after them.
class TFolderPath {
public:
    explicit TFolderPath(const std::string& folder) : path_(folder)
    {
        if (path_.empty() || path_.back() != '/')
            path_ += '/';
        folderSize_ = path_.size();
    }
    const std::string& Of(std::string_view name)
    {
        path_.resize(folderSize_);
        path_.append(name);
        return path_;
    }

private:
    std::string path_;
    std::size_t folderSize_;
};

bool fileExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

TSerialJobs& jobsOf(TMusicLibrary& form, const TSortListView* list)
{
    return list == form.lstMP3 ? form.library : form.playlist;
}

void setSubItem(QTreeWidgetItem* item, int subItem, const std::string& text)
{
    item->setText(subItem + 1, QString::fromStdString(text));
}

// The "No." text of the row at Index (counted from 0), written into Room.
std::string_view rowNumber(int index, std::array<char, 16>& room)
{
    const auto end = std::to_chars(room.data(), room.data() + room.size(), index + 1).ptr;
    return std::string_view(room.data(), std::size_t(end - room.data()));
}

// A list row as TSortListView::AddItem lays it out: the caption in column 0, sub-item n in
// column n + 1, "No." holding Number (empty for a row numbered later); Shown is the title the
// row shows (RowTitle). Rows are made first and added at once: adding rows one by one costs
// the view far more than making them.
QTreeWidgetItem* makeRow(std::string_view shown, std::string_view path, std::string_view artist,
                         std::string_view album, std::string_view year, std::string_view genre,
                         std::string_view track, std::string_view number = {})
{
    auto* row = new TSortListItem({{}, number, shown, artist, album, year, genre, track, path});
    // A flat list's rows: the view need not ask each row for children as it lays them out.
    row->setFlags(row->flags() | Qt::ItemNeverHasChildren);
    return row;
}

void addRows(TSortListView* list, QList<QTreeWidgetItem*>& rows)
{
    list->addTopLevelItems(rows);
    list->ItemChanged();
}

// Writes the row's number into the "No." sub-item of a row that is not in a view yet.
void numberRow(QTreeWidgetItem* row, int index)
{
    std::array<char, 16> room;
    if (row->type() == TSortListItem::Type) {
        auto* item = static_cast<TSortListItem*>(row);
        const std::string_view number = rowNumber(index, room);
        if (item->Text(1) != number)
            item->SetTextQuietly(1, number);
    } else
        row->setText(1, QString::number(index + 1));
}

// The category that a root of the category tree stands for, -1 for none.
int categoryOfRoot(const std::string& root)
{
    static const char* const roots[] = {"Title", "Year", "Genre", "Artist", "Album"};
    for (int i = 0; i < 5; ++i)
        if (root == roots[i])
            return i;
    return -1;
}

std::string categoryValueOf(const QTreeWidgetItem* node)
{
    const QVariant value = node->data(0, CategoryValueRole);
    return value.isValid() ? value.toByteArray().toStdString() : node->text(0).toStdString();
}

// The music list filled with the shown rows of the database, sorted by title. Scanned: the
// database rows come from the scan just made, which found their files, so they are not
// looked up again.
void fillMusicList(TMusicLibrary& form, TSortListView* list, bool scanned)
{
    std::vector<int> shown;
    // The titles of rows without one, by their number among the shown rows.
    std::unordered_map<std::size_t, std::string> untitled;
    TEventPump pump;
    // Rows are looked up afresh after each pause for events: the database may have been
    // written meanwhile (never resized: that is library work, which waits). The rows are
    // then sorted and made without a pause.
    for (int row = 0; row < form.sgdMusic.RowCount(); ++row) {
        const TMusicDatabase::TRow r = form.sgdMusic.Rows(row);
        if (r[mcShown] == "1" && (scanned ? !r[mcPath].empty() : fileExists(std::string(r[mcPath])))) {
            if (r[mcTitle].empty())
                untitled.emplace(shown.size(), RowTitle(r[mcTitle], r[mcPath]));
            shown.push_back(row);
        }
        pump.Step();
    }
    if (shown.empty())
        return;
    const auto title = [&](std::size_t i) -> std::string_view {
        const std::string_view own = form.sgdMusic.Rows(shown[i])[mcTitle];
        return own.empty() ? std::string_view(untitled.at(i)) : own;
    };
    list->MarkSortColumn(TitleColumn);
    // The titles are sorted before the rows are made, so that the rows lie in memory in the
    // list's order.
    list->AddSortedRows(
        shown.size(),
        [&](std::size_t i) { return title(i); },
        [&](const std::vector<std::uint32_t>& order, std::size_t place) {
            // The database rows are taken in the titles' order, which is as good as random:
            // each is fetched a while before it is needed, and its texts once the row itself
            // has come.
            if (place + 16 < order.size())
                form.sgdMusic.Prefetch(shown[order[place + 16]], false);
            if (place + 8 < order.size())
                form.sgdMusic.Prefetch(shown[order[place + 8]], true);
            const std::size_t i = order[place];
            const TMusicDatabase::TRow r = form.sgdMusic.Rows(shown[i]);
            // A row made at its place in the list is numbered as it is made: numberRow then
            // finds its number written.
            std::array<char, 16> room;
            return makeRow(title(i), r[mcPath], r[mcArtist], r[mcAlbum], r[mcYear], r[mcGenre], r[mcTrack],
                           rowNumber(int(place), room));
        },
        TitleColumn, true, numberRow);
}

// Scanned: as for fillMusicList.
void fillList(TMusicLibrary& form, TSortListView* list, const std::vector<std::string>& paths,
              bool initial, bool scanned = false)
{
    TListUpdate update(list);
    list->clear();
    if (list == form.lstMP3) {
        fillMusicList(form, list, scanned);
        if (list->Count() > 0) {
            QTreeWidgetItem* first = list->Item(0);
            list->setCurrentItem(first);
            first->setSelected(true);
            list->scrollToItem(first);
        }
        if (form.FitListColumns)
            form.FitListColumns(list);
        return;
    }
    QList<QTreeWidgetItem*> rows;
    // Rows that have not entered the list yet are freed with it on an exception.
    const auto freeRows = qScopeGuard([&rows] { qDeleteAll(rows); });
    TEventPump pump;
    for (const std::string& path : paths) {
        if (fileExists(path)) {
            ReadTag(path);
            const TCurrentTag& t = CurrentTag;
            rows.push_back(makeRow(RowTitle(t.Title, path), path, t.Artist, t.Album, t.Year, t.Genre, t.Track));
        }
        pump.Step();
    }
    const auto count = rows.size();
    const bool shuffle = list == form.lstFile && form.ShuffleChecked && form.ShuffleChecked();
    const bool sorted = count > 0 && initial && !shuffle;
    // The rows are numbered before they enter the view, unless a shuffle reorders them.
    const bool renumber = initial && count > 0 && shuffle && form.ShufflePlaylist;
    QList<QTreeWidgetItem*> adding;  // the list's from here on
    adding.swap(rows);
    if (sorted) {
        list->MarkSortColumn(TitleColumn);
        list->AddSortedItems(std::move(adding), TitleColumn, true, numberRow);
    } else {
        for (qsizetype i = 0; i < adding.size() && !renumber; ++i)
            numberRow(adding[i], int(i));
        addRows(list, adding);
    }
    if (form.FitListColumns)
        form.FitListColumns(list);
    if (renumber) {
        form.ShufflePlaylist();
        RenumberList(list);
    }
}

void categoryChange(TMusicLibrary& form, bool scanned = false)
{
    TWaitCursor wait;
    forms::ProcessMessages();
    const QTreeWidgetItem* node = form.trrGenre ? form.trrGenre->currentItem() : nullptr;
    const int category = node ? categoryOfRoot(GetRootNodeText(node)) : -1;
    const bool child = node && node->parent();
    if (category >= 0 && (child || category == mcatAll)) {
        FilterMusicGrid(form.sgdMusic, child ? categoryValueOf(node) : std::string(),
                        child ? category : mcatAll);
        if (form.lstMP3)
            fillList(form, form.lstMP3, {}, true, scanned);
    } else {
        if (form.lstMP3) {
            TListUpdate update(form.lstMP3);
            form.lstMP3->clear();
        }
        if (form.FitListColumns && form.lstMP3)
            form.FitListColumns(form.lstMP3);
        if (form.spdAllCopy)
            form.spdAllCopy->setEnabled(false);
    }
    if (form.UpdateLyricsAndMeter)
        form.UpdateLyricsAndMeter();
}

// A node of the category tree: its images and its category value are kept as its own and
// data() answers for them. A plain item keeps a list of values per column that each role set
// adds to, allocation after allocation, and a folder's tree of thousands of nodes is made
// anew at every scan.
class TCategoryNode : public QTreeWidgetItem {
public:
    TCategoryNode(const std::string& text, int image, int selected, QVariant value = {})
        : image_(image), selected_(selected), value_(std::move(value))
    {
        setText(0, QString::fromStdString(text));
    }

    QVariant data(int column, int role) const override
    {
        const QVariant* own = column == 0 ? slot(role) : nullptr;
        return own ? *own : QTreeWidgetItem::data(column, role);
    }

    void setData(int column, int role, const QVariant& value) override
    {
        QVariant* own = column == 0 ? const_cast<QVariant*>(slot(role)) : nullptr;
        if (!own) {
            QTreeWidgetItem::setData(column, role, value);
            return;
        }
        if (*own == value)
            return;
        *own = value;
        emitDataChanged();
    }

    // A plain item's copy would lose the images: the copy and its children are nodes too.
    QTreeWidgetItem* clone() const override
    {
        auto* copy = new TCategoryNode(*this);
        for (int i = 0; i < childCount(); ++i)
            copy->addChild(child(i)->clone());
        return copy;
    }

private:
    TCategoryNode(const TCategoryNode& other) = default;

    const QVariant* slot(int role) const
    {
        return role == ImageIndexRole      ? &image_
               : role == SelectedIndexRole ? &selected_
               : role == CategoryValueRole ? &value_
                                           : nullptr;
    }

    QVariant image_, selected_, value_;
};

void buildCategoryTree(QTreeWidget* tree, const TCategoryList* lists[4])
{
    static const char* const roots[] = {"Title", "Year", "Genre", "Artist", "Album"};
    for (int i = 0; i < 5; ++i) {
        auto* root = new TCategoryNode(roots[i], 2 * i, 2 * i);
        // The children are made before the root enters the tree, which is then told once.
        if (i > 0) {
            QList<QTreeWidgetItem*> children;
            for (const std::string& value : lists[i - 1]->Items())
                children.append(new TCategoryNode(value, 2 * i, 2 * i + 1, QByteArray::fromStdString(value)));
            root->addChildren(children);
        }
        tree->addTopLevelItem(root);
    }
}

void loadMusicFolder(TMusicLibrary& form, const std::string& folder)
{
    QWidget* splash = form.pnlSplash && form.pnlFile && form.pnlFile->isVisible()
                          ? form.pnlSplash
                          : nullptr;
    if (splash) {
        splash->show();
        splash->raise();
    }
    QTreeWidget* tree = form.trrGenre;
    const auto restore = qScopeGuard([&] {
        if (tree)
            tree->setUpdatesEnabled(true);
        if (splash)
            splash->hide();
    });
    TWaitCursor wait;
    forms::ProcessMessages();
    if (tree) {
        const QSignalBlocker quiet(tree);
        tree->clear();
        tree->setUpdatesEnabled(false);
    }
    if (form.lstMP3) {
        TListUpdate update(form.lstMP3);
        form.lstMP3->clear();
    }
    TCategoryList years, genres, artists, albums;
    ScanMusicFolder(form.sgdMusic, folder, years, genres, artists, albums);
    if (tree) {
        const QSignalBlocker quiet(tree);
        const TCategoryList* lists[4] = {&years, &genres, &artists, &albums};
        buildCategoryTree(tree, lists);
        tree->setCurrentItem(tree->topLevelItem(0));
    }
    categoryChange(form, true);
}

void refreshListTags(TSortListView* list)
{
    forms::ProcessMessages();
    TWaitCursor wait;
    TListUpdate update(list);
    for (int i = 0; i < list->Count(); ++i) {
        QTreeWidgetItem* item = list->Item(i);
        const std::string path = TSortListView::ColumnText(item, PathSubItem);
        ReadTag(path);
        const TCurrentTag& t = CurrentTag;
        const std::string texts[] = {RowTitle(t.Title, path),
                                     t.Artist, t.Album, t.Year, t.Genre, t.Track};
        for (int n = 0; n < 6; ++n)
            setSubItem(item, n + 1, texts[n]);
    }
}

// Draws the images the nodes name, the selected one's while selected.
class TTreeNodeDelegate : public QStyledItemDelegate {
public:
    // A selected node shows its image as it is, not tinted as Qt's selected icons are.
    TTreeNodeDelegate(const std::vector<QIcon>& images, QObject* parent)
        : QStyledItemDelegate(parent)
    {
        for (const QIcon& image : images) {
            const QPixmap pixmap = image.pixmap(image.availableSizes().value(0, QSize(16, 16)));
            QIcon icon(pixmap);
            icon.addPixmap(pixmap, QIcon::Selected);
            images_.push_back(icon);
        }
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        DrawNodeFocusMark(painter, option);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const bool selected = option->state & QStyle::State_Selected;
        QVariant image = index.data(selected ? SelectedIndexRole : ImageIndexRole);
        if (!image.isValid())
            return;
        const int n = image.toInt();
        if (n >= 0 && n < static_cast<int>(images_.size())) {
            option->icon = images_[static_cast<std::size_t>(n)];
            option->features |= QStyleOptionViewItem::HasDecoration;
        }
    }

private:
    std::vector<QIcon> images_;
};

}  // namespace

// --- Categories

std::string CategoryKey(std::string_view Text)
{
    return CaseFolded(Text);
}

bool SameCategory(const std::string& A, const std::string& B)
{
    return A == B || CategoryKey(A) == CategoryKey(B);
}

bool TCategoryList::Add(std::string_view Text)
{
    if (!met_.insert(Text))
        return false;
    // CategoryKey without a string of its own.
    folding_.clear();
    AppendCaseFolded(Text, folding_);
    if (!keys_.insert(folding_))
        return false;
    values_.push_back({std::uint32_t(keys_.texts.size() - folding_.size()), std::uint32_t(folding_.size()),
                       std::uint32_t(met_.texts.size() - Text.size()), std::uint32_t(Text.size())});
    return true;
}

namespace {

// The hash of a category value or key for the lists' tables: eight bytes at a time, each
// mixed in by a multiplication, the high bits folded into the low ones that pick the slot. A
// scan looks up four values a file, short texts that a general-purpose hash takes far
// longer over.
std::size_t textHash(std::string_view text)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ text.size();
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        h = (h ^ word) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    std::uint64_t rest = 0;
    for (; at < text.size(); ++at)
        rest = rest << 8 | std::uint8_t(text[at]);
    h = (h ^ rest) * 0xC4CEB9FE1A85EC53ull;
    return std::size_t(h ^ (h >> 29));
}

}  // namespace

bool TCategoryList::TTextSet::insert(std::string_view Text)
{
    if (2 * (count + 1) > table.size()) {
        std::vector<Slot> old(std::max<std::size_t>(64, 2 * table.size()));
        old.swap(table);
        for (const Slot& slot : old)
            if (slot.hash != 0)
                for (std::size_t i = slot.hash & (table.size() - 1);; i = (i + 1) & (table.size() - 1))
                    if (table[i].hash == 0) {
                        table[i] = slot;
                        break;
                    }
    }
    const std::size_t hash = textHash(Text) | 1;
    for (std::size_t i = hash & (table.size() - 1);; i = (i + 1) & (table.size() - 1)) {
        Slot& slot = table[i];
        if (slot.hash == 0) {
            if (texts.size() + Text.size() > UINT32_MAX)
                throw std::length_error("too many category values");
            slot = {hash, std::uint32_t(texts.size()), std::uint32_t(Text.size())};
            texts.append(Text);
            ++count;
            return true;
        }
        if (slot.hash == hash && std::string_view(texts).substr(slot.at, slot.size) == Text)
            return false;
    }
}

std::vector<std::string> TCategoryList::Items() const
{
    const auto key = [this](const TValue* v) { return std::string_view(keys_.texts).substr(v->key, v->keySize); };
    // In the keys' byte order first, which breaks the locale's ties the same way each time,
    // and which the locale's order mostly keeps.
    std::vector<std::pair<std::uint64_t, const TValue*>> byKey, buffer(values_.size());
    byKey.reserve(values_.size());
    for (const TValue& v : values_)
        byKey.emplace_back(rtl::TextHead(key(&v)), &v);
    rtl::SortByHeads(byKey.data(), byKey.data() + byKey.size(), buffer.data(), [](const auto& e) { return e.first; },
                     [&](const auto& a, const auto& b) { return key(a.second) < key(b.second); });
    std::vector<std::pair<QString, const TValue*>> sorted;
    sorted.reserve(values_.size());
    for (const auto& [head, v] : byKey)
        sorted.emplace_back(QString::fromUtf8(key(v).data(), qsizetype(v->keySize)), v);
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return QString::localeAwareCompare(a.first, b.first) < 0;
    });
    std::vector<std::string> items;
    items.reserve(sorted.size());
    for (const auto& entry : sorted)
        items.emplace_back(std::string_view(met_.texts).substr(entry.second->text, entry.second->textSize));
    return items;
}

void DrawNodeFocusMark(QPainter* Painter, const QStyleOptionViewItem& Option)
{
    if (!(Option.state & QStyle::State_HasFocus))
        return;
    const QColor base = Option.palette.color(QPalette::Base);
    const gfx::TColor back = Option.state & QStyle::State_Selected
                                 ? gfx::TColor(SelectedNodeColor)
                                 : gfx::TColor(base.red() | base.green() << 8 | base.blue() << 16);
    const gfx::TColor mark = controls::FocusMarkColor(back);
    Painter->save();
    Painter->setPen(QColor(int(mark & 0xFF), int(mark >> 8 & 0xFF), int(mark >> 16 & 0xFF)));
    Painter->setBrush(Qt::NoBrush);
    Painter->drawRect(Option.rect.adjusted(0, 0, -1, -1));
    Painter->restore();
}

void SetupTreeDrawing(QTreeWidget* Tree, const std::vector<QIcon>& Images)
{
    QPalette palette = Tree->palette();
    const QColor green(SelectedNodeColor & 0xFF, (SelectedNodeColor >> 8) & 0xFF,
                       (SelectedNodeColor >> 16) & 0xFF);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, green);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    Tree->setPalette(palette);
    Tree->setItemDelegate(new TTreeNodeDelegate(Images, Tree));
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

std::string RowTitle(std::string_view Title, std::string_view Path)
{
    return Title.empty() ? cp932::nameForDisplay(Path.substr(Path.rfind('/') + 1)) : std::string(Title);
}

std::string GetRootNodeText(const QTreeWidgetItem* Node)
{
    if (!Node)
        return {};
    while (Node->parent())
        Node = Node->parent();
    return Node->text(0).toStdString();
}

// --- The library

bool TSerialJobs::Run(int Key, std::function<void()> Job)
{
    if (busy_) {
        auto same = std::find_if(pending_.begin(), pending_.end(),
                                 [Key](const auto& job) { return job.first == Key; });
        if (same != pending_.end())
            same->second = std::move(Job);
        else
            pending_.emplace_back(Key, std::move(Job));
        return false;
    }
    busy_ = true;
    const auto done = qScopeGuard([this] {
        busy_ = false;
        pending_.clear();  // left over only when a job failed
    });
    Job();
    while (!pending_.empty()) {
        std::function<void()> next = std::move(pending_.front().second);
        pending_.pop_front();
        next();
    }
    return true;
}

void ListMusicFiles(std::vector<std::string>& List, const std::string& Folder)
{
    const TMusicNames names(Folder);
    List.reserve(List.size() + names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        List.emplace_back(names[i]);
}

void ScanMusicFolder(TMusicDatabase& sgdMusic, const std::string& Folder, TCategoryList& YearList,
                     TCategoryList& GenreList, TCategoryList& ArtistList, TCategoryList& AlbumList)
{
    for (TCategoryList* list : {&YearList, &GenreList, &ArtistList, &AlbumList})
        list->Clear();
    ClearGridRows(sgdMusic, true);
    const TMusicNames names(Folder);
    if (names.size() > std::size_t(INT_MAX))
        throw std::length_error("too many files in the folder");
    sgdMusic.Reserve(static_cast<int>(names.size()));
    TEventPump pump;
    TFolderPath paths(Folder);
    for (std::size_t i = 0; i < names.size(); ++i) {
        pump.Step();
        const std::string& path = paths.Of(names[i]);
        ReadTag(path);
        const TCurrentTag& t = CurrentTag;
        // The first file's row is the one the emptied database keeps.
        const std::array<std::string_view, MusicColumnCount> texts = {t.Title, t.Year, t.Genre, t.Artist,
                                                                      t.Album, t.Track, path, "0"};
        if (i == 0)
            sgdMusic.SetRowTexts(0, texts);
        else
            sgdMusic.AppendRow(texts);
        // Where the next row goes and the next name are fetched before the next file is
        // read, so that they are near when they are wanted after it.
        sgdMusic.PrefetchEnd();
        if (i + 1 < names.size())
            __builtin_prefetch(names[i + 1].data());
    }
    // The values are gathered after the files: reading a file pushes the lists out of the
    // processor's caches, and they are looked up four times a file.
    // The texts of a row a few ahead are fetched while the lists look up this one's.
    constexpr std::size_t Ahead = 4;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i + Ahead < names.size()) {
            const TMusicDatabase::TRow& ahead = sgdMusic.Rows(static_cast<int>(i + Ahead));
            for (int column : {mcYear, mcGenre, mcArtist, mcAlbum})
                __builtin_prefetch(ahead[std::size_t(column)].data());
        }
        const TMusicDatabase::TRow& row = sgdMusic.Rows(static_cast<int>(i));
        YearList.Add(row[mcYear]);
        GenreList.Add(row[mcGenre]);
        ArtistList.Add(row[mcArtist]);
        AlbumList.Add(row[mcAlbum]);
    }
}

void FilterMusicGrid(TMusicDatabase& sgdMusic, const std::string& Text, int Category)
{
    static const int columns[] = {-1, mcYear, mcGenre, mcArtist, mcAlbum};
    if (Category < mcatAll || Category > mcatAlbum)
        return;
    const std::string key = CategoryKey(Text);
    TEventPump pump;
    for (int row = 0; row < sgdMusic.RowCount(); ++row) {
        pump.Step();
        const bool shown =
            Category == mcatAll || CategoryKey(sgdMusic.Cells(columns[Category], row)) == key;
        sgdMusic.SetCell(mcShown, row, shown ? "1" : "0");
    }
}

bool LoadMusicFolder(TMusicLibrary& Form, const std::string& Folder)
{
    return Form.library.Run(jobLoad, [&Form, Folder] { loadMusicFolder(Form, Folder); });
}

bool trrGenreChange(TMusicLibrary& Form)
{
    return Form.library.Run(jobCategory, [&Form] { categoryChange(Form); });
}

bool FillList(TMusicLibrary& Form, TSortListView* ListView, const std::vector<std::string>& Paths,
              bool Initial)
{
    if (!ListView)
        return true;
    return jobsOf(Form, ListView).Run(jobFill, [&Form, ListView, Paths, Initial] {
        fillList(Form, ListView, Paths, Initial);
    });
}

bool RefreshListTags(TMusicLibrary& Form, TSortListView* ListView)
{
    if (!ListView)
        return true;
    return jobsOf(Form, ListView).Run(jobRefresh, [ListView] { refreshListTags(ListView); });
}

void RenumberList(TSortListView* ListView)
{
    ListView->SetColumnTexts(1, [](int row) { return std::to_string(row + 1); });
}
