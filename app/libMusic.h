// The music library of the main window: the scan of the current music folder into the
// music database (app/MusicDatabase.h), the category tree built from it (five roots: every
// title, and every distinct year, genre, artist and album), the filter that a category
// choice applies to the database, and the filling of the two list views (the music list
// from the database, the playlist from a list of paths). With them the small routines the
// main window and its dialogs share: which files count as music and the root of a tree node.
//
// The routines take what they work on as a `TMusicLibrary`: the database, which the library
// owns, and the main window's controls, which it borrows. The main window keeps one.
//
// Categories are compared in one way everywhere (`CategoryKey`: without regard to letter
// case), so the tree's one child for "Rock" and "rock" lists the rows of both spellings.
//
// List rows (both list views): an empty caption, then the sub-items "No.", Title, Artist,
// Album, Year, Genre, Track and the full path; every handler finds a row's file in the last.
//
// User-interface thread only. The scan, the filter and the list filling hand pending events
// to the loop between files (at the first, then at most every 10 ms, as a step takes a few
// microseconds), so timers and painting go on during a long scan and other handlers may run
// inside them. Such a handler that asks for library work while some runs is not refused
// and does not interleave: its request is queued and run right after the running one (a
// newer request of the same kind replaces a queued older one), and the routine tells its
// caller that it was deferred. The controls must outlive a running routine: the main window
// does not close while `TMusicLibrary::Busy()`.
#pragma once

#include "app/MusicDatabase.h"
#include "util/libIni.h"        // WriteListSection
#include "util/xMessageBox.h"  // MsgBoxEx

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QIcon>

class QPainter;
class QStyleOptionViewItem;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TSortListView;

// The extensions of the files the player lists, as the folder dialog shows them.
inline constexpr const char* MusicFileExtensions = ".au;.aif;.wav;.mp1;.mp2;.mp3;.wma;.mpa";

// True when Name (a file name or a path) ends in one of MusicFileExtensions, compared as a
// whole extension without regard to letter case. A path that names an existing folder is
// refused however it is named; a name that does not exist is judged by its extension alone.
bool IsMusicFile(const std::string& Name);
// The name part of IsMusicFile: whether Name ends in a listed extension.
bool HasMusicExtension(std::string_view Name);

// --- Categories

// The text by which two category values count as the same: the value case-folded.
std::string CategoryKey(std::string_view Text);
bool SameCategory(const std::string& A, const std::string& B);

// The distinct values of one category column, the first spelling met of each, in sorted
// order (locale order, without regard to case). An empty value counts as a value.
class TCategoryList {
public:
    void Clear()
    {
        met_.clear();
        keys_.clear();
        values_.clear();
    }
    // False (and nothing changes) when a value of the same category is in the list.
    bool Add(std::string_view Text);
    int Count() const { return static_cast<int>(values_.size()); }
    std::vector<std::string> Items() const;

private:
    // A set of texts: a table of slots looked up by the text's hash, and past a taken slot
    // in the next ones, so that a text met again costs one slot read and one comparison. A
    // slot's hash is never 0, which marks a free slot; at most half the slots are taken.
    // The texts lie one after another in one buffer, where a slot finds its own: a few small
    // blocks for a folder's thousands of values rather than one each, among the rest of the
    // heap.
    struct TTextSet {
        struct Slot {
            std::size_t hash = 0;
            std::uint32_t at = 0, size = 0;  // the text in texts
        };
        std::vector<Slot> table;
        std::string texts;
        std::size_t count = 0;
        // Adds Text at the end of texts, unless it is in the set already (false).
        bool insert(std::string_view Text);
        void clear()
        {
            table.clear();
            texts.clear();
            count = 0;
        }
    };
    // A value: its key (CategoryKey) in keys_, its first spelling in met_.
    struct TValue {
        std::uint32_t key, keySize, text, textSize;
    };

    // Every spelling met: most values come again and again, and need no folding then.
    TTextSet met_;
    TTextSet keys_;  // the keys of the values, in the order met
    std::vector<TValue> values_;  // in the order met
    std::string folding_;         // room for the key of a spelling met first
};

// Category codes of FilterMusicGrid, and the roots of the category tree in order.
enum TMusicCategory : int { mcatAll = 0, mcatYear = 1, mcatGenre = 2, mcatArtist = 3, mcatAlbum = 4 };

// Item data of tree nodes drawn by SetupTreeDrawing: the index into the tree's image list
// of the node's image, and of its image while selected.
constexpr int ImageIndexRole = Qt::UserRole + 1;
constexpr int SelectedIndexRole = Qt::UserRole + 2;
// The category value of a child node of the category tree, as UTF-8 bytes (QByteArray).
constexpr int CategoryValueRole = Qt::UserRole + 3;

// The background of the selected node in every tree of the main window, with or without
// the focus (0x00BBGGRR: green).
constexpr unsigned SelectedNodeColor = 0x05BA25;

