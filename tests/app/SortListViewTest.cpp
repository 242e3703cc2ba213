#include "app/SortListView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <array>
#include <random>

namespace {

std::vector<std::string> sortedBy(std::vector<std::string> texts, TAutoSortStyle style)
{
    std::stable_sort(texts.begin(), texts.end(), [style](const std::string& a, const std::string& b) {
        return SortCompareTexts(a, b, style) < 0;
    });
    return texts;
}

// A list set up as the main window's: caption, "No.", Title, Artist.
struct MusicList {
    TSortListView list;
    MusicList()
    {
        list.resize(500, 200);
        list.AddColumn("", 20);
        list.AddColumn("No.", 40, Qt::AlignRight);
        list.AddColumn("Title", 150);
        list.AddColumn("Artist", 120);
        list.AutoResort = false;
        list.SetAutoColumnSort(acsSortToggle);
        list.SetShowSortArrows(true);
        list.CancelSort = 1;
        list.SetStyle(lvOwnerDrawFixed);
        const char* rows[][3] = {{"1", "Cherry", "b"}, {"2", "apple", "c"}, {"3", "Banana", "a"},
                                 {"10", "Blueberry", "d"}};
        for (auto& r : rows)
            list.AddItem("", {r[0], r[1], r[2]});
    }
    std::vector<std::string> column(int sub) const
    {
        std::vector<std::string> out;
        for (int i = 0; i < list.Count(); ++i)
            out.push_back(TCustomSortListView::ColumnText(list.Item(i), sub));
        return out;
    }
};

void typeKey(QWidget* w, char c)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key(QChar(c).toUpper().unicode()), Qt::NoModifier, QString(QChar(c)));
    QApplication::sendEvent(w, &press);
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(SortListViewCompare, NumbersSortByValueOnlyInTheSmartStyle)
{
    EXPECT_EQ(sortedBy({"2", "10", "9"}, assSmart), (Texts{"2", "9", "10"}));
    EXPECT_EQ(sortedBy({"2", "10", "9"}, assDefault), (Texts{"10", "2", "9"}));
    // Thousands separators, decimals and a unit after a blank.
    EXPECT_EQ(sortedBy({"1,234", "987", "12,000.5"}, assSmart), (Texts{"987", "1,234", "12,000.5"}));
    EXPECT_EQ(sortedBy({"1.5", "1.25", "-3"}, assSmart), (Texts{"-3", "1.25", "1.5"}));
    EXPECT_EQ(sortedBy({"128 kbps", "64 kbps", "320 kbps"}, assSmart), (Texts{"64 kbps", "128 kbps", "320 kbps"}));
    EXPECT_EQ(SortTextAsNumber("1,234"), 1234.0);
    EXPECT_FALSE(SortTextAsNumber("abc").has_value());
    EXPECT_FALSE(SortTextAsNumber("").has_value());
    EXPECT_FALSE(SortTextAsNumber("inf").has_value());
}

TEST(SortListViewCompare, DatesAndTimesSortByValue)
{
    EXPECT_EQ(sortedBy({"2024/01/05", "2023/12/31", "2024/1/4"}, assSmart),
              (Texts{"2023/12/31", "2024/1/4", "2024/01/05"}));
    EXPECT_EQ(sortedBy({"10:00", "9:05", "9:05:30"}, assSmart), (Texts{"9:05", "9:05:30", "10:00"}));
    EXPECT_EQ(sortedBy({"2024/1/2 10:00", "2024/1/2 9:00", "2024/1/1 23:59"}, assSmart),
              (Texts{"2024/1/1 23:59", "2024/1/2 9:00", "2024/1/2 10:00"}));
    // A single separator (a track "3/12") is no date: text order, not March before October.
    EXPECT_FALSE(SortTextAsDateTime("3/12").has_value());
    EXPECT_EQ(sortedBy({"3/12", "10/1"}, assSmart), (Texts{"10/1", "3/12"}));
    // Impossible dates and times are no dates.
    EXPECT_FALSE(SortTextAsDateTime("2024/02/30").has_value());
    EXPECT_FALSE(SortTextAsDateTime("25:00").has_value());
    EXPECT_FALSE(SortTextAsDateTime("2024/").has_value());
    EXPECT_NEAR(*SortTextAsDateTime("2024/1/2 12:00") - *SortTextAsDateTime("2024/1/2"), 0.5, 1e-9);
}

