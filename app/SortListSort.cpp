// The list's sort: how texts read as dates, numbers or collation keys, the order of the
// rows by those readings or by the OnSortItems event, and the rows' rewriting in place.
#include "app/SortListView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include "controls/common/ControlTypes.h"
#include "platform/collate/SortKeys.h"
#include "platform/forms/Application.h"
#include "platform/rtl/BlockPool.h"
#include "platform/rtl/Formatting.h"
#include "platform/rtl/RadixSort.h"
#include "util/Cp932.h"

namespace {

// The Japanese settings the program ran under.
constexpr char DateSeparator = '/';
constexpr char TimeSeparator = ':';
constexpr char ThousandSeparator = ',';
constexpr char DecimalSeparator = '.';

// The comparison's state: one list sorts at a time.
int SortColumnIndex = -1;  // -1 the caption, n >= 0 sub-item n
int DirectionFactor = 1;

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = s.find(sep, from)) != std::string::npos; from = at + 1)
        parts.push_back(trim(s.substr(from, at - from)));
    parts.push_back(trim(s.substr(from)));
    return parts;
}

std::optional<int> readInt(const std::string& s, std::size_t maxDigits = 4)
{
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// year/month/day, or month/day of the current year; two-digit years fall in this century.
std::optional<double> readDate(const std::string& s)
{
    const std::vector<std::string> parts = split(s, DateSeparator);
    if (parts.size() != 2 && parts.size() != 3)
        return std::nullopt;
    std::vector<int> n;
    for (const std::string& p : parts) {
        const auto v = readInt(p);
        if (!v)
            return std::nullopt;
        n.push_back(*v);
    }
    const int thisYear = QDate::currentDate().year();
    int year = thisYear, month = n[0], day = n[1];
    if (n.size() == 3) {
        year = parts[0].size() <= 2 ? n[0] + thisYear / 100 * 100 : n[0];
        month = n[1];
        day = n[2];
    }
    if (!QDate(year, month, day).isValid() || year < 1)
        return std::nullopt;
    return rtl::EncodeDate(year, month, day);
}

// h:m, h:m:s or h:m:s.zzz
std::optional<double> readTime(const std::string& s)
{
    std::vector<std::string> parts = split(s, TimeSeparator);
    if (parts.size() != 2 && parts.size() != 3)
        return std::nullopt;
    int ms = 0;
    if (const auto dot = parts.back().find(DecimalSeparator); dot != std::string::npos) {
        const auto frac = readInt(parts.back().substr(dot + 1), 3);
        if (!frac)
            return std::nullopt;
        ms = *frac;
        parts.back().resize(dot);
    }
    const auto h = readInt(parts[0], 2), m = readInt(parts[1], 2);
    const auto sec = parts.size() == 3 ? readInt(parts[2], 2) : std::optional<int>(0);
    if (!h || !m || !sec || *h > 23 || *m > 59 || *sec > 59)
        return std::nullopt;
    return rtl::EncodeTime(*h, *m, *sec, ms);
}

std::optional<double> readDecimal(const std::string& s)
{
    if (s.empty() || s.find_first_not_of("0123456789+-.eE") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

int sign(double d)
{
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

// The user's locale of the program is Japanese whatever the system's is, so texts collate
// the same way on every machine (ICU's Japanese order, letter case deciding only ties).
int compareStrings(const std::string& a, const std::string& b)
{
    return collate::compare(a, b);
}
}  // namespace

std::optional<double> SortTextAsDateTime(const std::string& Text)
{
    const std::size_t first = Text.find(DateSeparator);
    const bool isDate = first != std::string::npos &&
                        (Text.find(DateSeparator, first + 1) != std::string::npos ||
                         first + 1 == Text.size());
    const bool isTime = Text.find(TimeSeparator) != std::string::npos;
    const std::string t = trim(Text);
    if (isDate && isTime) {
        const std::size_t blank = t.find(' ');
        if (blank == std::string::npos)
            return std::nullopt;
        const auto d = readDate(t.substr(0, blank));
        const auto tm = readTime(trim(t.substr(blank + 1)));
        if (!d || !tm)
            return std::nullopt;
        return *d + *tm;
    }
    if (isDate)
        return readDate(t);
    if (isTime)
        return readTime(t);
    return std::nullopt;
}

std::optional<double> SortTextAsNumber(const std::string& Text)
{
    const std::string token = Text.substr(0, Text.find(' '));
    if (auto v = readDecimal(token))
        return v;
    std::string local;
    for (char c : token) {
        if (c == ThousandSeparator)
            continue;
        local += c == DecimalSeparator ? '.' : c;
    }
    return readDecimal(local);
}

namespace {


// A text as the smart comparison sees it: its date or number, when it reads as one, and its
// collation key (kept in a SortKeys arena, by number).
struct TSortReading {
    std::optional<double> date, number;
    std::size_t key = 0;
};

// Whether SortTextAsDateTime can read Text: it reads only texts with a date or time separator.
bool mayBeDateTime(std::string_view text)
{
    // One pass over the bytes: find_first_of with a set looks the set up for every byte.
    return std::any_of(text.begin(), text.end(), [](char c) { return c == '/' || c == ':'; });
}

// Whether SortTextAsNumber can read Text: it reads only a first word of digits, signs,
// exponents and separators with a digit among them. Most titles are not numbers, and the
// readers' copies would cost more than the rest of the reading.
bool mayBeNumber(std::string_view text)
{
    const std::string_view token = text.substr(0, text.find(' '));
    bool digit = false;
    for (char c : token) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E' && c != ',')
            return false;
    }
    return digit;
}

TSortReading readForSort(std::string_view text, TAutoSortStyle style, collate::SortKeys& keys)
{
    const bool smart = style == assSmart;
    return {smart && mayBeDateTime(text) ? SortTextAsDateTime(std::string(text)) : std::nullopt,
            smart && mayBeNumber(text) ? SortTextAsNumber(std::string(text)) : std::nullopt, keys.add(text)};
}

// Dates when both are dates, else numbers when both are numbers, else text.
int compareReadings(const TSortReading& a, const TSortReading& b, const collate::SortKeys& keys)
{
    if (a.date && b.date)
        return sign(*a.date - *b.date);
    if (a.number && b.number)
        return sign(*a.number - *b.number);
    return sign(keys.key(a.key).compare(keys.key(b.key)));
}

}  // namespace

namespace {

// A row as the list's sort moves it: the first bytes of its key, its place in the list and
// the number of its key and reading.
struct SortEntry {
    static constexpr std::size_t MaxRows = std::size_t(1) << 30;
    std::uint64_t head;  // the key's first 8 bytes, big-endian, zero-padded
    std::uint32_t row;
    std::uint32_t key : 30;
    std::uint32_t date : 1;    // the text reads as a date or time
    std::uint32_t number : 1;  // the text reads as a number
};

// The 8 bytes of a key from Offset on, as its head. Keys hold no zero byte, so a key shorter
// than 8 bytes padded with zeros still sorts before every longer key it begins.
std::uint64_t keyHeadAt(std::string_view key, std::size_t offset)
{
    return rtl::TextHead(offset < key.size() ? key.substr(offset) : std::string_view{});
}

// Sorts entries by their heads (largest first when Descending), keeping the order of equal
// heads.
void sortByHeads(SortEntry* first, SortEntry* last, SortEntry* buffer, bool descending)
{
    rtl::RadixSort(first, last, buffer, [descending](const SortEntry& e) { return descending ? ~e.head : e.head; });
}

// Texts alone sort by their keys, equal keys keeping the rows' order. The entries (in the
// rows' order) are sorted by their heads; each run of equal heads is then sorted again by the
// next 8 bytes of its keys, and so on: every key is read once for every 8 bytes it shares
// with another, never at a comparison.
void sortByKeys(std::vector<SortEntry>& entries, const collate::SortKeys& keys, int direction)
{
    std::vector<SortEntry> buffer(entries.size());
    struct Run {
        std::size_t begin, end;
        std::size_t offset;  // where in the keys the entries' heads were read
    };
    std::vector<Run> runs{{0, entries.size(), 0}};
    while (!runs.empty()) {
        const Run run = runs.back();
        runs.pop_back();
        if (run.offset > 0)
            for (std::size_t i = run.begin; i < run.end; ++i)
                entries[i].head = keyHeadAt(keys.key(entries[i].key), run.offset);
        sortByHeads(entries.data() + run.begin, entries.data() + run.end, buffer.data(), direction < 0);
        for (std::size_t from = run.begin; from < run.end;) {
            std::size_t to = from + 1;
            while (to < run.end && entries[to].head == entries[from].head)
                ++to;
            // A head that ends in a zero byte ends its keys: the run's keys are equal.
            if (to - from > 1 && (entries[from].head & 0xFF) != 0)
                runs.push_back({from, to, run.offset + 8});
            from = to;
        }
    }
}

// Dates beside dates and numbers beside numbers go by their values, all else by its key: an
// order that need not be transitive, and so one that only the same merging of the same rows
// gives again.
void sortByReadings(std::vector<SortEntry>& entries, const std::vector<TSortReading>& readings,
                    const collate::SortKeys& keys, int direction)
{
    std::stable_sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
        int c;
        if ((a.date && b.date) || (a.number && b.number) || a.head == b.head)
            c = compareReadings(readings[a.key], readings[b.key], keys);
        else
            c = a.head < b.head ? -1 : 1;
        return c * direction < 0;
    });
}

// Rows with their places in the list.
using RowsByAddress = std::vector<std::pair<QTreeWidgetItem*, int>>;

// Puts the rows in the order they lie in memory: a pass over a long list in its own order,
// which after a sort is as good as random, finds each row outside the caches.
void inMemoryOrder(RowsByAddress& rows)
{
    RowsByAddress buffer(rows.size());
    rtl::RadixSort(rows.data(), rows.data() + rows.size(), buffer.data(),
              [](const RowsByAddress::value_type& row) { return std::uint64_t(reinterpret_cast<std::uintptr_t>(row.first)); });
}

// Items with their places, in the list's order.
RowsByAddress rowsOf(const QList<QTreeWidgetItem*>& items)
{
    RowsByAddress rows(std::size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i)
        rows[std::size_t(i)] = {items[i], int(i)};
    return rows;
}

RowsByAddress rowsInMemoryOrder(const QList<QTreeWidgetItem*>& items)
{
    RowsByAddress rows = rowsOf(items);
    inMemoryOrder(rows);
    return rows;
}

// Items rearranged into Order (their places, sorted).
void putInOrder(QList<QTreeWidgetItem*>& items, const std::vector<std::uint32_t>& order)
{
    QList<QTreeWidgetItem*> sorted;
    sorted.reserve(items.size());
    for (std::uint32_t row : order)
        sorted.append(items[qsizetype(row)]);
    items.swap(sorted);
}

// The inverse of Order: where each row goes.
std::vector<std::uint32_t> placesOf(const std::vector<std::uint32_t>& order)
{
    std::vector<std::uint32_t> place(order.size());
    for (std::size_t at = 0; at < order.size(); ++at)
        place[order[at]] = std::uint32_t(at);
    return place;
}

void prepareInMemoryOrder(RowsByAddress& rows, const std::function<void(QTreeWidgetItem*, int)>& prepare)
{
    inMemoryOrder(rows);
    for (const auto& [item, row] : rows)
        prepare(item, row);
}

}  // namespace

