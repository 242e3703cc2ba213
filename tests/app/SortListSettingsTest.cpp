// A sortable list's saved settings (written when it is destroyed, read when it is loaded)
// and its background picture, on a list of its own.
#include <gtest/gtest.h>

#include <memory>

#include <QApplication>

#include "app/SortListView.h"
#include "shared/SettingsFixture.h"
#include "util/libIni.h"

namespace {

const char* const Key = "Lists\\Test";

std::unique_ptr<TSortListView> makeList()
{
    auto list = std::make_unique<TSortListView>();
    list->resize(400, 160);
    list->AddColumn("", 20);
    list->AddColumn("Title", 150);
    list->AddColumn("Artist", 120);
    list->AutoResort = false;
    list->SetAutoColumnSort(acsSortToggle);
    for (const char* t : {"b", "c", "a"})
        list->AddItem(t, {t, std::string("x") + t});
    list->SaveSettings.AutoSave = true;
    list->SaveSettings.RegistryKey = Key;
    return list;
}

std::string valueOf(const ParsedIni& ini, const std::string& section, const std::string& key)
{
    for (const auto& [k, v] : ini.keys(section))
        if (k == key)
            return v;
    return "(missing)";
}

}  // namespace

TEST(SortListSettings, WrittenOnDestructionAndReadWhenLoaded)
{
    SettingsFixture settings;
    {
        auto list = makeList();
        list->Loaded();  // nothing saved yet: the defaults
        list->setColumnWidth(1, 111);
        list->setColumnWidth(2, 77);
        list->ColumnClick(2);
        list->ColumnClick(2);  // descending
        list->SetViewStyle(vsList);
    }
    const ParsedIni ini = readWithConfigParser(settings.path());
    EXPECT_EQ(valueOf(ini, "Lists\\Test\\Columns", "Sizes"), "20,111,77");
    EXPECT_EQ(valueOf(ini, "Lists\\Test\\Sort", "Ascending"), "0");
    EXPECT_EQ(valueOf(ini, "Lists\\Test\\Sort", "SortCol"), "2");
    EXPECT_EQ(valueOf(ini, "Lists\\Test\\ViewStyle", "ViewStyle"), "2");

    auto again = makeList();
    again->Loaded();
    EXPECT_EQ(again->columnWidth(1), 111);
    EXPECT_EQ(again->columnWidth(2), 77);
    EXPECT_EQ(again->LastColumnClicked(), 2);
    EXPECT_FALSE(again->CurrentSortAscending());
    EXPECT_EQ(TCustomSortListView::ColumnText(again->Item(0), 1), "xc");  // sorted descending
    EXPECT_EQ(again->ViewStyle(), vsList);
    again->SaveSettings.AutoSave = false;  // leaves the file as it is
}

TEST(SortListSettings, ReadsWhatAnotherProgramWroteAndKeepsWhatIsInvalid)
{
    SettingsFixture settings;
    // Written by hand: one width unreadable, a view style out of range, a sort column beyond
    // the columns.
    testsupport::writeFile(settings.path(),
                           "[Lists\\Test\\Columns]\nSizes=30, x ,90\n"
                           "[Lists\\Test\\Sort]\nAscending=1\nSortCol=9\n"
                           "[Lists\\Test\\ViewStyle]\nViewStyle=7\n");
    auto list = makeList();
    const int before = list->columnWidth(1);
    list->SetViewStyle(vsSmallIcon);
    list->Loaded();
    EXPECT_EQ(list->columnWidth(0), 30);
    EXPECT_EQ(list->columnWidth(1), before);
    EXPECT_EQ(list->columnWidth(2), 90);
    EXPECT_EQ(list->LastColumnClicked(), -1);
    EXPECT_EQ(list->ViewStyle(), vsSmallIcon);

    // With the parts turned off nothing of them is written.
    list->SaveSettings.SaveColumnSizes = false;
    list->SaveSettings.SaveViewStyle = false;
    IniEraseSection(IniBase, "Lists\\Test\\Columns");
    list.reset();
    const ParsedIni ini = readWithConfigParser(settings.path());
    EXPECT_FALSE(ini.has("Lists\\Test\\Columns"));
    EXPECT_EQ(valueOf(ini, "Lists\\Test\\ViewStyle", "ViewStyle"), "7");
    EXPECT_EQ(valueOf(ini, "Lists\\Test\\Sort", "SortCol"), "-1");
}

TEST(SortListSettings, BackgroundImageOnceAtTheTopLeft)
{
    TSortListView list;
    list.resize(300, 200);
    list.AddColumn("", 100);
    gfx::TBitmap& back = list.BackgroundImage();
    back.SetPixelFormat(gfx::pf24bit);
    back.SetSize(40, 30);
    back.Canvas().Brush().SetColor(0x0000FF);
    back.Canvas().FillRect({0, 0, 40, 30});
    list.show();
    QApplication::processEvents();
    QImage before = list.viewport()->grab().toImage();
    EXPECT_NE(before.pixel(5, 5), qRgb(255, 0, 0));  // applied only by Loaded
    list.Loaded();
    QApplication::processEvents();
    const QImage img = list.viewport()->grab().toImage();
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(39, 29), qRgb(255, 0, 0));
    EXPECT_NE(img.pixel(45, 35), qRgb(255, 0, 0));  // not tiled
    EXPECT_NE(img.pixel(5, 35), qRgb(255, 0, 0));
}