TEST(SortListView, ClicksToggleTheSortAndTheCancelColumnDoesNothing)
{
    MusicList m;
    std::vector<std::pair<int, bool>> begun;
    m.list.OnSortBegin = [&](QObject*, int column, bool flag) { begun.push_back({column, flag}); };
    m.list.ColumnClick(2);
    EXPECT_EQ(m.column(1), (Texts{"apple", "Banana", "Blueberry", "Cherry"}));
    EXPECT_TRUE(m.list.CurrentSortAscending());
    EXPECT_EQ(m.list.LastColumnClicked(), 2);
    m.list.ColumnClick(2);
    EXPECT_EQ(m.column(1), (Texts{"Cherry", "Blueberry", "Banana", "apple"}));
    EXPECT_FALSE(m.list.CurrentSortAscending());
    // The sort events are told the negation of the direction.
    EXPECT_EQ(begun, (std::vector<std::pair<int, bool>>{{2, false}, {2, true}}));

    // "No." never sorts and the arrow stays on Title.
    m.list.ColumnClick(1);
    EXPECT_EQ(m.column(1), (Texts{"Cherry", "Blueberry", "Banana", "apple"}));
    EXPECT_EQ(m.list.LastColumnClicked(), 2);

    // Another column sorts ascending again.
    m.list.ColumnClick(3);
    EXPECT_EQ(m.column(2), (Texts{"a", "b", "c", "d"}));
    EXPECT_TRUE(m.list.CurrentSortAscending());

    // A click on the real header reaches the list.
    m.list.show();
    QCoreApplication::processEvents();
    QHeaderView* header = m.list.header();
    const QPoint at(header->sectionViewportPosition(2) + 10, header->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), header->viewport()->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), header->viewport()->mapToGlobal(QPointF(at)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QApplication::sendEvent(header->viewport(), &release);
    EXPECT_EQ(m.list.LastColumnClicked(), 2);
    EXPECT_EQ(m.column(1), (Texts{"apple", "Banana", "Blueberry", "Cherry"}));

    // A sort leaves the list scrolled where it was, wherever the focused row lands.
    for (int i = 0; i < 100; ++i)
        m.list.AddItem("", {std::to_string(i + 5), "zz" + std::to_string(i), "e"});
    m.list.setCurrentItem(m.list.Item(0), 0, QItemSelectionModel::NoUpdate);
    m.list.scrollToTop();
    m.list.ColumnClick(2);   // descending: the focused "apple" goes last
    QCoreApplication::processEvents();
    EXPECT_EQ(TCustomSortListView::ColumnText(m.list.Item(m.list.Count() - 1), 1), "apple");
    EXPECT_EQ(m.list.verticalScrollBar()->value(), 0);
}

TEST(SortListView, SortArrowsFollowTheDirection)
{
    MusicList m;
    const gfx::TBitmap* up = m.list.UpArrow();
    const gfx::TBitmap* down = m.list.DownArrow();
    ASSERT_TRUE(up && down);
    const int s = up->Width();
    EXPECT_EQ(s % 2, 0) << "an odd text height is rounded up";
    EXPECT_EQ(up->Height(), s);
    const gfx::TColor face = gfx::ColorToRGB(gfx::clBtnFace);
    const gfx::TColor shadow = gfx::ColorToRGB(gfx::clBtnShadow);
    const gfx::TColor light = gfx::ColorToRGB(gfx::clBtnHighlight);
    gfx::TBitmap& u = const_cast<gfx::TBitmap&>(*up);
    gfx::TBitmap& d = const_cast<gfx::TBitmap&>(*down);
    EXPECT_EQ(u.Canvas().Pixels(s / 2, 0), face);
    EXPECT_EQ(u.Canvas().Pixels(0, s - 1), shadow) << "the base line runs over the left corner";
    EXPECT_EQ(u.Canvas().Pixels(s / 2, s - 1), shadow);
    bool litLeftEdge = false;
    for (int y = 0; y < s; ++y)
        for (int x = 0; x < s / 2; ++x)
            litLeftEdge = litLeftEdge || u.Canvas().Pixels(x, y) == light;
    EXPECT_TRUE(litLeftEdge);
    EXPECT_EQ(u.Canvas().Pixels(s / 2, s / 2), face) << "hollow inside";
    EXPECT_EQ(d.Canvas().Pixels(s - 1, 0), shadow);
    EXPECT_EQ(d.Canvas().Pixels(0, 0), light);
    EXPECT_EQ(d.Canvas().Pixels(s / 2, 2), face);

    m.list.SetShowSortArrows(false);
    EXPECT_EQ(m.list.UpArrow(), nullptr);
}

TEST(SortListView, NarrowHeaderShowsNoArrow)
{
    MusicList m;
    m.list.ColumnClick(2);
    gfx::TRect text, arrow;
    m.list.HeaderLayout(2, gfx::TRect{2, 2, 148, 18}, false, text, arrow);
    ASSERT_FALSE(arrow.IsEmpty());
    EXPECT_EQ(arrow.Left, text.Right + 8);
    EXPECT_EQ(text.Left, 6);
    m.list.HeaderLayout(2, gfx::TRect{2, 2, 20, 18}, false, text, arrow);
    EXPECT_TRUE(arrow.IsEmpty());
    // Columns without the sort mark never get one.
    m.list.HeaderLayout(3, gfx::TRect{2, 2, 148, 18}, false, text, arrow);
    EXPECT_TRUE(arrow.IsEmpty());
    // A right-aligned column puts the arrow before its text.
    m.list.MarkSortColumn(1);
    m.list.HeaderLayout(1, gfx::TRect{2, 2, 100, 18}, false, text, arrow);
    ASSERT_FALSE(arrow.IsEmpty());
    EXPECT_EQ(arrow.Right, text.Left - 8);
    EXPECT_EQ(text.Right, 96);
}

