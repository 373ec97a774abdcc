// SPDX-License-Identifier: GPL-3.0-or-later
// The music switch (menu item and F1 sharing the check mark) and the about box.
#include "menus/about_text.h"
#include "play_support.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(MusicSwitch, firstUseUnchecksThenStopsSecondChecksThenLoops)
{
    play::OrderRig rig;
    Form1& game = rig.loadedWithSounds();
    ASSERT_TRUE(rig.window.checked);

    game.BGM_Click();
    EXPECT_FALSE(rig.window.checked);
    game.BGM_Click();
    EXPECT_TRUE(rig.window.checked);

    const std::vector<SoundCall> expected{
        {"setBgmChecked", 0}, {"dsStop", 4}, {"setBgmChecked", 1}, {"dsPlayLooping", 4}};
    EXPECT_EQ(rig.log.calls, expected);
}

TEST(MusicSwitch, theMenuItemAndF1ShareOneStateInEveryPhase)
{
    GameRig rig;
    Form1& game = play::loadedWithSounds(rig);
    rig.sound.calls.clear();
    game.BGM_Click();
    game.Form_KeyDown(112, 0); // F1 turns it back on
    game.処理_開始();
    game.Form_KeyDown(112, 0);
    game.BGM_Click();
    EXPECT_TRUE(rig.window.bgmChecked);
    const std::vector<SoundCall> expected{{"dsStop", 4}, {"dsPlayLooping", 4}, {"dsStop", 4}, {"dsPlayLooping", 4}};
    EXPECT_EQ(rig.sound.calls, expected);
    EXPECT_EQ(game.state.gameStopped, game.state.flagOff) << "the switch touched the round";
}

TEST(MusicSwitch, flipsTheMarkEvenWithoutATune)
{
    GameRig rig;
    Form1& game = rig.loaded(); // no BGM.wav: handle 0
    game.BGM_Click();
    EXPECT_FALSE(rig.window.bgmChecked);
    game.Form_KeyDown(112, 0);
    EXPECT_TRUE(rig.window.bgmChecked);
    EXPECT_EQ(rig.sound.argumentsOf("dsStop"), std::vector<std::int32_t>({0}));
}

namespace {

std::vector<std::string> splitAtCarriageReturns(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line, '\r'))
        lines.push_back(line);
    if (!text.empty() && text.back() == '\r')
        lines.emplace_back();
    return lines;
}

} // namespace

TEST(AboutBox, playsItsSoundFirstThenShowsSevenLinesTitledZubottaWithoutIcon)
{
    play::OrderRig rig;
    Form1& game = rig.loadedWithSounds();
    game.SONOTA_Click();

    const std::vector<SoundCall> expected{{"dsPlay", 1}, {"showMessage", 1}};
    EXPECT_EQ(rig.log.calls, expected);
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);
    const ShownMessage& box = rig.dialogs.shown[0];
    EXPECT_EQ(box.title, "Zubotta");
    EXPECT_EQ(box.icon, MessageIcon::none);
    EXPECT_EQ(box.text.find('\n'), std::string::npos) << "lines are joined by a carriage return alone";
    const std::vector<std::string> lines{
        "Zubotta  Version 1.0    (C) 2026 Zubotta project",
        "",
        "Home page",
        "https://zubotta.example.org/",
        "",
        "e-mail",
        "zubotta@example.org",
    };
    EXPECT_EQ(splitAtCarriageReturns(box.text), lines);
    EXPECT_EQ(box.text, aboutText());
}

TEST(AboutBox, worksDuringARoundWithoutTouchingIt)
{
    GameRig rig;
    Form1& game = rig.loaded();
    game.処理_開始();
    game.Form_KeyPress('a');
    game.SONOTA_Click();
    EXPECT_EQ(rig.dialogs.shown.size(), 1u);
    EXPECT_EQ(game.state.gameStopped, game.state.flagOff);
    EXPECT_EQ(game.state.moleDirByHole[1], game.state.dirUp);
}
