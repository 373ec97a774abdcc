// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed letters of the holes and the typed characters that strike them.
#include "input/key_letters.h"

#include <gtest/gtest.h>

TEST(KeyLetters, holesOneToFourCarryASDF)
{
    EXPECT_EQ(文字_取得(1), Letter('A'));
    EXPECT_EQ(文字_取得(2), Letter('S'));
    EXPECT_EQ(文字_取得(3), Letter('D'));
    EXPECT_EQ(文字_取得(4), Letter('F'));
}

TEST(KeyLetters, anyOtherHoleNumberHasNoLetter)
{
    for (const int n : {0, 5, -1, 11, 65})
        EXPECT_EQ(文字_取得(n), Letter()) << n;
}

TEST(KeyLetters, lowerCaseasdfStrikeTheirHolesLetters)
{
    EXPECT_EQ(コード文字変換(97), 文字_取得(1));
    EXPECT_EQ(コード文字変換(115), 文字_取得(2));
    EXPECT_EQ(コード文字変換(100), 文字_取得(3));
    EXPECT_EQ(コード文字変換(102), 文字_取得(4));
}

TEST(KeyLetters, capitalsOtherLettersBlankAndControlCodesStrikeNothing)
{
    // 65 is A with Shift or Caps Lock; 103 is g; 32 the space; 1 to 4 would be hole numbers, not characters.
    for (const int code : {65, 83, 68, 70, 103, 32, 0, 5, 1, 4, 96, 98})
        EXPECT_EQ(コード文字変換(code), Letter()) << code;
}

TEST(KeyLetters, anEmptyValueEqualsNoHolesLetter)
{
    const Letter none = コード文字変換(65);
    for (int h = 1; h <= 4; ++h)
        EXPECT_NE(none, 文字_取得(h)) << h;
    EXPECT_EQ(none, 文字_取得(0));
}
