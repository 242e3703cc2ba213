#include <gtest/gtest.h>

#include <QApplication>

#include "ControlTestSupport.h"
#include "controls/panel/RbPanel.h"

using namespace controls;
using gfx::ColorToRGB;

namespace {

int countColour(const QImage& img, const gfx::TRect& r, gfx::TColor c)
{
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            n += controltest::pixel(img, x, y) == ColorToRGB(c);
    return n;
}

}  // namespace

TEST(RbPanel, DefaultsAndRefusedValues)
{
    TRbPanel p;
    EXPECT_EQ(p.Width(), 185);
    EXPECT_EQ(p.Height(), 105);
    EXPECT_EQ(p.Color(), 0xE3DFDF);
    EXPECT_EQ(p.Font().Color(), 0xCE0000);
    EXPECT_EQ(p.CaptionPosition(), cpTopLeft);
    EXPECT_TRUE(p.Antialiased());
    p.SetCornerWidth(-1);
    EXPECT_EQ(p.CornerWidth(), 10);
    p.SetBorderWidth(0);
    EXPECT_EQ(p.BorderWidth(), 2);
    // Children keep inside the border.
    EXPECT_EQ(p.contentsMargins(), QMargins(3, 3, 3, 3));
}

TEST(RbPanel, SquareOrRoundCornersAndAResizeRebuildsTheFace)
{
    QWidget host;
    host.resize(320, 220);
    TRbPanel p(&host);
    host.show();
    p.SetAntialiased(false);
    p.SetCornerWidth(0);
    QImage face = p.Face().ToImage();
    EXPECT_EQ(controltest::pixel(face, 0, 0), 0x808080);  // square corner: the border itself
    EXPECT_EQ(controltest::pixel(face, 90, 50), 0xE3DFDF);
    p.SetCornerWidth(20);
    face = p.Face().ToImage();
    EXPECT_EQ(controltest::pixel(face, 0, 0), ColorToRGB(gfx::clBtnFace));  // outside the round
    EXPECT_EQ(controltest::pixel(face, 90, 0), 0x808080);

    p.resize(300, 200);
    face = p.Face().ToImage();
    ASSERT_EQ(face.size(), QSize(300, 200));
    EXPECT_EQ(controltest::pixel(face, 299, 100), 0x808080);  // the right edge moved, not stretched
    EXPECT_EQ(controltest::pixel(face, 298, 100), 0xE3DFDF);
    EXPECT_EQ(controltest::pixel(face, 150, 199), 0x808080);
}

TEST(RbPanel, GroupBoxFramePassesThroughTheCaptionAndChildrenStartBelowIt)
{
    QWidget host;
    auto* p = new TRbPanel(&host);
    p->SetAntialiased(false);
    p->SetBorderWidth(1);
    p->SetCaption("Meter");
    p->SetCaptionPosition(cpGroupBox);
    p->Canvas().Font().Assign(p->Font());
    const int th = p->Canvas().TextHeight("Meter");
    const QImage face = p->Face().ToImage();
    EXPECT_EQ(controltest::pixel(face, 120, th / 2), 0x808080);
    EXPECT_EQ(controltest::pixel(face, 120, th / 2 - 1), ColorToRGB(gfx::clBtnFace));
    EXPECT_GE(p->contentsMargins().top(), th);
    EXPECT_EQ(p->contentsMargins().left(), 2);

    // On screen the frame line is broken behind the caption.
    host.show();
    const QImage shown = controltest::snapshot(*p);
    const int tw = p->Canvas().TextWidth("Meter");
    const int left = (p->CornerWidth() + p->BorderWidth()) / 2;
    EXPECT_EQ(countColour(shown, gfx::Rect(left, th / 2, left + tw, th / 2 + 1), 0x808080), 0);
    EXPECT_GT(countColour(shown, gfx::Rect(0, 0, tw + 20, th + 2), 0xCE0000), 0);
}

