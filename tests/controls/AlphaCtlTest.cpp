#include <gtest/gtest.h>

#include <QApplication>

#include "ControlTestSupport.h"
#include "controls/alpha/AlphaCtl.h"
#include "platform/forms/Form.h"

using namespace controls;

namespace {

// Vertical stripes of four known colours, 10 pixels wide, and a grey band at the bottom.
constexpr QRgb Stripes[4] = {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(40, 200, 90), qRgb(250, 120, 10)};

void paintStripes(QImage& img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, y >= 40 ? qRgb(128, 128, 128) : Stripes[(x / 10) % 4]);
}

struct Scene {
    controltest::Backdrop back{paintStripes, 200, 60};
    TAlphaLabel* label = new TAlphaLabel(&back);
    Scene(uint8_t alpha, const std::string& caption = "")
    {
        label->SetAutoSize(false);
        label->SetBounds(0, 0, 160, 40);
        label->SetColor(gfx::RGB(0, 0, 255));
        label->Font().SetColor(gfx::clWhite);
        label->SetCaption(caption);
        label->SetAlpha(alpha);
        back.show();
    }
};

int blend(int src, int dst, int a) { return (src * a + (255 - a) * dst) / 255; }

}  // namespace

TEST(AlphaLabel, BlendsItsColourOverTheBackgroundAtTheConstantAlpha)
{
    Scene s(150);
    const QImage img = controltest::snapshot(s.back);
    for (int x : {5, 15, 25, 35, 155}) {
        const QRgb bg = Stripes[(x / 10) % 4];
        const QRgb got = img.pixel(x, 30);
        EXPECT_EQ(qRed(got), blend(0, qRed(bg), 150)) << x;
        EXPECT_EQ(qGreen(got), blend(0, qGreen(bg), 150)) << x;
        EXPECT_EQ(qBlue(got), blend(255, qBlue(bg), 150)) << x;
    }
    // Outside the label the background is untouched.
    EXPECT_EQ(img.pixel(175, 30), Stripes[(175 / 10) % 4]);
}

TEST(AlphaLabel, OpaqueLooksLikeAPlainLabelAndZeroLeavesTheBackground)
{
    Scene opaque(255, "Updating Music List now...");
    controltest::Backdrop back2(paintStripes, 200, 60);
    auto* plain = new TLabel(&back2);
    plain->SetAutoSize(false);
    plain->SetBounds(0, 0, 160, 40);
    plain->SetColor(gfx::RGB(0, 0, 255));
    plain->Font().SetColor(gfx::clWhite);
    plain->SetCaption("Updating Music List now...");
    back2.show();
    EXPECT_EQ(controltest::snapshot(opaque.back), controltest::snapshot(back2));

    Scene none(0, "Updating Music List now...");
    QImage expected(200, 60, QImage::Format_RGB32);
    paintStripes(expected);
    EXPECT_EQ(controltest::snapshot(none.back), expected);
}

TEST(AlphaLabel, SettingAlphaRepaintsOnlyOnChange)
{
    Scene s(255);
    const QImage before = controltest::snapshot(s.back);
    s.label->SetAlpha(255);
    EXPECT_EQ(s.label->Alpha(), 255);
    s.label->SetAlpha(100);
    EXPECT_EQ(s.label->Alpha(), 100);
    EXPECT_NE(controltest::snapshot(s.back), before);
}

TEST(AlphaLabel, BlendRoutineKeepsSourceAtFullAndDestinationAtZero)
{
    QImage src(7, 3, QImage::Format_RGB32), dst(7, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            src.setPixel(x, y, qRgb(x * 30, y * 80, 255 - x * 20));
            dst.setPixel(x, y, qRgb(255 - y * 50, x * 11, 77));
        }
    QImage full = dst.copy(), zero = dst.copy(), half = dst.copy();
    BlendConstantAlpha(full, src, 255);
    BlendConstantAlpha(zero, src, 0);
    BlendConstantAlpha(half, src, 128);
    EXPECT_EQ(full, src);
    EXPECT_EQ(zero, dst);
    EXPECT_EQ(qRed(half.pixel(6, 2)), blend(180, 155, 128));
}

TEST(Label, AutoSizeFollowsTheCaptionAndRightAlignmentKeepsTheRightEdge)
{
    QWidget host;
    TLabel label(&host);
    label.SetBounds(100, 10, 10, 10);
    label.SetCaption("short");
    const int shortWidth = label.Width();
    EXPECT_GT(shortWidth, 10);
    EXPECT_GT(label.Height(), 5);
    label.SetCaption("a much longer caption");
    EXPECT_GT(label.Width(), shortWidth);
    EXPECT_EQ(label.Left(), 100);

    label.SetAlignment(taRightJustify);
    const int right = label.Left() + label.Width();
    label.SetCaption("tiny");
    EXPECT_EQ(label.Left() + label.Width(), right);

    // An empty caption keeps the height of one line.
    const int lineHeight = label.Height();
    label.SetCaption("");
    EXPECT_EQ(label.Height(), lineHeight);
}

TEST(Label, AcceleratorFocusesItsControlAndDisabledTextIsEngraved)
{
    forms::TForm form;
    form.resize(200, 100);
    auto* label = new TLabel(&form);
    label->SetCaption("&Name");
    auto* target = new QWidget(&form);
    target->setFocusPolicy(Qt::StrongFocus);
    target->setGeometry(0, 50, 20, 20);
    label->SetFocusControl(target);
    form.show();
    EXPECT_FALSE(label->DialogChar(U'X'));
    EXPECT_TRUE(form.DispatchDialogChar(U'N'));
    EXPECT_EQ(form.focusWidget(), target);

    label->SetEnabled(false);
    const QImage img = controltest::snapshot(*label);
    bool highlight = false, shadow = false;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const gfx::TColor c = controltest::pixel(img, x, y);
            highlight |= c == gfx::ColorToRGB(gfx::clBtnHighlight);
            shadow |= c == gfx::ColorToRGB(gfx::clBtnShadow);
        }
    EXPECT_TRUE(highlight && shadow);
}

TEST(AlphaLabel, Screenshot)
{
    auto paintBack = [](QImage& img) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb(x % 256, 90 + y, 200 - (x / 2) % 200));
    };
    controltest::Backdrop back(paintBack, 300, 110);
    int top = 5;
    for (int alpha : {255, 150, 60}) {
        auto* l = new TAlphaLabel(&back);
        l->SetAutoSize(false);
        l->SetBounds(10, top, 280, 30);
        l->SetColor(gfx::RGB(255, 255, 224));
        l->Font().SetSize(12);
        l->Font().SetColor(gfx::clNavy);
        l->SetLayout(tlCenter);
        l->SetAlignment(taCenter);
        l->SetCaption("Updating Music List now... " + std::to_string(alpha));
        l->SetAlpha(uint8_t(alpha));
        top += 35;
    }
    back.show();
    const QImage img = controltest::snapshot(back);
    // The most opaque label shows its own colour in the corner, the faintest mostly the back.
    EXPECT_EQ(controltest::pixel(img, 12, 7), gfx::RGB(255, 255, 224));
    EXPECT_NE(controltest::pixel(img, 12, 77), gfx::RGB(255, 255, 224));
    controltest::saveShot(img, "AlphaLabel");
}