int SortCompareTexts(const std::string& A, const std::string& B, TAutoSortStyle Style)
{
    collate::SortKeys keys;
    const TSortReading a = readForSort(A, Style, keys);
    return compareReadings(a, readForSort(B, Style, keys), keys);
}

void TCustomSortListView::SetColumnTexts(int Column, const std::function<std::string(int)>& Text)
{
    const int n = Count();
    if (n == 0 || Column < 0 || Column >= columnCount())
        return;
    RowsByAddress rows(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        rows[std::size_t(i)] = {topLevelItem(i), i};
    // Rewriting a text may move it: the rows are visited in the order they lie in memory,
    // which beats fetching them ahead in the list's order.
    inMemoryOrder(rows);
    {
        const QSignalBlocker quiet(model());
        for (const auto& [item, i] : rows) {
            // Short texts (the numbers of a renumbering) stay in the string itself: no
            // allocation per row.
            const std::string text = Text(i);
            if (item->type() == TSortListItem::Type)
                static_cast<TSortListItem*>(item)->SetTextQuietly(Column, text);
            else
                item->setText(Column, QString::fromStdString(text));
        }
    }
    emit model()->dataChanged(model()->index(0, Column), model()->index(n - 1, Column), {Qt::DisplayRole});
}
int TCustomSortListView::compareByEvent(QTreeWidgetItem* a, QTreeWidgetItem* b) const
{
    if (!a || !b)
        return 0;
    const std::string ta = ColumnText(a, SortColumnIndex), tb = ColumnText(b, SortColumnIndex);
    int sortAs = saNone, result = 0;
    OnSortItems(const_cast<TCustomSortListView*>(this), a, b, SortColumnIndex, sortAs, result);
    switch (sortAs) {
    case saString:
        result = compareStrings(ta, tb);
        break;
    case saNumeric:
        result = sign(SortTextAsNumber(ta).value_or(0) - SortTextAsNumber(tb).value_or(0));
        break;
    case saDateTime:
        result = sign(SortTextAsDateTime(ta).value_or(0) - SortTextAsDateTime(tb).value_or(0));
        break;
    default:
        break;
    }
    return result * DirectionFactor;
}

void TCustomSortListView::sortItems(QList<QTreeWidgetItem*>& items, RowsByAddress* placed) const
{
    if (OnSortItems) {
        std::stable_sort(items.begin(), items.end(),
                         [this](QTreeWidgetItem* a, QTreeWidgetItem* b) { return compareByEvent(a, b) < 0; });
        return;
    }
    RowsByAddress rows = rowsInMemoryOrder(items);
    const std::vector<std::uint32_t> order = sortOrder(rows);
    putInOrder(items, order);
    if (placed) {
        const std::vector<std::uint32_t> place = placesOf(order);
        for (auto& row : rows)
            row.second = int(place[std::size_t(row.second)]);
        placed->swap(rows);
    }
}

std::vector<std::uint32_t> TCustomSortListView::sortOrder(const RowsByAddress& rows, bool* textRows) const
{
    // Rows read in the list's order fill the entries and the key arena from front to back,
    // and runs of equal heads then read their keys in that order too.
    const std::size_t n = rows.size();
    bool texts = true;  // every row is a TSortListItem
    std::string plain;  // a plain item's text is a copy, which must outlive its reading
    std::vector<std::uint32_t> order = textOrder(n, [&](std::size_t i) {
        const auto& [item, row] = rows[i];
        // Rows in the list's order lie anywhere in memory, too far apart for the processor to
        // see where the next one is: each is fetched while the collator works on the rows
        // before it, and its texts once the row itself has come.
        if (i + 8 < n) {
            const char* ahead = reinterpret_cast<const char*>(rows[i + 8].first);
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + sizeof(TSortListItem) - 1);
        }
        if (i + 4 < n && rows[i + 4].first->type() == TSortListItem::Type)
            __builtin_prefetch(static_cast<const TSortListItem*>(rows[i + 4].first)->texts_.data());
        const bool text = item->type() == TSortListItem::Type;
        texts = texts && text;
        if (!text)
            plain = ColumnText(item, SortColumnIndex);
        return std::pair<std::size_t, std::string_view>(
            std::size_t(row), text ? static_cast<const TSortListItem*>(item)->Text(SortColumnIndex + 1)
                                   : std::string_view(plain));
    });
    if (textRows)
        *textRows = texts;
    return order;
}

