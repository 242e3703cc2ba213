// Font picker on this machine's fonts: the kinds listed (checked against fontconfig's own
// list of Japanese families), the block of used fonts, SetUsedFonts and SetFontName, and where
// the preview window opens.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/pickers/scFontCombobox.h"
#include "platform/forms/Form.h"
#include "support/TestSupport.h"

using namespace controls;
using controltest::activate;

namespace {

std::string kindAt(TscFontComboBox& c, int i)
{
    const std::string& s = c.Items()[i];
    return s.substr(s.find('=') + 1);
}

// Opens the list, picks item i and closes it, as a user's choice does.
void choose(TscFontComboBox& c, int i)
{
    c.showPopup();
    c.SetItemIndex(i);
    c.hidePopup();
}

// The first ordinary item (past the used block, and not the top line, which a choice leaves
// alone) whose name is not in `avoid`.
int ordinary(TscFontComboBox& c, const std::set<std::string>& avoid)
{
    for (int i = std::max(c.UsedCount(), 1); i < c.Items().Count(); ++i)
        if (!avoid.count(c.Items().Names(i)))
            return i;
    return -1;
}

}  // namespace

TEST(FontPicker, ListsTheKindsAsked)
{
    TscFontComboBox c;
    EXPECT_EQ(c.FontTypes(), unsigned(ftTrueTypeAnsi | ftTrueTypeSymbol));
    EXPECT_EQ(c.ItemHeight(), 18);
    EXPECT_EQ(c.DropDownCount(), 12);
    EXPECT_EQ(c.Width(), 200);
    c.SetFontTypes(ftTrueTypeSymbol | ffShiftJis);
    c.LoadFonts(true);
    ASSERT_GT(c.Items().Count(), 0);
    for (int i = 0; i < c.Items().Count(); ++i) {
        const std::string kind = kindAt(c, i);
        EXPECT_TRUE(kind == "JS" || kind == "TS") << c.Items()[i];
        if (kind == "JS") {
            EXPECT_TRUE(QFontDatabase::writingSystems(QString::fromStdString(c.Items().Names(i)))
                            .contains(QFontDatabase::Japanese));
        }
        if (i > 0) {
            EXPECT_LE(QString::fromStdString(c.Items()[i - 1]).compare(QString::fromStdString(c.Items()[i]),
                                                                      Qt::CaseInsensitive), 0);
        }
    }
    // fontconfig's Japanese families (the IPA fonts) are all there.
    const auto fc = testsupport::runCommand("fc-list", {":lang=ja", "family"});
    ASSERT_EQ(fc.exitCode, 0);
    int japanese = 0;
    for (const QString& line : QString::fromStdString(fc.out).split('\n', Qt::SkipEmptyParts)) {
        bool listed = false;
        for (const QString& name : line.split(','))
            listed = listed || c.Items().IndexOf(name.trimmed().toStdString() + "=JS") >= 0;
        EXPECT_TRUE(listed) << line.toStdString();
        ++japanese;
    }
    EXPECT_GT(japanese, 0);

    c.SetFontTypes(ftTrueTypeAnsi);
    c.LoadFonts(false);
    ASSERT_GT(c.Items().Count(), 0);
    for (int i = 0; i < c.Items().Count(); ++i)
        EXPECT_EQ(kindAt(c, i), "TA") << c.Items()[i];
}