// Draws Tree's nodes the program's way: the selected node on SelectedNodeColor, focused or
// not, and each node with the image of Images that its ImageIndexRole / SelectedIndexRole
// name. Nodes cannot be renamed.
void SetupTreeDrawing(QTreeWidget* Tree, const std::vector<QIcon>& Images = {});

// Frames the node the keyboard is on while its tree has the focus (Option's focus state):
// the selection looks the same with or without the focus, so it cannot tell where it is.
void DrawNodeFocusMark(QPainter* Painter, const QStyleOptionViewItem& Option);

// The title column of a list row: the tag's title, or for a file whose tag has none its
// name as the user reads it (a name that is not UTF-8 decoded for display).
std::string RowTitle(std::string_view Title, std::string_view Path);

// The text of the node's top-level ancestor (the node itself when it is a root); empty for
// no node.
std::string GetRootNodeText(const QTreeWidgetItem* Node);

// --- The library

// Runs one job at a time: a job asked for while one runs (from an event handled inside it)
// waits in a queue and runs after it; a queued job with the same key is replaced.
class TSerialJobs {
public:
    // True when Job ran now, false when it was queued.
    bool Run(int Key, std::function<void()> Job);
    bool Busy() const { return busy_; }

private:
    bool busy_ = false;
    std::deque<std::pair<int, std::function<void()>>> pending_;
};

struct TMusicLibrary {
    TMusicDatabase sgdMusic;

    TMusicLibrary() = default;
    TMusicLibrary(const TMusicLibrary&) = delete;  // queued work refers to this one
    TMusicLibrary& operator=(const TMusicLibrary&) = delete;

    // The main window's controls (borrowed; null ones are passed over).
    QTreeWidget* trrGenre = nullptr;
    TSortListView* lstMP3 = nullptr;
    TSortListView* lstFile = nullptr;
    QWidget* pnlFile = nullptr;     // the tree column: the splash shows only while it is visible
    QWidget* pnlSplash = nullptr;   // "Updating Music List now..."
    QWidget* spdAllCopy = nullptr;  // disabled when a category root shows nothing
    // The window's own routines the library calls (each may be left empty).
    std::function<bool()> ShuffleChecked;                 // chkShuffle is checked
    std::function<void()> ShufflePlaylist;                // do_ShuffleClick
    std::function<void(TSortListView*)> FitListColumns;   // TfrmMain::FitListColumns
    std::function<void()> UpdateLyricsAndMeter;           // DxSound->UpdateLyricsAndMeter(true)

    // Whether a library routine is running (and letting events run).
    bool Busy() const { return library.Busy() || playlist.Busy(); }

    TSerialJobs library;   // the database, the category tree and the music list
    TSerialJobs playlist;  // the playlist
};

// Appends the names (not paths) of the music files directly in Folder (files only; folders
// named like music are not), sorted without regard to case. Events are handled meanwhile.
void ListMusicFiles(std::vector<std::string>& List, const std::string& Folder);

// Rebuilds the database from the music files of Folder, one row per file in name order with
// its tag texts (empty for a file without a readable tag), its path and the flag "0", and
// fills the four lists with the distinct values. Events are handled between files.
void ScanMusicFolder(TMusicDatabase& sgdMusic, const std::string& Folder,
                     TCategoryList& YearList, TCategoryList& GenreList, TCategoryList& ArtistList,
                     TCategoryList& AlbumList);

// Flags the rows that Category shows: every row for mcatAll, else the rows whose value in
// that category's column is the same category as Text. Other codes change nothing.
void FilterMusicGrid(TMusicDatabase& sgdMusic, const std::string& Text, int Category);

// Scans Folder into the database, rebuilds the category tree (five roots and their
// children) and selects its first node, which lists every row in the music list. False when
// the request was queued behind running library work.
bool LoadMusicFolder(TMusicLibrary& Form, const std::string& Folder);

// The category tree's selection handler: a child node (or the root "Title") filters the
// database and refills the music list; any other root empties the music list. False when
// queued.
bool trrGenreChange(TMusicLibrary& Form);

// Fills the music list (ListView == Form.lstMP3) from the database rows flagged "1", or any
// other list (the playlist) from Paths; files that no longer exist are skipped. The music
// list is sorted by title with its first row focused and selected; the playlist is sorted by
// title when Initial and shuffle is off, and shuffled when Initial and shuffle is on. Rows
// are numbered 1..N. False when queued.
bool FillList(TMusicLibrary& Form, TSortListView* ListView, const std::vector<std::string>& Paths,
              bool Initial);

// Reads the tag of every row's file again and rewrites the row's texts. False when queued.
bool RefreshListTags(TMusicLibrary& Form, TSortListView* ListView);

// Writes 1..N into the "No." sub-item of the rows.
void RenumberList(TSortListView* ListView);
