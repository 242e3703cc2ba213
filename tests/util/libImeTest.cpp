#include "util/libIme.h"

#include <gtest/gtest.h>

#include <QLineEdit>

TEST(libIme, ModesSetTheirConversionBitsAndKeepTheOthers)
{
    // Starting from full-width katakana with roman input on.
    const std::uint32_t start = IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE | IME_CMODE_ROMAN;
    struct Case {
        int mode;
        TImeAction action;
        std::uint32_t conversion;
    };
    const Case cases[] = {
        {0, TImeAction::Disable, start},
        {1, TImeAction::Close, start},
        {2, TImeAction::Open, start},
        {3, TImeAction::None, start},
        {4, TImeAction::Open, IME_CMODE_ROMAN},
        {5, TImeAction::Open, IME_CMODE_ROMAN | IME_CMODE_FULLSHAPE},
        {6, TImeAction::Open, IME_CMODE_ROMAN | IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE},
        {7, TImeAction::Open, IME_CMODE_ROMAN | IME_CMODE_NATIVE | IME_CMODE_KATAKANA},
        {8, TImeAction::Open, start},
        {9, TImeAction::Open, IME_CMODE_ROMAN},
        {255, TImeAction::Open, IME_CMODE_ROMAN},
    };
    for (const Case& c : cases) {
        const TImeRequest request = ImeModeRequest(static_cast<std::uint8_t>(c.mode), start);
        EXPECT_EQ(request.Action, c.action) << "mode " << c.mode;
        EXPECT_EQ(request.Conversion, c.conversion) << "mode " << c.mode;
    }
}

TEST(libIme, EachWindowKeepsItsRequestedModeAndInputHints)
{
    QLineEdit title, number;
    EXPECT_EQ(GetImeMode(&title), -1);
    title.setInputMethodHints(Qt::ImhNoPredictiveText);

    SetImeMode(&number, 0);
    EXPECT_FALSE(number.testAttribute(Qt::WA_InputMethodEnabled));
    SetImeMode(&number, 3);  // leaves everything, the enabled state too
    EXPECT_FALSE(number.testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_EQ(GetImeMode(&number), 0);

    SetImeMode(&title, 8);
    SetImeMode(&title, 6);  // katakana bit cleared: hiragana
    EXPECT_EQ(GetImeMode(&title), 6);
    EXPECT_EQ(GetImeConversion(&title), IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE);
    EXPECT_TRUE(title.testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_EQ(title.inputMethodHints(), Qt::ImhNoPredictiveText);

    SetImeMode(&title, 4);
    EXPECT_EQ(title.inputMethodHints(), Qt::ImhNoPredictiveText | Qt::ImhLatinOnly);
    SetImeMode(&title, 5);
    EXPECT_EQ(title.inputMethodHints(), Qt::ImhNoPredictiveText | Qt::ImhPreferLatin);
    SetImeMode(&title, 1);  // closing keeps the hints and the conversion
    EXPECT_EQ(title.inputMethodHints(), Qt::ImhNoPredictiveText | Qt::ImhPreferLatin);
    EXPECT_EQ(GetImeConversion(&title), IME_CMODE_FULLSHAPE);
    SetImeMode(&title, 7);
    EXPECT_EQ(title.inputMethodHints(), Qt::ImhNoPredictiveText);

    SetImeMode(&number, 2);
    EXPECT_TRUE(number.testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_EQ(GetImeMode(&number), 2);
    EXPECT_EQ(GetImeConversion(&number), 0u);
    SetImeMode(nullptr, 6);  // no window: nothing to do
}
