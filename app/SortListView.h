// `TSortListView`, the report-style list of the main window (the music list and the
// playlist): click a column header to sort by it, click again to reverse; a "smart"
// comparison sorts dates, times and numbers by value; arrows in the header show the sort
// column and direction; rows, cells and header items may be drawn by the owner through
// events on a TCanvas; optional type-ahead search in the sort column; optional blocking of
// column resizing.
//
// Built on QTreeWidget as a flat list: column 0 holds the item's caption, column n + 1 its
// sub-item n. Sorting is done here (never by Qt) so that the comparison, the direction rules
// and the sort events are the list's own. `TCustomSortListView` holds the behaviour and
// `TSortListView` is the class the windows use.
//
// The comparison's state (column, direction) is process-wide, as only one list sorts at a
// time. With `SaveSettings.AutoSave` the column widths, the sort and the view style are
// written into the settings file when the list is destroyed and read back by `Loaded`, in
// sections under `SaveSettings.RegistryKey` ("<key>\Columns", "<key>\Sort",
// "<key>\ViewStyle"). `BackgroundImage`, when it holds a picture, is drawn once at the top
// left behind the rows (not tiled); owner-drawn rows paint over it. No window of the program
// turns either on. The list always shows its rows as a report: `ViewStyle` is kept (and
// saved) for the settings only. UI thread only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QTreeWidget>

#include "controls/common/OwnerDraw.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

class TSortHeader;

enum TViewStyleExt { lvStandard, lvOwnerDrawFixed };
enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TAutoColumnSort { acsNoSort, acsMarkOnly, acsSort, acsSortToggle };
enum TAutoSortStyle { assSmart, assDefault };
enum TSortAs { saNone, saString, saNumeric, saDateTime };

// Row states handed to the drawing events: those of every owner-drawn list.
using controls::TOwnerDrawState;
using controls::odSelected, controls::odGrayed, controls::odDisabled, controls::odChecked,
    controls::odFocused;

struct TSortListSaveSettings {
    bool AutoSave = false;
    std::string RegistryKey;
    bool SaveColumnSizes = true;
    bool SaveCurrentSort = true;
    bool SaveViewStyle = true;
};

// The smart comparison's readers, exposed for the sort and its tests. A date-time text uses
// the Japanese settings: "/" between date parts (year/month/day, or month/day of this year),
// ":" in times, "," grouping thousands and "." before decimals.
// The value of a text that reads as a date and/or time (days since 1899-12-30), if it does.
std::optional<double> SortTextAsDateTime(const std::string& Text);
// The value of the text before its first blank, read as a number, if it does.
std::optional<double> SortTextAsNumber(const std::string& Text);
// -1, 0 or 1 as the smart (assSmart) or plain (assDefault) comparison orders A before B.
int SortCompareTexts(const std::string& A, const std::string& B, TAutoSortStyle Style);

// A list row that keeps its column texts (column 0 the caption) as UTF-8 in one buffer: a
// plain item keeps a list of role values per column, some twenty allocations a row, which
// a list of tens of thousands of rows pays in time and memory when it is filled and freed.
// The texts read and change as a plain item's do (text, setText, data with the display or
// edit role); every other role is kept as a plain item keeps it.
class TSortListItem : public QTreeWidgetItem {
public:
    static constexpr int Type = QTreeWidgetItem::UserType + 1;
    explicit TSortListItem(std::initializer_list<std::string_view> Texts);
    // A plain item's copy does not keep its type, and every reader of the texts goes by the
    // type: the copy is made as a row of this kind and takes the rest as a plain copy would.
    TSortListItem(const TSortListItem& Other);
    TSortListItem& operator=(const TSortListItem&) = delete;

