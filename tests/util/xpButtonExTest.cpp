#include "util/xpButtonEx.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTimer>

#include "platform/forms/Form.h"
#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"

using gfx::RGB;
using gfx::TColor;

namespace {

const TColor FaceTop = RGB(253, 253, 253);
const TColor FaceBottom = RGB(205, 204, 223);

TColor pixel(const QImage& img, int x, int y)
{
    const QRgb p = img.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

// Colour of band i of n from a to b, channel by channel.
TColor bandColor(TColor a, TColor b, int i, int n)
{
    TColor out = 0;
    for (int shift : {0, 8, 16}) {
        const int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        out |= TColor(ca + rtl::MulDiv(i, cb - ca, n - 1)) << shift;
    }
    return out;
}

// Fills a 83 x 25 image as the button's face and returns it.
QImage fillFace(int style, int steps)
{
    QImage img(83, 25, QImage::Format_RGB32);
    img.fill(Qt::black);
    gfx::TCanvas c(&img);
    GradientFillRect(c, gfx::TRect{4, 4, 79, 21}, FaceTop, FaceBottom, style, uint8_t(steps));
    return img;
}

// Row colours of column x over rows top..bottom-1.
std::vector<TColor> column(const QImage& img, int x, int top, int bottom)
{
    std::vector<TColor> out;
    for (int y = top; y < bottom; ++y)
        out.push_back(pixel(img, x, y));
    return out;
}

void sendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void sendKey(QWidget* w, QEvent::Type type, Qt::Key key, const QString& text)
{
    QKeyEvent e(type, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(GradientFillRect, ButtonFaceUsesEightBandsOfTwoRowsAndEndColourRest)
{
    // 17 rows, 25 / 3 = 8 steps: bands of 2 rows, the 17th row in the end colour.
    const QImage img = fillFace(0, 25 / 3);
    const auto rows = column(img, 40, 4, 21);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(rows[2 * i], bandColor(FaceTop, FaceBottom, i, 8)) << "band " << i;
        EXPECT_EQ(rows[2 * i + 1], rows[2 * i]);
    }
    EXPECT_EQ(rows[16], FaceBottom);
    EXPECT_EQ(rows[0], FaceTop);
    EXPECT_EQ(pixel(img, 3, 10), TColor(0)) << "nothing outside the rectangle";
    EXPECT_EQ(pixel(img, 40, 21), TColor(0));
}

TEST(GradientFillRect, PressedFaceRunsUpwardsInTwelveSingleRows)
{
    const QImage img = fillFace(1, 25 / 2);
    const auto rows = column(img, 10, 4, 21);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(rows[i], bandColor(FaceBottom, FaceTop, i, 12)) << "row " << i;
    for (int i = 12; i < 17; ++i)
        EXPECT_EQ(rows[i], FaceTop) << "remainder row " << i;
}

TEST(GradientFillRect, PlainFillsAndDegenerateRectangles)
{
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::black);
    gfx::TCanvas c(&img);
    GradientFillRect(c, gfx::TRect{0, 0, 20, 10}, RGB(10, 20, 30), RGB(200, 200, 200), 0, 1);
    EXPECT_EQ(pixel(img, 0, 0), RGB(10, 20, 30));
    EXPECT_EQ(pixel(img, 19, 9), RGB(10, 20, 30));

    // One row, ten steps: two bands of size 0, only the remainder row in the end colour.
    img.fill(Qt::black);
    GradientFillRect(c, gfx::TRect{0, 5, 20, 6}, RGB(10, 20, 30), RGB(200, 0, 0), 0, 10);
    EXPECT_EQ(pixel(img, 7, 5), RGB(200, 0, 0));
    EXPECT_EQ(pixel(img, 7, 4), TColor(0));

    img.fill(Qt::black);
    GradientFillRect(c, gfx::TRect{5, 5, 5, 9}, RGB(10, 20, 30), RGB(200, 0, 0), 0, 10);
    EXPECT_EQ(pixel(img, 5, 5), TColor(0)) << "an empty rectangle paints nothing";

    // Left to right, reversed: the first column takes EndColor, the last StartColor.
    img.fill(Qt::black);
    GradientFillRect(c, gfx::TRect{0, 0, 20, 10}, RGB(0, 0, 0), RGB(0, 0, 190), 3, 20);
    EXPECT_EQ(pixel(img, 0, 3), RGB(0, 0, 190));
    EXPECT_EQ(pixel(img, 19, 3), RGB(0, 0, 0));
    EXPECT_EQ(pixel(img, 10, 3), bandColor(RGB(0, 0, 190), 0, 10, 20));
}

TEST(xpButtonEx, PaintsItsFaceWithTheBandedGradient)
{
    TxpButtonEx button;
    button.resize(83, 25);
    button.SetCaption("");
    const QImage img = button.grab().toImage();
    const auto rows = column(img, 10, 4, 21);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(rows[2 * i], bandColor(FaceTop, FaceBottom, i, 8)) << "band " << i;
    EXPECT_EQ(rows[16], FaceBottom);
    EXPECT_EQ(pixel(img, 10, 2), RGB(206, 231, 255));
    EXPECT_EQ(pixel(img, 10, 22), RGB(105, 130, 238));
}

TEST(xpButtonEx, ReleaseOutsideDoesNotClickAndStaysPressed)
{
    TxpButtonEx button;
    button.resize(83, 25);
    int clicks = 0;
    button.OnClick = [&](QObject*) { ++clicks; };
    sendMouse(&button, QEvent::MouseButtonPress, {10, 10});
    EXPECT_TRUE(button.Pressed());
    sendMouse(&button, QEvent::MouseButtonRelease, {200, 100});
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(button.Pressed());
    // A later press and release over the button clicks once.
    sendMouse(&button, QEvent::MouseButtonPress, {10, 10});
    sendMouse(&button, QEvent::MouseButtonRelease, {10, 10});
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.Pressed());
    // The right button is swallowed.
    sendMouse(&button, QEvent::MouseButtonPress, {10, 10}, Qt::RightButton);
    sendMouse(&button, QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.Pressed());
}

TEST(xpButtonEx, DoubleClickClicksTwice)
{
    TxpButtonEx button;
    int clicks = 0;
    button.OnClick = [&](QObject*) { ++clicks; };
    sendMouse(&button, QEvent::MouseButtonPress, {5, 5});
    sendMouse(&button, QEvent::MouseButtonRelease, {5, 5});
    sendMouse(&button, QEvent::MouseButtonDblClick, {5, 5});
    sendMouse(&button, QEvent::MouseButtonRelease, {5, 5});
    EXPECT_EQ(clicks, 2);
}

TEST(xpButtonEx, SpaceAndEnterClickOnRelease)
{
    TxpButtonEx button;
    int clicks = 0;
    button.OnClick = [&](QObject*) { ++clicks; };
    int expected = 0;
    for (auto [key, text] : {std::pair{Qt::Key_Space, QString(" ")}, {Qt::Key_Return, QString("\r")}}) {
        sendKey(&button, QEvent::KeyPress, key, text);
        EXPECT_TRUE(button.Pressed());
        EXPECT_EQ(clicks, expected) << "no click before the key is released";
        sendKey(&button, QEvent::KeyRelease, key, text);
        EXPECT_FALSE(button.Pressed());
        EXPECT_EQ(clicks, ++expected);
    }
    EXPECT_EQ(clicks, 2);
}

TEST(xpButtonEx, AcceleratorFollowsTheFirstAmpersand)
{
    TxpButtonEx button;
    int clicks = 0;
    button.OnClick = [&](QObject*) { ++clicks; };
    button.SetCaption("&open");
    EXPECT_EQ(button.Accelerator(), U'O');
    EXPECT_TRUE(button.DialogChar(U'O'));
    EXPECT_FALSE(button.DialogChar(U'P'));
    EXPECT_EQ(clicks, 1);
    button.SetCaption("Save&");
    EXPECT_EQ(button.Accelerator(), char32_t(0));
    EXPECT_FALSE(button.DialogChar(U'S'));
    button.SetCaption("A&&B&c");
    EXPECT_EQ(button.Accelerator(), U'&');
}

TEST(xpButtonEx, CancelAndDefaultAnswerDialogKeysOnlyWhenEnabled)
{
    TxpButtonEx button;
    int clicks = 0;
    button.OnClick = [&](QObject*) { ++clicks; };
    EXPECT_FALSE(button.DialogKey(forms::VK_ESCAPE, 0));
    button.Cancel = true;
    EXPECT_TRUE(button.DialogKey(forms::VK_ESCAPE, 0));
    EXPECT_FALSE(button.DialogKey(forms::VK_RETURN, 0));
    button.Default = true;
    EXPECT_TRUE(button.DialogKey(forms::VK_RETURN, 0));
    button.SetEnabled(false);
    EXPECT_FALSE(button.DialogKey(forms::VK_RETURN, 0));
    EXPECT_EQ(clicks, 2);
}

TEST(xpButtonEx, ModalResultClosesTheModalForm)
{
    forms::TForm form;
    auto* button = new TxpButtonEx(&form);
    button->ModalResult = forms::mrYes;
    QTimer::singleShot(0, button, [button] {
        sendMouse(button, QEvent::MouseButtonPress, {5, 5});
        sendMouse(button, QEvent::MouseButtonRelease, {5, 5});
    });
    EXPECT_EQ(form.ShowModal(), forms::mrYes);
}

TEST(xpButtonEx, UnderlinesTheAcceleratorLetter)
{
    TxpButtonEx button;
    button.resize(83, 25);
    button.SetCaption("&Open");
    const QImage img = button.grab().toImage();
    gfx::TCanvas measure;
    measure.Font().Assign(button.Font());
    const gfx::TSize size = measure.TextExtent("Open");
    const int left = (83 - size.cx) / 2;
    const int y = (25 - size.cy) / 2 + size.cy;
    const TColor ink = gfx::ColorToRGB(button.Font().Color());
    EXPECT_EQ(pixel(img, left, y), ink);
    EXPECT_EQ(pixel(img, left + measure.TextWidth("O") - 1, y), ink);
    EXPECT_NE(pixel(img, left + measure.TextWidth("O") + 1, y), ink) << "only under the O";
}

TEST(xpButtonEx, DisabledButtonIsFlatWithButtonFaceCorners)
{
    TxpButtonEx button;
    button.resize(83, 25);
    button.SetCaption("");
    button.SetEnabled(false);
    const QImage img = button.grab().toImage();
    const TColor face = gfx::ColorToRGB(gfx::clBtnFace);
    for (auto [x, y] : {std::pair{0, 0}, {82, 0}, {82, 24}, {0, 24}})
        EXPECT_EQ(pixel(img, x, y), face) << x << "," << y;
    EXPECT_EQ(pixel(img, 40, 12), RGB(241, 241, 237));
    EXPECT_EQ(pixel(img, 40, 1), RGB(196, 195, 191));
}