TEST(SortListView, TypeAheadRestartsAfterASecond)
{
    MusicList m;
    double now = 0;
    m.list.Clock = [&] { return now; };
    m.list.ColumnSearch = true;
    m.list.MarkSortColumn(2);
    auto selected = [&] {
        auto items = m.list.selectedItems();
        return items.size() == 1 ? TCustomSortListView::ColumnText(items[0], 1) : std::string("?");
    };
    typeKey(&m.list, 'b');
    EXPECT_EQ(selected(), "Banana");
    now = 500;
    typeKey(&m.list, 'l');
    EXPECT_EQ(selected(), "Blueberry");
    EXPECT_EQ(m.list.SearchText(), "bl");
    now = 1600;  // more than a second later: a new search
    typeKey(&m.list, 'a');
    EXPECT_EQ(selected(), "apple");
    EXPECT_EQ(m.list.SearchText(), "a");
    now = 1700;
    typeKey(&m.list, 'z');  // "az" matches nothing: the text restarts with the key alone
    EXPECT_EQ(selected(), "apple");
    EXPECT_EQ(m.list.SearchText(), "z");
}

TEST(SortListView, SearchesWrapFromTheSelection)
{
    MusicList m;
    EXPECT_TRUE(m.list.SelectByPrefix("B", 2));
    EXPECT_EQ(TCustomSortListView::ColumnText(m.list.selectedItems()[0], 1), "Banana");
    EXPECT_TRUE(m.list.SelectByPrefix("b", 2));
    EXPECT_EQ(TCustomSortListView::ColumnText(m.list.selectedItems()[0], 1), "Blueberry");
    EXPECT_TRUE(m.list.SelectByPrefix("b", 2));  // wraps round to the first match
    EXPECT_EQ(TCustomSortListView::ColumnText(m.list.selectedItems()[0], 1), "Banana");
    EXPECT_FALSE(m.list.SelectBySubstring("ERR", 2)) << "substrings match with case";
    EXPECT_TRUE(m.list.SelectBySubstring("herr", 2));
    EXPECT_EQ(TCustomSortListView::ColumnText(m.list.selectedItems()[0], 1), "Cherry");
}

TEST(SortListView, UpdateBracketDefersTheResort)
{
    MusicList m;
    m.list.AutoResort = true;
    m.list.ColumnClick(2);
    m.list.BeginItemUpdate();
    m.list.AddItem("", {"5", "Aardvark", "e"});
    EXPECT_EQ(m.column(1).back(), "Aardvark");
    m.list.EndItemUpdate();
    EXPECT_EQ(m.column(1).front(), "Aardvark");
    m.list.EndItemUpdate();  // never below zero
    m.list.AddItem("", {"6", "Zebra", "f"});
    EXPECT_EQ(m.column(1).back(), "Zebra");
}

TEST(SortListView, SortItemsEventDecidesHowToCompare)
{
    MusicList m;
    m.list.OnSortItems = [](QObject*, QTreeWidgetItem*, QTreeWidgetItem*, int, int& sortAs, int&) {
        sortAs = saNumeric;
    };
    m.list.ColumnClick(1);  // the cancel column: no sort
    m.list.CancelSort = -1;
    m.list.ColumnClick(1);
    EXPECT_EQ(m.column(0), (Texts{"1", "2", "3", "10"}));
    m.list.ColumnClick(1);
    EXPECT_EQ(m.column(0), (Texts{"10", "3", "2", "1"}));
}

// Rows of TSortListItem added sorted, and sorted again after a text changed, come in the
// order that plain rows added and then sorted come in: ties keep their order, letter case
// and kana decide only as the collation says, numbers sort by value.
TEST(SortListView, SortedRowsOfTextItemsMatchPlainRowsSortedAfterwards)
{
    const char* rows[][2] = {{"b", "a"},     {"B", "b"},    {"10", "c"},     {"9", "d"},
                             {"1,000", "e"}, {"b", "f"},    {"さくら", "g"}, {"サクラ", "h"},
                             {"桜", "i"},    {"", "j"},     {"Éclair", "k"}, {"eclair", "l"}};
    MusicList plain, text;
    for (MusicList* m : {&plain, &text}) {
        m->list.clear();
        m->list.SetStyle(lvStandard);
    }
    int begun = 0, finished = 0;
    text.list.OnSortBegin = [&](QObject*, int, bool) { ++begun; };
    text.list.OnSortFinished = [&](QObject*, int, bool) { ++finished; };
    QList<QTreeWidgetItem*> items;
    for (auto& r : rows) {
        plain.list.AddItem("", {"", r[0], r[1]});
        items.append(new TSortListItem({"", "", r[0], r[1]}));
    }
    plain.list.SortOnColumn(2, true);
    text.list.AddSortedItems(items, 2, true, [](QTreeWidgetItem* row, int n) {
        static_cast<TSortListItem*>(row)->SetTextQuietly(1, std::to_string(n + 1));
    });
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(text.column(2), plain.column(2));
    EXPECT_EQ(text.column(0), (Texts{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}));
    // A changed text is read again, not taken from the last sort.
    for (MusicList* m : {&plain, &text}) {
        m->list.SortOnColumn(2, false);
        m->list.Item(m->list.Count() - 1)->setText(2, "zzz");  // was the empty title
        m->list.SortOnColumn(2, true);
    }
    EXPECT_EQ(text.column(2), plain.column(2));
    EXPECT_NE(text.column(1).front(), "zzz");
    // Into a list with rows the new ones are sorted in with them.
    plain.list.AddItem("", {"", "c", "m"});
    plain.list.SortOnColumn(2, true);
    text.list.AddSortedItems({new TSortListItem({"", "", "c", "m"})}, 2, true);
    EXPECT_EQ(text.column(2), plain.column(2));
}