TEST(RbPanel, GradientFaceAndTheFlatInnerAreaOfAnAntialiasedPanel)
{
    TRbPanel p;
    p.SetAntialiased(false);
    p.SetDefaultFrom(gfx::clWhite);
    p.SetDefaultTo(gfx::clBlack);
    p.SetGradient(true);
    QImage face = p.Face().ToImage();
    const int top = qRed(face.pixel(90, 5)), bottom = qRed(face.pixel(90, 98));
    EXPECT_GT(top, 230);
    EXPECT_LT(bottom, 25);
    EXPECT_EQ(controltest::pixel(face, 90, 0), 0x808080);

    p.SetAntialiased(true);
    face = p.Face().ToImage();
    EXPECT_EQ(controltest::pixel(face, 92, 52), 0xE3DFDF);  // inner rectangle: flat Color
    const int edge = qRed(face.pixel(90, 3));
    EXPECT_GT(edge, 150);  // the band near the edge keeps the reduced gradient
    // Anti-aliased corners blend border and outer colour.
    bool blended = false;
    for (int i = 0; i < 8; ++i) {
        const gfx::TColor c = controltest::pixel(face, i, i);
        blended |= c != 0x808080 && c != ColorToRGB(gfx::clBtnFace) && c != 0xE3DFDF;
    }
    EXPECT_TRUE(blended);
}

TEST(RbPanel, CaptionSitsWhereItsPositionSays)
{
    QWidget host;
    auto* p = new TRbPanel(&host);
    p->SetCaption("LEVEL");
    p->SetCaptionPosition(cpBottomRight);
    host.show();
    QImage img = controltest::snapshot(*p);
    const gfx::TRect bottomRight = gfx::Rect(92, 52, 185, 105);
    const gfx::TRect topLeft = gfx::Rect(0, 0, 92, 52);
    EXPECT_GT(countColour(img, bottomRight, 0xCE0000), 0);
    EXPECT_EQ(countColour(img, topLeft, 0xCE0000), 0);
    p->SetShowCaption(false);
    img = controltest::snapshot(*p);
    EXPECT_EQ(countColour(img, bottomRight, 0xCE0000), 0);
}

TEST(RbPanel, FollowsTheParentColourOutsideWhileParentColorIsOn)
{
    forms::TCustomControl parent;
    parent.SetColor(gfx::clTeal);
    auto* p = new TRbPanel(&parent);
    p->SetParentColor(true);
    EXPECT_EQ(p->OuterColor(), gfx::clTeal);
    parent.SetColor(gfx::clNavy);
    EXPECT_EQ(p->OuterColor(), gfx::clNavy);
}

TEST(RbPanel, Screenshot)
{
    QWidget host;
    host.resize(400, 240);
    host.setStyleSheet("background: #d4d0c8");
    const TRbCaptionPos positions[] = {cpTopLeft, cpMiddleCenter, cpGroupBox, cpBottomRight};
    for (int i = 0; i < 4; ++i) {
        auto* p = new TRbPanel(&host);
        p->SetBounds(10 + (i % 2) * 195, 10 + (i / 2) * 115, 185, 105);
        p->SetCaption(i == 2 ? "Group box" : "Meter panel");
        p->SetCaptionPosition(positions[i]);
        p->SetGradient(i % 2 == 1);
        p->SetAntialiased(i != 3);
        p->SetDefaultFrom(gfx::RGB(255, 255, 255));
        p->SetDefaultTo(gfx::RGB(160, 180, 220));
        p->SetBorderWidth(i == 1 ? 3 : 2);
        p->SetCornerWidth(i == 3 ? 0 : 16);
    }
    host.show();
    const QImage img = controltest::snapshot(host);
    EXPECT_EQ(controltest::pixel(img, 10 + 92, 10 + 52), 0xE3DFDF);
    controltest::saveShot(img, "RbPanel", 2);
}