    // The text of Column as UTF-8; empty outside the texts.
    std::string_view Text(int Column) const;
    int TextCount() const { return count_; }
    // Replaces the text of Column without telling the view (the caller does). Text may not
    // view this row's own texts.
    void SetTextQuietly(int Column, std::string_view Text);

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;
    QTreeWidgetItem* clone() const override { return new TSortListItem(*this); }
    bool operator<(const QTreeWidgetItem& other) const override;

    // Rows of this size come from a pool of their own, one after another in large blocks
    // rather than among their texts and Qt's data: a sort that visits every row in a random
    // order then finds them in far fewer cache lines and pages. Objects of another size (a
    // subclass) come from the heap. The virtual destructor passes the size of what it frees.
    static void* operator new(std::size_t Size);
    static void operator delete(void* Row, std::size_t Size) noexcept;

private:
    static constexpr std::size_t EndSize = sizeof(std::uint32_t);
    std::uint32_t end(int Column) const;
    void setEnd(int Column, std::size_t End);

    // Where each column's text ends among the texts (EndSize bytes each), then the texts: one
    // block for the row.
    std::string texts_;
    int count_ = 0;
    std::uint32_t rank_ = 0;
    static bool ranked_;
    friend class TCustomSortListView;
};

class TCustomSortListView : public QTreeWidget {
public:
    explicit TCustomSortListView(QWidget* parent = nullptr);
    ~TCustomSortListView() override;

    // --- Items and columns
    QTreeWidgetItem* AddColumn(const std::string& Caption, int Width,
                               Qt::Alignment Alignment = Qt::AlignLeft);
    int ColumnCount() const { return columnCount(); }
    int Count() const { return topLevelItemCount(); }
    QTreeWidgetItem* Item(int Index) const { return topLevelItem(Index); }
    // Adds an item at the end (a resort follows when AutoResort is on).
    QTreeWidgetItem* AddItem(const std::string& Caption, const std::vector<std::string>& SubItems);
    // Index -1: the caption; n >= 0: sub-item n (empty when the item has fewer).
    static std::string ColumnText(const QTreeWidgetItem* Item, int Index);
    // Call after a caption or sub-item of an item changed.
    void ItemChanged();
    // Sets column Column (0: the caption) of every row to Text(row index), UTF-8, with one
    // change notice for the whole column: a notice per cell looks its row up, which costs a
    // search through the rows after they were added or sorted.
    void SetColumnTexts(int Column, const std::function<std::string(int)>& Text);
    // Moves a row, carrying over its selected and focused states.
    void MoveRow(int OldIndex, int NewIndex);

    // --- Sorting
    TAutoColumnSort AutoColumnSort() const { return autoColumnSort_; }
    void SetAutoColumnSort(TAutoColumnSort v);
    TAutoSortStyle AutoSortStyle() const { return autoSortStyle_; }
    void SetAutoSortStyle(TAutoSortStyle v);
    bool AutoResort = true;
    bool AutoSortAscending() const { return autoSortAscending_; }
    void SetAutoSortAscending(bool v);
    bool CurrentSortAscending() const { return ascending_; }
    void SetCurrentSortAscending(bool v);
    int LastColumnClicked() const { return lastColumn_; }
    int32_t CancelSort = -1;