std::vector<std::uint32_t> TCustomSortListView::textOrder(
    std::size_t n, const std::function<std::pair<std::size_t, std::string_view>(std::size_t)>& textAt) const
{
    // Each text is read once, not at every comparison: music lists run to tens of thousands
    // of rows. The keys go one after another into one arena, and the sort moves 16-byte
    // entries that start with the first bytes of their key, so that most comparisons look at
    // nothing else.
    if (n >= SortEntry::MaxRows)
        throw std::length_error("too many rows to sort");
    collate::SortKeys keys;
    keys.reserve(n, n * 48);
    std::vector<TSortReading> readings;
    readings.reserve(n);
    std::vector<SortEntry> entries(n);
    bool valued = false;  // some text reads as a date or a number
    for (std::size_t i = 0; i < n; ++i) {
        const auto [row, text] = textAt(i);
        readings.push_back(readForSort(text, autoSortStyle_, keys));
        const TSortReading& r = readings.back();
        SortEntry& e = entries[row];
        e.head = rtl::TextHead(keys.key(r.key));
        e.row = std::uint32_t(row);
        e.key = std::uint32_t(r.key) & (SortEntry::MaxRows - 1);
        e.date = r.date.has_value();
        e.number = r.number.has_value();
        valued = valued || e.date || e.number;
    }
    if (valued)
        sortByReadings(entries, readings, keys, DirectionFactor);
    else
        sortByKeys(entries, keys, DirectionFactor);
    std::vector<std::uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = entries[i].row;
    return order;
}