// Rows made from their texts after the texts were sorted stand as the same rows made first
// and sorted after: numbers and dates by value beside texts, ties in the caller's order, in
// both directions, numbered through Prepare in their places, one pair of sort events; into a
// list with rows, they are sorted in with those.
TEST(SortListView, RowsMadeAfterTheirTextsAreSortedStandAsRowsSortedAfterwards)
{
    const char* titles[] = {"b", "B", "10", "9", "1,000", "b", "さくら", "サクラ", "桜", "", "Éclair",
                            "eclair", "2001/04/01", "1999/12/31", "12:30", "Summer Night a", "Summer Night A",
                            "summer night a", "夏の夜", "b"};
    const std::size_t n = std::size(titles);
    for (const bool ascending : {true, false}) {
        SCOPED_TRACE(ascending ? "ascending" : "descending");
        MusicList made, sorted;
        int begun = 0, finished = 0;
        for (MusicList* m : {&made, &sorted}) {
            m->list.clear();
            m->list.OnSortBegin = [&](QObject*, int, bool) { ++begun; };
            m->list.OnSortFinished = [&](QObject*, int, bool) { ++finished; };
        }
        const auto number = [](QTreeWidgetItem* row, int place) {
            static_cast<TSortListItem*>(row)->SetTextQuietly(1, std::to_string(place + 1));
        };
        QList<QTreeWidgetItem*> items;
        for (std::size_t i = 0; i < n; ++i)
            items.append(new TSortListItem({"", "", titles[i], std::to_string(i)}));
        sorted.list.AddSortedItems(items, 2, ascending, number);
        std::vector<std::size_t> madeOnes;
        made.list.AddSortedRows(
            n, [&](std::size_t i) { return std::string_view(titles[i]); },
            [&](const std::vector<std::uint32_t>& order, std::size_t place) -> QTreeWidgetItem* {
                madeOnes.push_back(order[place]);
                return new TSortListItem({"", "", titles[order[place]], std::to_string(order[place])});
            },
            2, ascending, number);
        EXPECT_EQ(begun, 2);
        EXPECT_EQ(finished, 2);
        EXPECT_EQ(made.column(2), sorted.column(2));  // the rows' ids: ties in the same order
        EXPECT_EQ(made.column(0), sorted.column(0));  // numbered 1 .. n
        EXPECT_EQ(made.column(0).back(), std::to_string(n));
        // Each row was made once, in the list's order.
        Texts madeIds;
        for (std::size_t i : madeOnes)
            madeIds.push_back(std::to_string(i));
        EXPECT_EQ(madeIds, made.column(2));

        // Into a list with rows the new ones are sorted in with them.
        const char* more[] = {"c", "5", "さくら"};
        QList<QTreeWidgetItem*> moreItems;
        for (std::size_t i = 0; i < std::size(more); ++i)
            moreItems.append(new TSortListItem({"", "", more[i], "more " + std::to_string(i)}));
        sorted.list.AddSortedItems(moreItems, 2, ascending);
        made.list.AddSortedRows(
            std::size(more), [&](std::size_t i) { return std::string_view(more[i]); },
            [&](const std::vector<std::uint32_t>& order, std::size_t place) -> QTreeWidgetItem* {
                return new TSortListItem({"", "", more[order[place]], "more " + std::to_string(order[place])});
            },
            2, ascending);
        EXPECT_EQ(made.column(2), sorted.column(2));
        EXPECT_EQ(made.list.Count(), int(n + std::size(more)));
    }
}

TEST(SortListView, LongListsSortInTheJapaneseCollationOrderBothWays)
{
    // Many titles share their first bytes (and so the first bytes of their keys), or differ in
    // letter case, kana or width alone. (No numbers or dates: mixed with texts, their order
    // depends on the sort's merging, not on the comparison alone.)
    const char* starts[] = {"Summer Night ", "summer night ", "夏の夜 ", "ナツノヨル ", "Ｓｕｍｍｅｒ ", ""};
    const char* ends[] = {"a", "A", "b", "ß", "ss", "あ", "ア", "ｱ", "Ä", "é", ""};
    MusicList list;
    list.list.clear();
    std::vector<QString> titles;
    QList<QTreeWidgetItem*> items;
    std::mt19937 rng(3);
    for (int i = 0; i < 3000; ++i) {
        const std::string t = std::string(starts[rng() % std::size(starts)]) + ends[rng() % std::size(ends)] +
                              ends[rng() % std::size(ends)];
        titles.push_back(QString::fromStdString(t));
        items.append(new TSortListItem({"", "", t, ""}));
    }
    // The order the list has always had: QCollator's, Japanese, case sensitive.
    QCollator japanese{QLocale(QLocale::Japanese, QLocale::Japan)};
    japanese.setCaseSensitivity(Qt::CaseSensitive);
    const auto expected = [&](bool ascending) {
        std::vector<QString> sorted = titles;
        std::stable_sort(sorted.begin(), sorted.end(), [&](const QString& a, const QString& b) {
            return (ascending ? japanese.compare(a, b) : japanese.compare(b, a)) < 0;
        });
        Texts out;
        for (const QString& q : sorted)
            out.push_back(q.toStdString());
        return out;
    };
    list.list.AddSortedItems(items, 2, true);
    EXPECT_EQ(list.column(1), expected(true));
    list.list.SortOnColumn(2, false);
    EXPECT_EQ(list.column(1), expected(false));
}