    void SortOnColumn(int Column, bool Ascending);
    // Adds Items (the list owns them from then on) in the order that adding them and then
    // SortOnColumn(Column, Ascending) gives, the sort events included. Into an empty list
    // (and without OnSortItems) the new rows are sorted before they enter the view, so
    // that they enter it once, after the sort events. Prepare(item, row) is called once for
    // every row of the list with its place in the final order (the rows taken in no
    // particular order), with one change notice for them all (into an empty list: before the
    // rows enter the view).
    void AddSortedItems(QList<QTreeWidgetItem*> Items, int Column, bool Ascending,
                        const std::function<void(QTreeWidgetItem*, int)>& Prepare = {});
    // AddSortedItems for Rows rows, i counting them in the caller's order, Text(i) being the
    // text row i shows in Column. Make(Order, place) makes row Order[place]; Order is given
    // whole, so that Make can fetch the data of the rows to come. Into an empty list the
    // texts are sorted before any row is made, and the rows are made in their final order:
    // so they lie in memory in the list's order, which every later pass over the list reads
    // faster. Prepare(item, place) is called for each row in its place order, before the
    // rows enter the view.
    void AddSortedRows(std::size_t Rows, const std::function<std::string_view(std::size_t)>& Text,
                       const std::function<QTreeWidgetItem*(const std::vector<std::uint32_t>&, std::size_t)>& Make,
                       int Column, bool Ascending,
                       const std::function<void(QTreeWidgetItem*, int)>& Prepare = {});
    void SortAgain();
    void BeginItemUpdate();
    void EndItemUpdate();
    void MarkSortColumn(int Column);
    // What a click on header column C does (also called by the header itself).
    void ColumnClick(int C);
    // Called once the window's columns are in place: marks column 0 and sorts by it.
    void Loaded();

    // --- Search
    bool SelectByPrefix(const std::string& Text, int ColumnIndex);
    bool SelectBySubstring(const std::string& Text, int ColumnIndex);
    bool ColumnSearch = false;
    // Milliseconds of a steady clock; type-ahead restarts after 1000 ms between keys.
    std::function<double()> Clock;
    const std::string& SearchText() const { return searchText_; }

    // --- Look
    TViewStyleExt Style() const { return style_; }
    void SetStyle(TViewStyleExt v);
    bool ShowSortArrows() const { return showSortArrows_; }
    void SetShowSortArrows(bool v);
    bool ReverseSortArrows() const { return reverseSortArrows_; }
    void SetReverseSortArrows(bool v);
    bool NoColumnResize() const { return noColumnResize_; }
    void SetNoColumnResize(bool v);
    gfx::TFont& Font() { return font_; }
    // The arrow bitmaps (null when arrows are off or the font is too small for them).
    const gfx::TBitmap* UpArrow() const { return upArrow_.get(); }
    const gfx::TBitmap* DownArrow() const { return downArrow_.get(); }
    int RowHeight() const { return rowHeight_; }
    // Where the default header drawing puts the caption and the arrow of column Index in
    // ItemRect (the arrow rectangle is empty when no arrow is drawn). The caption is measured
    // in CaptionFont (the list's font when none is given), the font it will be drawn in.
    void HeaderLayout(int Index, const gfx::TRect& ItemRect, bool Pressed, gfx::TRect& TextRect,
                      gfx::TRect& ArrowRect, const gfx::TFont* CaptionFont = nullptr);
    // The width column Index needs for its whole caption and the sort arrow beside it (0
    // when no arrow is drawn); a column that is narrower is widened to it when it is sorted.
    int SortedColumnWidth(int Index);
    std::string Version() const { return "TxxListView v3.72"; }

    TSortListSaveSettings SaveSettings;
    TViewStyle ViewStyle() const { return viewStyle_; }
    void SetViewStyle(TViewStyle v) { viewStyle_ = v; }
    // Drawn at the top left behind the rows once the list is loaded.
    gfx::TBitmap& BackgroundImage() { return backgroundImage_; }
    // The saved settings (AutoSave), written and read as destruction and Loaded do.
    void WriteSavedSettings();
    void ReadSavedSettings();