// Gives every row (all of them TSortListItem) its place in Order (the rows' list places,
// sorted) as its rank, which also brings the rows into the caches for Qt's sort by these ranks.
void TCustomSortListView::rankRows(const RowsByAddress& rows, const std::vector<std::uint32_t>& order)
{
    const std::vector<std::uint32_t> place = placesOf(order);
    for (const auto& [item, row] : rows)
        static_cast<TSortListItem*>(item)->rank_ = place[std::size_t(row)];
}

void TCustomSortListView::sortAll()
{
    QTreeWidgetItem* root = invisibleRootItem();
    QList<QTreeWidgetItem*> items;
    items.reserve(root->childCount());
    for (int i = 0; i < root->childCount(); ++i)
        items.append(root->child(i));
    // The rows are reordered under a list that stays where it was scrolled; Qt would
    // otherwise scroll to wherever the focused row landed.
    const int scrolled = verticalScrollBar()->value();
    if (!OnSortItems) {
        const RowsByAddress rows = rowsOf(items);
        bool textRows = false;
        const std::vector<std::uint32_t> order = sortOrder(rows, &textRows);
        if (textRows) {
            rankRows(rows, order);
            // Qt moves the rows within the list by their ranks, in one change of its layout
            // that keeps the selection and the focus with their rows.
            TSortListItem::ranked_ = true;
            root->sortChildren(0, Qt::AscendingOrder);
            TSortListItem::ranked_ = false;
            verticalScrollBar()->setValue(scrolled);
            return;
        }
        putInOrder(items, order);
    } else {
        sortItems(items);
    }
    // Rows of other kinds are taken out and put back in their new order.
    QTreeWidgetItem* current = currentItem();
    std::vector<QTreeWidgetItem*> selected;
    for (QTreeWidgetItem* i : selectedItems())
        selected.push_back(i);
    (void)root->takeChildren();
    addTopLevelItems(items);
    for (QTreeWidgetItem* i : selected)
        i->setSelected(true);
    if (current)
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    verticalScrollBar()->setValue(scrolled);
}