// Rows of TSortListItem, clicked column after column in both directions, come in the order
// that a plain stable sort by SortCompareTexts gives the rows in their order before each
// click: ties keep their places, keys that share their first 8 or 16 bytes (or end there)
// part where they differ, kana, kanji, case and empty titles collate as they always have. A
// second list whose titles include numbers sorts as that merging of the same rows does.
TEST(SortListView, LongListsSortAsAStableSortByTheComparison)
{
    const char* starts[] = {"", "Summer Night", "summer night", "SUMMER NIGHTS", "夏の夜", "ナツノヨル", "なつのよる",
                            "夏の夜の夢", "Ｓｕｍｍｅｒ", "abcdefgh", "abcdefghabcdefgh"};
    const char* ends[] = {"", " a", "A", "b", "ß", "ss", "あ", "ア", "ｱ", "Ä", "é", "桜", "櫻", "abcdefgh"};
    const char* numbers[] = {"10 Songs", "9 Lives", "10cc", "1,000", "2 Become 1", "-5", ".5"};
    for (const bool withNumbers : {false, true}) {
        SCOPED_TRACE(withNumbers ? "with numbers" : "texts alone");
        MusicList m;
        m.list.clear();
        std::mt19937 rng(withNumbers ? 11 : 7);
        std::vector<std::pair<std::string, std::string>> rows;  // title, row id
        QList<QTreeWidgetItem*> items;
        for (int i = 0; i < 1500; ++i) {
            std::string t = std::string(starts[rng() % std::size(starts)]) + ends[rng() % std::size(ends)];
            if (withNumbers && rng() % 4 == 0)
                t = numbers[rng() % std::size(numbers)];
            rows.emplace_back(t, std::to_string(i));
            items.append(new TSortListItem({"", "", t, rows.back().second}));
        }
        m.list.addTopLevelItems(items);
        const auto expectOrder = [&](int column, bool ascending) {
            std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
                const int c = column == 2 ? SortCompareTexts(a.first, b.first, assSmart)
                                          : SortCompareTexts(a.second, b.second, assSmart);
                return (ascending ? c : -c) < 0;
            });
            Texts ids;
            for (const auto& r : rows)
                ids.push_back(r.second);
            EXPECT_EQ(m.column(2), ids) << "column " << column << (ascending ? " up" : " down");
        };
        for (const int column : {2, 2, 3, 2, 2}) {
            m.list.ColumnClick(column);
            expectOrder(column, m.list.CurrentSortAscending());
        }
    }
}

// A whole column is rewritten row by row in the order the rows lie in memory, not the
// list's: every row of a long sorted list, text rows and plain ones mixed (they lie apart),
// gets the text of its own place, and the view hears of the column once.
TEST(SortListView, ColumnTextsReachEveryRowOfALongSortedList)
{
    MusicList m;
    m.list.clear();
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < 2000; ++i) {
        const std::string title = "Title " + std::to_string((i * 7919) % 2000);
        if (i % 5 == 0) {
            auto* plain = new QTreeWidgetItem;
            plain->setText(2, QString::fromStdString(title));
            items.append(plain);
        } else {
            items.append(new TSortListItem({"", "old", title, "artist"}));
        }
    }
    m.list.addTopLevelItems(items);
    m.list.ColumnClick(2);
    int notices = 0;
    QObject::connect(m.list.model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         ++notices;
                         EXPECT_EQ(from.row(), 0);
                         EXPECT_EQ(to.row(), 1999);
                         EXPECT_EQ(from.column(), 1);
                     });
    m.list.SetColumnTexts(1, [](int row) { return "第" + std::to_string(row + 1); });
    EXPECT_EQ(notices, 1);
    for (int i = 0; i < m.list.Count(); ++i) {
        ASSERT_EQ(TCustomSortListView::ColumnText(m.list.Item(i), 0), "第" + std::to_string(i + 1)) << "row " << i;
        if (m.list.Item(i)->type() == TSortListItem::Type) {
            EXPECT_EQ(TCustomSortListView::ColumnText(m.list.Item(i), 2), "artist") << "row " << i;
        }
    }
    EXPECT_EQ(m.list.model()->index(1234, 1).data().toString(), QString("第1235"));
}