    // --- Events
    std::function<void(QObject* Sender, int SortColumn, bool Ascending)> OnSortBegin, OnSortFinished;
    std::function<void(QObject* Control, int& AHeight)> OnMeasureItem;
    std::function<void(QObject* Control, gfx::TCanvas& ACanvas, int Index, gfx::TRect ARect,
                       TOwnerDrawState State, bool& DefaultDrawing, bool& FullRowSelect)> OnDrawItem;
    // Rectangles are in the row's own coordinates (top 0); SubItem is the column (1 = the
    // first sub-item).
    std::function<void(QObject* Control, gfx::TCanvas& ACanvas, int Index, int SubItem,
                       gfx::TRect ARect, TOwnerDrawState State, bool& DefaultDrawing)> OnDrawSubItem;
    std::function<void(QObject* Control, gfx::TCanvas& ACanvas, int Index, gfx::TRect ARect,
                       TOwnerDrawState State)> OnAfterDefaultDrawItem;
    std::function<void(QObject* Control, gfx::TCanvas& ACanvas, int Index, gfx::TRect& ARect,
                       bool Selected, bool& DefaultDrawing)> OnDrawHeader;
    std::function<void(QObject* Sender, QTreeWidgetItem* Item1, QTreeWidgetItem* Item2,
                       int SortColumn, int& SortAs, int& CompResult)> OnSortItems;
    std::function<void(QObject* Sender, int Column)> OnColumnClick;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void changeEvent(QEvent* e) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    friend class TSortHeader;
    friend class SortListRowDelegate;
    int compareByEvent(QTreeWidgetItem* a, QTreeWidgetItem* b) const;
    bool selectFirstFrom(const std::function<bool(const QString&)>& matches, int ColumnIndex);
    // SortOnColumn's state and events around Sort.
    void sortWithEvents(int Column, bool Ascending, const std::function<void()>& Sort);
    void sortAll();
    // Sorts Items; Placed, when given, receives the rows in memory order with their new places.
    void sortItems(QList<QTreeWidgetItem*>& items,
                   std::vector<std::pair<QTreeWidgetItem*, int>>* placed = nullptr) const;
    // The list places of Rows (in any order, with their places) in their sorted order;
    // TextRows, when given, tells whether every row is a TSortListItem.
    std::vector<std::uint32_t> sortOrder(const std::vector<std::pair<QTreeWidgetItem*, int>>& Rows,
                                         bool* TextRows = nullptr) const;
    // The places 0 .. N - 1 in their sorted order, TextAt(i) giving the place and the text of
    // the i-th text read (each place once; its text need live only until the next call).
    std::vector<std::uint32_t> textOrder(std::size_t N,
                                         const std::function<std::pair<std::size_t, std::string_view>(std::size_t)>& TextAt) const;
    static void rankRows(const std::vector<std::pair<QTreeWidgetItem*, int>>& Rows, const std::vector<std::uint32_t>& Order);
    void buildArrows();
    // Makes Column the one with the arrow.
    void markArrowColumn(int Column);
    void measureRows();
    void updateHeaderDrawing();
    void paintHeaderItem(gfx::TCanvas& canvas, int index, gfx::TRect rect, bool pressed);
    void paintDefaultRow(gfx::TCanvas& c, int row, const gfx::TRect& rect, TOwnerDrawState state) const;
    Qt::Alignment columnAlignment(int column) const;

    TSortHeader* header_;
    TViewStyleExt style_ = lvStandard;
    TAutoColumnSort autoColumnSort_ = acsNoSort;
    TAutoSortStyle autoSortStyle_ = assSmart;
    bool autoSortAscending_ = true;
    bool ascending_ = true;
    int lastColumn_ = -1;
    bool showSortArrows_ = false;
    bool reverseSortArrows_ = false;
    bool noColumnResize_ = false;
    bool sortPending_ = false;
    bool columnsAdded_ = false;
    int updateCount_ = 0;
    int rowHeight_ = 0;
    std::unique_ptr<gfx::TBitmap> upArrow_, downArrow_;
    TViewStyle viewStyle_ = vsReport;
    gfx::TBitmap backgroundImage_;
    QImage shownBackground_;  // the background as applied by Loaded
    gfx::TFont font_;
    std::string searchText_;
    double lastSearchKey_ = -1e18;
};

class TSortListView : public TCustomSortListView {
public:
    using TCustomSortListView::TCustomSortListView;
};
