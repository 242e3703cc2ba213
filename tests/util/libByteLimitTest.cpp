#include "util/libByteLimit.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

// Typing and pasting keep what fits where it was put; a kanji is two bytes and is never split.
TEST(libByteLimit, KeepsWhatFitsInCp932BytesWithoutSplittingACharacter)
{
    QLineEdit edit;
    SetTextByteLimit(&edit, 30);
    edit.insert(QString::fromUtf8("一二三四五六七八九十一二三四五六"));
    EXPECT_EQ(edit.text(), QString::fromUtf8("一二三四五六七八九十一二三四五"));  // 15 kanji, 30 bytes
    edit.setText(QString::fromUtf8("abc"));
    edit.setCursorPosition(1);
    edit.insert(QString::fromUtf8("一二三四五六七八九十一二三四五六"));
    // 27 bytes of room: 13 kanji go in at the caret, the rest of the text stays.
    EXPECT_EQ(edit.text(), QString::fromUtf8("a一二三四五六七八九十一二三bc"));
    EXPECT_EQ(edit.cursorPosition(), 14);
    edit.insert(QString::fromUtf8("四"));  // one byte of room: no kanji goes in
    EXPECT_EQ(edit.text(), QString::fromUtf8("a一二三四五六七八九十一二三bc"));

    // Text CP932 cannot hold counts as one byte a character, as it would be written.
    edit.setText(QString::fromUtf8("한국어"));
    EXPECT_EQ(edit.text(), QString::fromUtf8("한국어"));

    // A smaller limit cuts at once; 0 removes it.
    SetTextByteLimit(&edit, 4);
    EXPECT_EQ(edit.text(), QString::fromUtf8("한국어"));
    edit.setText(QString::fromUtf8("ｱｲｳｴｵ"));  // half-width kana: one byte each
    EXPECT_EQ(edit.text(), QString::fromUtf8("ｱｲｳｴ"));
    SetTextByteLimit(&edit, 0);
    edit.setText(QString(50, QLatin1Char('x')));
    EXPECT_EQ(edit.text().size(), 50);

    QPlainTextEdit memo;
    SetTextByteLimit(&memo, 10);
    memo.insertPlainText(QString::fromUtf8("一行目\n二行目"));
    EXPECT_EQ(memo.toPlainText(), QString::fromUtf8("一行目\n二"));  // the line break is one byte
}

// A stored text past the limit shows whole: typing adds nothing while it is over, deleting
// works, and once it is back within the limit typing fits as ever.
TEST(libByteLimit, StoredTextShowsWholeAndOnlyTypingIsLimited)
{
    QLineEdit edit;
    SetTextByteLimit(&edit, 4);
    SetStoredText(&edit, QStringLiteral("2001-05-03"));
    EXPECT_EQ(edit.text(), QStringLiteral("2001-05-03"));
    edit.insert(QStringLiteral("9"));
    EXPECT_EQ(edit.text(), QStringLiteral("2001-05-03"));
    edit.backspace();
    EXPECT_EQ(edit.text(), QStringLiteral("2001-05-0"));
    edit.selectAll();
    edit.insert(QStringLiteral("198456"));
    EXPECT_EQ(edit.text(), QStringLiteral("1984"));
    // A new limit still applies at once.
    SetStoredText(&edit, QStringLiteral("2001-05-03"));
    SetTextByteLimit(&edit, 2);
    EXPECT_EQ(edit.text(), QStringLiteral("20"));

    QPlainTextEdit memo;
    SetTextByteLimit(&memo, 10);
    const QString lyrics = QString::fromUtf8("一行目\n二行目\n三行目");
    SetStoredText(&memo, lyrics);
    EXPECT_EQ(memo.toPlainText(), lyrics);
    memo.moveCursor(QTextCursor::End);
    memo.insertPlainText(QStringLiteral("x"));
    EXPECT_EQ(memo.toPlainText(), lyrics);
}
