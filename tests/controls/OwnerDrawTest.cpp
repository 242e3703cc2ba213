#include <gtest/gtest.h>

#include <QListView>
#include <QPainter>
#include <QStringListModel>

#include "ControlTestSupport.h"
#include "controls/common/ControlTypes.h"
#include "controls/common/OwnerDraw.h"
#include "platform/forms/Application.h"

using namespace controls;
using controltest::pixel;

namespace {

// A list whose items draw a 4 x 4 red square at their top left, and that records what it
// was asked to draw.
class RedSquares : public QListView, public TOwnerDrawItems {
public:
    RedSquares()
    {
        setModel(&model_);
        setItemDelegate(new TOwnerDrawDelegate(*this, this));
        setUniformItemSizes(true);
        setFrameShape(QFrame::NoFrame);
        model_.setStringList({"a", "b", "c"});
        font_.SetColor(gfx::clWindowText);
    }
    void DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State) override
    {
        calls.push_back({Index, Rect, State, Canvas().Brush().Color(), Canvas().Font().Color()});
        TOwnerDrawItems::DrawItem(Index, Rect, State);
        Canvas().Brush().SetColor(gfx::clRed);
        Canvas().FillRect(gfx::Rect(Rect.Left, Rect.Top, Rect.Left + 4, Rect.Top + 4));
        if (Index == throwAt)
            throw std::runtime_error("drawing failed");
    }
    QSize MeasureItem(int) const override { return {0, 12}; }

    struct Call {
        int index;
        gfx::TRect rect;
        TOwnerDrawState state;
        gfx::TColor brush, text;
    };
    std::vector<Call> calls;
    int throwAt = -1;
    gfx::TColor color = gfx::clYellow;

protected:
    gfx::TColor ItemColor() const override { return color; }
    const gfx::TFont& ItemFont() const override { return font_; }

private:
    QStringListModel model_;
    gfx::TFont font_;
};

}  // namespace

TEST(OwnerDraw, ItemsArePaintedByDrawItemInTheirOwnRectangle)
{
    RedSquares list;
    list.resize(60, 60);
    list.setCurrentIndex(list.model()->index(1, 0));
    list.setFocus();
    const QImage img = controltest::snapshot(list);
    ASSERT_EQ(list.calls.size(), 3u);
    for (const auto& c : list.calls) {
        EXPECT_EQ(c.rect.Left, 0);
        EXPECT_EQ(c.rect.Top, 0);
        EXPECT_EQ(c.rect.Bottom, 12);  // the measured height
        EXPECT_EQ(c.rect.Right, 60);   // the view's width
    }
    // Plain items start from the control's colour and font; the selected one from the
    // highlight colours.
    EXPECT_EQ(list.calls[0].state & odSelected, 0u);
    EXPECT_EQ(list.calls[0].brush, gfx::clYellow);
    EXPECT_EQ(list.calls[0].text, gfx::clWindowText);
    EXPECT_NE(list.calls[1].state & odSelected, 0u);
    EXPECT_EQ(list.calls[1].brush, gfx::clHighlight);
    EXPECT_EQ(list.calls[1].text, gfx::clHighlightText);

    // Each item lands at its own place in the view.
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(pixel(img, 2, row * 12 + 2), gfx::clRed) << row;
    EXPECT_EQ(pixel(img, 30, 6), gfx::clYellow);
    EXPECT_EQ(pixel(img, 30, 18), gfx::ColorToRGB(gfx::clHighlight));
}

TEST(OwnerDraw, FocusMarkAndFailingDrawItem)
{
    RedSquares list;
    list.resize(60, 60);
    list.throwAt = 0;
    std::vector<std::string> reported;
    forms::SetExceptionReporter([&](const std::string& m) { reported.push_back(m); });
    QImage surface(40, 12, QImage::Format_RGB32);
    QPainter p(&surface);
    // A failing DrawItem is reported; the item keeps what it drew, and the focus mark
    // still follows.
    list.PaintOwnerDrawItem(p, QRect(0, 0, 40, 12), 0, odFocused);
    forms::SetExceptionReporter(nullptr);
    EXPECT_EQ(reported, std::vector<std::string>{"drawing failed"});
    EXPECT_EQ(pixel(surface, 1, 1), gfx::clRed);
    EXPECT_EQ(pixel(surface, 20, 0), controls::FocusMarkColor(gfx::clYellow));
    EXPECT_EQ(pixel(surface, 20, 11), controls::FocusMarkColor(gfx::clYellow));
    EXPECT_EQ(pixel(surface, 20, 6), gfx::clYellow);

    // No item (a combo's empty edit part): a plain fill, DrawItem not called.
    list.calls.clear();
    list.PaintOwnerDrawItem(p, QRect(0, 0, 40, 12), -1, odSelected | odComboBoxEdit);
    EXPECT_TRUE(list.calls.empty());
    EXPECT_EQ(pixel(surface, 1, 1), gfx::clYellow);
    // odNoFocusRect leaves the mark out.
    list.PaintOwnerDrawItem(p, QRect(0, 0, 40, 12), 2, odFocused | odNoFocusRect);
    EXPECT_EQ(pixel(surface, 20, 0), gfx::clYellow);
}