// Text rows are reordered in place: the same rows, still selected and focused, under a list
// that stays where it was scrolled.
TEST(SortListView, SortingTextRowsKeepsTheRowsSelectionFocusAndScroll)
{
    MusicList m;
    m.list.clear();
    m.list.SetStyle(lvStandard);
    m.list.show();
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < 300; ++i)
        items.append(new TSortListItem({"", "", "Title " + std::to_string((i * 7919) % 300), ""}));
    m.list.addTopLevelItems(items);
    QTreeWidgetItem* picked = items[17];
    items[42]->setSelected(true);
    m.list.setCurrentItem(picked, 0, QItemSelectionModel::Select);
    QCoreApplication::processEvents();
    m.list.verticalScrollBar()->setValue(40);
    m.list.ColumnClick(2);
    EXPECT_EQ(m.list.Count(), 300);
    EXPECT_EQ(m.list.verticalScrollBar()->value(), 40);
    EXPECT_EQ(m.list.currentItem(), picked);
    EXPECT_EQ(m.list.selectedItems().size(), 2);
    EXPECT_TRUE(picked->isSelected());
    EXPECT_TRUE(items[42]->isSelected());
    EXPECT_EQ(m.list.Item(0), items[0]);  // "Title 0"
    EXPECT_EQ(m.list.indexOfTopLevelItem(picked),
              int(std::count_if(items.begin(), items.end(), [&](QTreeWidgetItem* i) {
                  return SortCompareTexts(TCustomSortListView::ColumnText(i, 1),
                                          TCustomSortListView::ColumnText(picked, 1), assSmart) < 0;
              })));
}

TEST(SortListView, TextItemsReadAndChangeAsPlainItems)
{
    TSortListItem item({"caption", "", "タイトル"});
    QTreeWidgetItem& row = item;
    EXPECT_EQ(row.text(2), QString("タイトル"));
    EXPECT_EQ(TCustomSortListView::ColumnText(&item, 1), "タイトル");
    EXPECT_FALSE(row.data(5, Qt::DisplayRole).isValid());
    row.setText(5, "five");  // past the texts: the columns between stay empty
    row.setText(0, "");
    row.setData(2, Qt::EditRole, "題名");
    row.setData(2, Qt::UserRole, 42);
    EXPECT_EQ(item.TextCount(), 6);
    const std::unique_ptr<QTreeWidgetItem> copy(row.clone());
    for (const QTreeWidgetItem* r : {&row, copy.get()}) {
        EXPECT_EQ(r->text(0), QString());
        EXPECT_EQ(r->text(2), QString("題名"));
        EXPECT_EQ(r->text(4), QString());
        EXPECT_EQ(r->text(5), QString("five"));
        EXPECT_EQ(r->data(2, Qt::UserRole).toInt(), 42);
    }
    // A copy of a row that holds only texts (a row copied to the playlist) is still read
    // by drawing and sorting.
    const TSortListItem texts({"", "x", "y"});
    const std::unique_ptr<QTreeWidgetItem> textsCopy(texts.clone());
    EXPECT_EQ(TCustomSortListView::ColumnText(textsCopy.get(), 1), "y");
    // A change of a row in a view tells the view of that cell.
    TSortListView list;
    list.setColumnCount(3);
    list.addTopLevelItems({new TSortListItem({"", "a", "b"}), new TSortListItem({"", "c", "d"})});
    std::vector<std::pair<int, int>> changed;
    QObject::connect(list.model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         EXPECT_EQ(from, to);
                         changed.emplace_back(from.row(), from.column());
                     });
    list.Item(1)->setText(2, "e");
    list.Item(1)->setText(2, "e");  // no change, no notice
    EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{1, 2}}));
    EXPECT_EQ(list.model()->index(1, 2).data().toString(), QString("e"));
}

// Rows made one after another lie one after another in memory (the sort visits them in a
// random order); a row class of another size is made and freed whole as any object is.
TEST(SortListView, RowsLieTogetherAndLargerRowsKeepTheirOwnRoom)
{
    std::vector<std::unique_ptr<QTreeWidgetItem>> rows;
    for (int i = 0; i < 400; ++i)
        rows.emplace_back(new TSortListItem({"", "", "t"}));
    int next = 0;
    for (std::size_t i = 1; i < rows.size(); ++i)
        next += reinterpret_cast<char*>(rows[i].get()) - reinterpret_cast<char*>(rows[i - 1].get()) ==
                std::ptrdiff_t(sizeof(TSortListItem));
    EXPECT_GE(next, 390);

    struct TaggedRow : TSortListItem {
        using TSortListItem::TSortListItem;
        std::array<unsigned char, 48> tag{};
    };
    MusicList m;
    m.list.clear();
    std::vector<TaggedRow*> tagged;
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < 200; ++i) {
        tagged.push_back(new TaggedRow({"", "", "Tagged " + std::to_string(i % 37), ""}));
        tagged.back()->tag.fill(0xA5);
        items.append(tagged.back());
        items.append(new TSortListItem({"", "", "Plain " + std::to_string(i % 41), ""}));
    }
    m.list.addTopLevelItems(items);
    m.list.ColumnClick(2);
    for (const TaggedRow* t : tagged)
        ASSERT_TRUE(std::all_of(t->tag.begin(), t->tag.end(), [](unsigned char c) { return c == 0xA5; }));
    for (int i = 1; i < m.list.Count(); ++i)
        ASSERT_LE(SortCompareTexts(TCustomSortListView::ColumnText(m.list.Item(i - 1), 1),
                                   TCustomSortListView::ColumnText(m.list.Item(i), 1), assSmart),
                  0);
    m.list.clear();  // every row freed through its virtual destructor
    EXPECT_EQ(m.list.Count(), 0);
}