void TCustomSortListView::sortWithEvents(int Column, bool Ascending, const std::function<void()>& Sort)
{
    sortPending_ = false;
    markArrowColumn(Column);
    // The events have always been told the opposite of Ascending; their handlers expect it.
    if (OnSortBegin)
        OnSortBegin(this, Column, !Ascending);
    DirectionFactor = Ascending ? 1 : -1;
    SortColumnIndex = Column - 1;
    if (autoColumnSort_ != acsMarkOnly && Column != CancelSort)
        Sort();
    if (OnSortFinished)
        OnSortFinished(this, Column, !Ascending);
}

void TCustomSortListView::SortOnColumn(int Column, bool Ascending)
{
    sortWithEvents(Column, Ascending, [this] { sortAll(); });
}

void TCustomSortListView::AddSortedItems(QList<QTreeWidgetItem*> Items, int Column, bool Ascending,
                                         const std::function<void(QTreeWidgetItem*, int)>& Prepare)
{
    if (Count() > 0 || OnSortItems) {
        addTopLevelItems(Items);
        SortOnColumn(Column, Ascending);
        if (Prepare) {
            const int n = Count();
            {
                const QSignalBlocker quiet(model());
                RowsByAddress rows(static_cast<std::size_t>(n));
                for (int i = 0; i < n; ++i)
                    rows[std::size_t(i)] = {topLevelItem(i), i};
                prepareInMemoryOrder(rows, Prepare);
            }
            if (n > 0)
                emit model()->dataChanged(model()->index(0, 0), model()->index(n - 1, columnCount() - 1));
        }
        return;
    }
    // The sort leaves the rows in memory order with their new places, ready for Prepare.
    RowsByAddress placed;
    sortWithEvents(Column, Ascending, [this, &Items, &placed] { sortItems(Items, &placed); });
    if (Prepare) {
        if (placed.size() != std::size_t(Items.size()))  // not sorted after all
            placed = rowsInMemoryOrder(Items);
        for (const auto& [item, row] : placed)
            Prepare(item, row);
    }
    addTopLevelItems(Items);
}