TEST(FontPicker, UsedBlock)
{
    forms::TForm form;
    auto* c = new TscFontComboBox(&form);
    c->SetShowPreview(false);
    c->SetFontTypes(ftTrueTypeAnsi | ffShiftJis | ftTrueTypeSymbol | ftRaster);
    c->LoadFonts(true);
    activate(form);
    c->SetFontUsed(true);
    c->SetMaxUsed(15);
    std::set<std::string> chosen;
    const int first = ordinary(*c, chosen);
    ASSERT_GE(first, 1);
    const std::string firstName = c->Items().Names(first);
    choose(*c, first);
    EXPECT_EQ(c->UsedCount(), 1);
    EXPECT_EQ(c->Items().Names(0), firstName);
    EXPECT_EQ(c->ItemIndex(), 0);
    EXPECT_EQ(c->FontName(), firstName);
    // The same font again, from the ordinary list: no second copy.
    ASSERT_EQ(c->Items().Names(first + 1), firstName);
    choose(*c, first + 1);
    EXPECT_EQ(c->UsedCount(), 1);
    EXPECT_EQ(c->Items().Names(0), firstName);

    const int total = c->Items().Count() - c->UsedCount();
    if (total < 17)
        GTEST_SKIP() << "fewer than 16 font families on this machine";
    chosen.insert(firstName);
    std::string second;
    for (int n = 2; n <= 16; ++n) {
        const int i = ordinary(*c, chosen);
        ASSERT_GE(i, 0);
        const std::string name = c->Items().Names(i);
        if (n == 2)
            second = name;
        chosen.insert(name);
        choose(*c, i);
        EXPECT_EQ(c->Items().Names(0), name);
    }
    // Sixteen distinct choices with room for fifteen: the first one is gone from the block.
    EXPECT_EQ(c->UsedCount(), 15);
    rtl::TStringList used;
    c->GetUsedFonts(used);
    ASSERT_EQ(used.Count(), 15);
    for (int i = 0; i < used.Count(); ++i)
        EXPECT_NE(used.Names(i), firstName);
    EXPECT_EQ(used.Names(14), second);
    EXPECT_EQ(c->Items().Count(), total + 15);
}

TEST(FontPicker, SetUsedFontsAndSetFontName)
{
    TscFontComboBox c;
    c.SetFontTypes(ftTrueTypeAnsi | ffShiftJis);
    c.LoadFonts(true);
    const int total = c.Items().Count();
    ASSERT_GE(total, 2);
    const std::string a = c.Items()[total - 1], b = c.Items()[0];
    rtl::TStringList list;
    list.Add(a);
    list.Add("");
    list.Add(b);
    c.SetUsedFonts(list);
    EXPECT_EQ(c.UsedCount(), 2);
    EXPECT_EQ(c.Items()[0], a);
    EXPECT_EQ(c.Items()[1], b);
    EXPECT_EQ(c.Items()[2], b);  // the first ordinary font is not part of the block
    rtl::TStringList back;
    c.GetUsedFonts(back);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back[0], a);
    EXPECT_EQ(back[1], b);
    // A new block replaces the old one.
    rtl::TStringList one;
    one.Add(b);
    c.SetUsedFonts(one);
    EXPECT_EQ(c.UsedCount(), 1);
    EXPECT_EQ(c.Items().Count(), total + 1);

    int changes = 0;
    c.OnChange = [&](QObject*) { ++changes; };
    const std::string name = c.Items().Names(total - 1);
    c.SetFontName(name);
    EXPECT_EQ(c.FontName(), name);
    EXPECT_EQ(c.Items().Names(c.ItemIndex()), name);
    EXPECT_EQ(changes, 1);
    c.SetFontName("No Such Family");
    EXPECT_EQ(c.FontName(), name);
    EXPECT_EQ(changes, 1);
    // The desktop's Japanese name opens on the family it is drawn with here.
    const std::string mapped = gfx::MapFontName("ＭＳ Ｐゴシック");
    if (c.Items().IndexOfName(mapped) >= 0) {
        c.SetFontName("ＭＳ Ｐゴシック");
        EXPECT_EQ(c.FontName(), mapped);
    }
    // Only the whole name matches.
    if (c.Items().IndexOfName("DejaVu Sans") >= 0) {
        c.SetFontName("Sans");
        EXPECT_NE(c.FontName(), "DejaVu Sans");
    }
}

