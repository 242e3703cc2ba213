#include "platform/collate/SortKeys.h"

#include <gtest/gtest.h>

#include <QCollator>
#include <QLocale>

#include <random>
#include <string>
#include <vector>

namespace {

// The order the program promised before it read ICU's keys itself: QCollator's, Japanese, case sensitive.
int qtOrder(const std::string& a, const std::string& b)
{
    static const QCollator japanese = [] {
        QCollator c{QLocale(QLocale::Japanese, QLocale::Japan)};
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    const int c = japanese.compare(QString::fromStdString(a), QString::fromStdString(b));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::vector<std::string> randomTexts(int count, unsigned seed)
{
    const std::vector<std::string> pieces = {"a", "A", "b", "B", "ab", "1", "10", "2", "-", "_", " ", "あ", "ア",
                                             "ｱ", "か", "が", "カ", "ガ", "漢", "字", "ー", "・", "é", "E", "ß",
                                             "ss", "Ä", "Ａ", "ａ", "１", "①", "!", "~", "'", "Summer Night "};
    std::mt19937 rng(seed);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string t;
        for (int n = int(rng() % 6); n >= 0; --n)
            t += pieces[rng() % pieces.size()];
        texts.push_back(t);
    }
    return texts;
}

}  // namespace

TEST(SortKeys, KeysOrderTextsAsTheJapaneseCollatorDoes)
{
    const std::vector<std::string> texts = randomTexts(400, 7);
    collate::SortKeys keys;
    for (const std::string& t : texts)
        keys.add(t);
    ASSERT_EQ(keys.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        // The sort compares the first bytes alone where they differ: a zero inside a key would
        // stand for its end.
        EXPECT_EQ(keys.key(i).find('\0'), std::string_view::npos) << texts[i];
        EXPECT_EQ(keys.key(i), collate::sortKey(texts[i]));
        for (std::size_t j = 0; j < texts.size(); j += 7) {
            const int byKeys = keys.key(i).compare(keys.key(j));
            ASSERT_EQ(byKeys < 0 ? -1 : byKeys > 0 ? 1 : 0, qtOrder(texts[i], texts[j]))
                << texts[i] << " | " << texts[j];
            ASSERT_EQ(collate::compare(texts[i], texts[j]), qtOrder(texts[i], texts[j]));
        }
    }
}

TEST(SortKeys, LongAndBrokenTextsGetWholeKeys)
{
    // Longer keys than the first guess of their room: the difference at the very end counts.
    const std::string longText(3000, 'x');
    EXPECT_EQ(collate::compare(longText + "a", longText + "b"), -1);
    EXPECT_EQ(collate::compare(longText + "B", longText + "b"), qtOrder(longText + "B", longText + "b"));
    // Bytes that are no UTF-8 read as replacement characters, as Qt reads them.
    const std::string broken = "ab\xff\xfe" "c", other = "ab\xef\xbf\xbd" "c";
    EXPECT_EQ(collate::compare(broken, "abc"), qtOrder(broken, "abc"));
    EXPECT_EQ(collate::compare(other, "abd"), qtOrder(other, "abd"));
    EXPECT_EQ(collate::compare("", "a"), -1);
    EXPECT_EQ(collate::compare("", ""), 0);
}