void TCustomSortListView::AddSortedRows(std::size_t Rows, const std::function<std::string_view(std::size_t)>& Text,
                                        const std::function<QTreeWidgetItem*(const std::vector<std::uint32_t>&, std::size_t)>& Make, int Column,
                                        bool Ascending, const std::function<void(QTreeWidgetItem*, int)>& Prepare)
{
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(Rows));
    // Rows made and not yet in the list are freed with it on an exception.
    auto freeRows = qScopeGuard([&items] { qDeleteAll(items); });
    std::vector<std::uint32_t> order;
    const auto inTheirOrder = [&] {
        order.resize(Rows);
        for (std::size_t i = 0; i < Rows; ++i)
            order[i] = std::uint32_t(i);
    };
    if (Count() > 0 || OnSortItems) {
        inTheirOrder();
        for (std::size_t i = 0; i < Rows; ++i)
            items.append(Make(order, i));
        freeRows.dismiss();
        AddSortedItems(std::move(items), Column, Ascending, Prepare);
        return;
    }
    sortWithEvents(Column, Ascending, [&] {
        order = textOrder(Rows, [&](std::size_t i) { return std::pair<std::size_t, std::string_view>(i, Text(i)); });
    });
    if (order.size() != Rows)  // not sorted after all
        inTheirOrder();
    for (std::size_t place = 0; place < Rows; ++place) {
        items.append(Make(order, place));
        if (Prepare)
            Prepare(items.back(), int(place));
    }
    freeRows.dismiss();
    addTopLevelItems(items);
}

void TCustomSortListView::SortAgain()
{
    sortPending_ = true;
    const bool validColumn = lastColumn_ >= 0 && lastColumn_ < columnCount();
    if (((autoColumnSort_ != acsNoSort && validColumn) || OnSortItems) && updateCount_ == 0)
        SortOnColumn(lastColumn_, ascending_);
}