TEST(SortListView, MoveRowCarriesTheSelection)
{
    MusicList m;
    m.list.Item(0)->setSelected(true);
    m.list.MoveRow(0, 2);
    EXPECT_EQ(m.column(1), (Texts{"apple", "Banana", "Cherry", "Blueberry"}));
    EXPECT_TRUE(m.list.Item(2)->isSelected());
    EXPECT_FALSE(m.list.Item(0)->isSelected());
    m.list.MoveRow(3, 0);
    EXPECT_EQ(m.column(1).front(), "Blueberry");
}

TEST(SortListView, OwnerDrawingAndScreenshot)
{
    TSortListView list;
    list.resize(640, 180);
    list.Font().SetName("ＭＳ Ｐゴシック");
    list.Font().SetHeight(-12);
    for (auto [caption, width, align] : {std::tuple{"", 10, Qt::AlignLeft}, {"No.", 36, Qt::AlignRight},
                                         {"タイトル", 170, Qt::AlignLeft}, {"アーティスト", 120, Qt::AlignLeft},
                                         {"アルバム", 120, Qt::AlignLeft}, {"年", 44, Qt::AlignRight},
                                         {"ビットレート", 90, Qt::AlignRight}})
        list.AddColumn(caption, width, align);
    list.AutoResort = false;
    list.SetAutoColumnSort(acsSortToggle);
    list.SetShowSortArrows(true);
    list.CancelSort = 1;
    list.SetStyle(lvOwnerDrawFixed);
    const char* rows[][6] = {{"1", "さくら", "森山直太朗", "さくら（独唱）", "2003", "192 kbps"},
                             {"2", "夜に駆ける", "YOASOBI", "THE BOOK", "2019", "320 kbps"},
                             {"3", "Lemon", "米津玄師", "STRAY SHEEP", "2018", "256 kbps"},
                             {"4", "青と夏", "Mrs. GREEN APPLE", "青と夏", "2018", "64 kbps"},
                             {"5", "ｶﾀｶﾅの曲名", "半角ｱｰﾃｨｽﾄ", "ｱﾙﾊﾞﾑ", "1999", "1,411 kbps"}};
    for (auto& r : rows)
        list.AddItem("", {r[0], r[1], r[2], r[3], r[4], r[5]});
    int drawn = 0;
    list.OnDrawItem = [&](QObject*, gfx::TCanvas&, int, gfx::TRect rect, TOwnerDrawState, bool& def, bool&) {
        EXPECT_EQ(rect.Height(), list.RowHeight());
        ++drawn;
        def = true;
    };
    list.ColumnClick(6);  // bit rate, by value
    EXPECT_EQ(TCustomSortListView::ColumnText(list.Item(0), 5), "64 kbps");
    EXPECT_EQ(TCustomSortListView::ColumnText(list.Item(4), 5), "1,411 kbps");
    list.ColumnClick(2);
    list.Item(1)->setSelected(true);
    list.setCurrentItem(list.Item(1), 0, QItemSelectionModel::NoUpdate);
    list.show();
    QCoreApplication::processEvents();
    const QImage shot = list.grab().toImage();
    EXPECT_GE(drawn, list.Count());
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots";
    QDir().mkpath(dir);
    EXPECT_TRUE(shot.save(dir + "/sortlistview.png"));
}

TEST(SortListView, PlainRowsFollowTheirColumnsAlignment)
{
    // Rows added without an alignment of their own (as the music library adds them) still
    // show a right-aligned column's text at its right edge in the standard style.
    TSortListView list;
    list.resize(400, 120);
    list.AddColumn("", 20);
    list.AddColumn("Year", 160, Qt::AlignRight);
    list.AddItem("", {"1999"});
    list.show();
    QImage shot = list.viewport()->grab().toImage();
    const QRect cell = list.visualItemRect(list.Item(0));
    const int left = list.header()->sectionPosition(1), width = list.header()->sectionSize(1);
    int darkest = -1;
    for (int x = left; x < left + width; ++x)
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            if (qGray(shot.pixel(x, y)) < 100)
                darkest = std::max(darkest, x);
    ASSERT_GE(darkest, 0) << "no text drawn";
    EXPECT_GT(darkest, left + width * 3 / 4);
}

// A row selected before the window has put its columns in place is an ordinary selection:
// clearSelection clears it, before and after the columns come.
TEST(SortListView, SelectionsMadeBeforeTheColumnsAreCleared)
{
    TSortListView list;
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* a = new QTreeWidgetItem(&list);
    auto* b = new QTreeWidgetItem(&list);
    a->setSelected(true);
    EXPECT_EQ(list.selectedItems().size(), 1);
    list.clearSelection();
    EXPECT_FALSE(a->isSelected());

    b->setSelected(true);
    list.AddColumn("", 20);
    list.AddColumn("Title", 150);
    EXPECT_EQ(list.ColumnCount(), 2);
    EXPECT_TRUE(b->isSelected());
    list.clearSelection();
    EXPECT_FALSE(b->isSelected());
    EXPECT_TRUE(list.selectedItems().isEmpty());
}