TEST(FontPicker, PreviewKeepsOnTheScreen)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    forms::TForm form;
    form.resize(260, 60);
    auto* c = new TscFontComboBox(&form);
    c->move(10, 10);
    c->SetFontTypes(ftTrueTypeAnsi | ffShiftJis);
    c->LoadFonts(true);
    c->SetItemIndex(0);

    // With room: the preview's top-left at the control's bottom-right.
    form.move(area.left() + 20, area.top() + 20);
    activate(form);
    c->showPopup();
    ASSERT_TRUE(c->Preview()->isVisible());
    EXPECT_EQ(c->Preview()->geometry(), QRect(c->mapToGlobal(QPoint(c->width(), c->height())), QSize(240, 60)));
    EXPECT_FALSE(c->Preview()->PanelPreview->text().isEmpty());
    EXPECT_EQ(QApplication::activeWindow(), &form);  // the preview never takes the activation
    EXPECT_TRUE(c->Preview()->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(c->Preview()->PanelPreview->font().bold());
    EXPECT_EQ(c->Preview()->PanelPreview->font().pixelSize(), 24);
    EXPECT_EQ(c->Preview()->PanelFontName->text().toStdString(), c->Items().Names(0));
    const QImage shot = c->Preview()->grab().toImage();
    controltest::saveShot(shot, "font_picker_preview", 2);
    c->hidePopup();
    EXPECT_FALSE(c->Preview()->isVisible());

    // Near the bottom-right corner: left of and above the control.
    form.move(area.right() - 200, area.bottom() - 40);
    QApplication::processEvents();
    c->showPopup();
    const QPoint origin = c->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(c->Preview()->geometry(), QRect(origin.x() - 240, origin.y() - 60, 240, 60));
    c->hidePopup();
}

TEST(FontPicker, TraceWindowFollowsTheHighlightedLine)
{
    forms::TForm form;
    form.resize(260, 60);
    auto* c = new TscFontComboBox(&form);
    c->SetFontTypes(ftTrueTypeAnsi | ffShiftJis);
    c->LoadFonts(true);
    ASSERT_GT(c->Items().Count(), 14);
    c->SetTraceWindow(true);
    c->SetItemIndex(0);
    activate(form);
    c->showPopup();
    const int base = c->Preview()->y();
    QImage scratch(200, 18, QImage::Format_RGB32);
    QPainter p(&scratch);
    auto highlight = [&](int i) { c->PaintOwnerDrawItem(p, QRect(0, 0, 200, 18), i, odSelected); };
    highlight(3);
    EXPECT_EQ(c->Preview()->y(), base + c->view()->visualRect(c->model()->index(3, 0)).top());
    EXPECT_EQ(c->Preview()->PanelFontName->text().toStdString(), c->Items().Names(3));
    // Never lower than the list's last visible line.
    highlight(c->Items().Count() - 1);
    EXPECT_LE(c->Preview()->y(), base + c->ItemHeight() * (c->DropDownCount() - 1));
    p.end();
    c->hidePopup();
}

TEST(FontPicker, Screenshot)
{
    forms::TForm form;
    form.resize(260, 300);
    auto* c = new TscFontComboBox(&form);
    c->move(10, 10);
    c->SetFontTypes(ftTrueTypeAnsi | ffShiftJis | ftTrueTypeSymbol | ftRaster);
    c->SetFlat(true);
    c->LoadFonts(true);
    rtl::TStringList used;
    used.Add(c->Items()[c->Items().Count() - 1]);
    c->SetUsedFonts(used);
    activate(form);
    c->SetItemIndex(1);
    c->showPopup();
    QApplication::processEvents();
    const QImage list = c->view()->grab().toImage();
    controltest::saveShot(list, "font_picker_list", 1);
    // The used line wears ColorUsed while the list is open.
    EXPECT_GT(controltest::countColour(list, c->ColorUsed(), 0, QRect(20, 0, 180, c->ItemHeight())), 0);
    c->hidePopup();
    controltest::saveShot(controltest::snapshot(*c), "font_picker_closed", 2);
}