// An owner that draws its captions bold (as the main window does) still gets them whole
// beside the sort arrow: the caption is measured in the font it is drawn in.
TEST(SortListView, BoldCaptionKeepsItsRoomBesideTheArrow)
{
    MusicList m;
    const std::string caption = "Wide Title Caption";
    m.list.headerItem()->setText(2, QString::fromStdString(caption));
    m.list.OnDrawHeader = [](QObject*, gfx::TCanvas& C, int, gfx::TRect&, bool, bool&) {
        C.Font().SetColor(0);
        C.Font().SetStyle(gfx::fsBold);
    };
    m.list.ColumnClick(2);
    m.list.show();
    QCoreApplication::processEvents();
    QHeaderView* header = m.list.header();
    const QImage shot = header->grab().toImage();
    const int left = header->sectionViewportPosition(2), right = left + header->sectionSize(2);
    // The caption's last inked column and the arrow's first, left to right.
    const QRgb face = QColor(shot.pixel(right - 4, 4)).rgb();
    int lastText = -1, firstArrow = -1;
    for (int x = left + 4; x < right - 3; ++x)
        for (int y = 3; y < shot.height() - 3; ++y) {
            const QRgb p = shot.pixel(x, y);
            if (qGray(p) < 40 && firstArrow < 0)
                lastText = x;
            else if (p != face && qGray(p) >= 40 && lastText >= 0 && x > lastText + 2 && firstArrow < 0)
                firstArrow = x;
        }
    gfx::TCanvas measure;
    measure.Font().Assign(m.list.Font());
    measure.Font().SetStyle(gfx::fsBold);
    const int textLeft = left + 2 + 4;
    EXPECT_GE(lastText, textLeft + measure.TextWidth(caption) - 3) << "the caption is cut short";
    EXPECT_GT(firstArrow, lastText + 4);
}

// The strip right of the last column continues each row's own background, also where only
// the row's cells changed state.
TEST(SortListView, RowBackgroundRunsPastTheLastColumn)
{
    MusicList m;
    m.list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    constexpr gfx::TColor pink = 0xEFAAFB;
    m.list.OnDrawSubItem = [](QObject*, gfx::TCanvas& C, int, int, gfx::TRect R, TOwnerDrawState State, bool&) {
        C.Brush().SetStyle(gfx::bsSolid);
        C.Brush().SetColor(State & odSelected ? pink : gfx::clWindow);
        C.FillRect(R);
    };
    m.list.show();
    QCoreApplication::processEvents();
    QRegion painted;
    struct PaintSpy : QObject {
        QRegion* region;
        explicit PaintSpy(QRegion* r) : region(r) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                *region += static_cast<QPaintEvent*>(e)->region();
            return false;
        }
    } spy(&painted);
    m.list.viewport()->installEventFilter(&spy);

    const QRect row = m.list.visualItemRect(m.list.Item(1));
    const int stripX = m.list.header()->length() + 20;
    ASSERT_LT(stripX, m.list.viewport()->width());
    const QPoint strip(stripX, row.center().y());
    for (bool selected : {true, false}) {
        painted = QRegion();
        m.list.Item(1)->setSelected(selected);
        QCoreApplication::processEvents();
        EXPECT_TRUE(painted.contains(strip)) << selected;
        const QImage shot = m.list.viewport()->grab().toImage();
        const QRgb want = selected ? qRgb(0xFB, 0xAA, 0xEF) : QColor(shot.pixel(strip.x(), row.bottom() + 30)).rgb();
        EXPECT_EQ(shot.pixel(strip) & 0xFFFFFF, want & 0xFFFFFF) << selected;
    }
}

// "Track" in bold beside the arrow needs more than the 57 pixels the main window gives it: a
// column sorted for the first time widens to show its caption whole, a wide one keeps its
// width, and a hidden one stays hidden.
TEST(SortListView, ASortedColumnWidensToHoldItsWholeCaptionAndArrow)
{
    MusicList m;
    m.list.AddColumn("Track", 36, Qt::AlignRight);
    m.list.OnDrawHeader = [](QObject*, gfx::TCanvas& C, int, gfx::TRect&, bool, bool&) {
        C.Font().SetStyle(gfx::fsBold);
    };
    gfx::TCanvas bold;
    bold.Font().Assign(m.list.Font());
    bold.Font().SetStyle(gfx::fsBold);
    const int caption = bold.TextWidth("Track");
    m.list.ColumnClick(4);
    const int width = m.list.columnWidth(4);
    EXPECT_EQ(width, m.list.SortedColumnWidth(4));
    EXPECT_GT(width, 36);
    for (bool pressed : {false, true}) {
        gfx::TRect item{2, 2, width - 2, 18};
        if (pressed)
            item = gfx::TRect{3, 3, width - 2, 18};
        gfx::TRect text, arrow;
        m.list.HeaderLayout(4, item, pressed, text, arrow, &bold.Font());
        EXPECT_EQ(text.Width(), caption) << pressed;   // whole, not "Tr..."
        EXPECT_FALSE(arrow.IsEmpty()) << pressed;
    }
    // The second click reverses and keeps the width; a wide column is left as it is.
    m.list.ColumnClick(4);
    EXPECT_EQ(m.list.columnWidth(4), width);
    m.list.ColumnClick(2);
    EXPECT_EQ(m.list.columnWidth(2), 150);
    m.list.setColumnWidth(0, 0);
    m.list.SortOnColumn(0, true);
    EXPECT_EQ(m.list.columnWidth(0), 0);
}
