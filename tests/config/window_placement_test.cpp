#include "config/window_placement.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

TEST(WindowPlacement, WrittenFromNothingInKeyOrder) {
    TTempDir dir;
    TPlacementRecord record;
    record.ShowCmd = 2;
    record.NormPos = {10, 20, 491, 299};
    ASSERT_TRUE(WritePlacement(dir / "kavrel.ini", "TfMain", record, ScreenSuffix(1024, 768)));
    EXPECT_EQ(ReadFile(dir / "kavrel.ini"),
              "[TfMain]\n"
              "FormVersion=0\n"
              "Flags=0\n"
              "ShowCmd=2\n"
              "PixelsPerInch=96\n"
              "MinMaxPos(1024x768)=-1,-1,-1,-1\n"
              "MinMaxPos=-1,-1,-1,-1\n"
              "NormPos(1024x768)=10,20,491,299\n"
              "NormPos=10,20,491,299\n"
              "Visible=0\n");
}

TEST(WindowPlacement, RewriteKeepsTheRestOfTheFile) {
    TTempDir dir;
    WriteFile(dir / "kavrel.ini",
              "[accounts]\r\nserver1=pop.example.org\r\n"
              "[TfMain]\r\nnormpos=1,2,3,4\r\nNormPos(640x480)=5,6,7,8\r\n"
              "[general]\r\ncheckinterval=7\r\n");
    TPlacementRecord record;
    record.NormPos = {-1200, 40, -700, 340};  // a screen left of the primary one
    record.Visible = true;
    ASSERT_TRUE(WritePlacement(dir / "kavrel.ini", "TfMain", record, ScreenSuffix(800, 600)));
    EXPECT_EQ(ReadFile(dir / "kavrel.ini"),
              "[accounts]\r\nserver1=pop.example.org\r\n"
              "[TfMain]\r\nnormpos=-1200,40,-700,340\r\nNormPos(640x480)=5,6,7,8\r\n"
              "FormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=96\r\n"
              "MinMaxPos(800x600)=-1,-1,-1,-1\r\nMinMaxPos=-1,-1,-1,-1\r\n"
              "NormPos(800x600)=-1200,40,-700,340\r\nVisible=1\r\n"
              "[general]\r\ncheckinterval=7\r\n");
}

TEST(WindowPlacement, UnwritableFileReportsFailure) {
    TTempDir dir;
    std::filesystem::create_directory(dir / "kavrel.ini");  // a folder where the file belongs
    EXPECT_FALSE(WritePlacement(dir / "kavrel.ini", "TfMain", {}, ScreenSuffix(800, 600)));
}

TEST(WindowPlacement, SectionReading) {
    TTempDir dir;
    WriteFile(dir / "kavrel.ini",
              "[tfsettings]\n"
              "NormPos(800x600)=\n"  // empty: the plain key is asked next
              "NormPos=1,2,3,4\n"
              "MinMaxPos(800x600)=9,9,9,9\n"
              "MinMaxPos=0,0,0,0\n"
              "Hex=0x1F\n"
              "Short=0x\n"
              "Word=ten\n"
              "Long=" +
                  std::string(3000, '7') + "\n");
    const TPlacementSection section(dir / "kavrel.ini", "TfSettings");
    EXPECT_EQ(section.ScreenText("NormPos", "(800x600)"), "1,2,3,4");
    EXPECT_EQ(section.ScreenText("MinMaxPos", "(800x600)"), "9,9,9,9");
    EXPECT_EQ(section.ScreenText("MinMaxPos", "(1024x768)"), "0,0,0,0");
    EXPECT_EQ(section.ScreenText("Missing", "(800x600)"), std::nullopt);
    EXPECT_EQ(section.Integer("Hex", 5), 31);
    EXPECT_EQ(section.Integer("Short", 5), 5);
    EXPECT_EQ(section.Integer("Word", 5), 5);
    EXPECT_EQ(section.Integer("Missing", -3), -3);
    EXPECT_EQ(section.Text("Long")->size(), 2047u);
    EXPECT_EQ(TPlacementSection(dir / "absent.ini", "TfMain").Text("NormPos"), std::nullopt);
}

TEST(WindowPlacement, ParseFour) {
    const std::array<int, 4> d{100, 200, 581, 479};
    struct {
        const char* name;
        const char* text;
        std::array<int, 4> expected;
    } const rows[] = {
        {"commas", "10,20,491,299", {10, 20, 491, 299}},
        {"blanks and commas mixed", " 10 , 20,,491  299", {10, 20, 491, 299}},
        {"negative", "-1,-1,-1,-1", {-1, -1, -1, -1}},
        {"short list keeps the defaults", "10,20", {10, 20, 581, 479}},
        {"a word that is no number", "10,x,30,40", {10, 200, 30, 40}},
        {"hexadecimal word", "0x10,$20,30,40", {16, 32, 30, 40}},
        {"extra words ignored", "1,2,3,4,5", {1, 2, 3, 4}},
        {"beyond any screen", "2147483647,-2147483648,30,40", {100, 200, 30, 40}},
        {"empty", "", d},
    };
    for (const auto& r : rows) EXPECT_EQ(ParseFour(r.text, d), r.expected) << r.name;
}

TEST(WindowPlacement, ShowCommands) {
    struct {
        int showCmd;
        TShowState expected;
    } const rows[] = {{1, TShowState::Normal},    {5, TShowState::Normal},
                      {9, TShowState::Normal},    {2, TShowState::Minimized},
                      {6, TShowState::Minimized}, {7, TShowState::Minimized},
                      {3, TShowState::Maximized}, {0, TShowState::Maximized},
                      {4, TShowState::Maximized}, {-1, TShowState::Maximized}};
    // Maximized as the default makes the fall-back visible.
    for (const auto& r : rows) {
        EXPECT_EQ(ShowStateOf(r.showCmd, TShowState::Maximized), r.expected) << r.showCmd;
    }
    for (const TShowState s : {TShowState::Normal, TShowState::Minimized, TShowState::Maximized}) {
        EXPECT_EQ(ShowStateOf(ShowCmdOf(s), TShowState::Normal), s);
    }
}

TEST(WindowPlacement, BringOntoScreens) {
    const TRect left{-1280, 0, 0, 1024};
    const TRect primary{0, 0, 1920, 1080};
    struct {
        const char* name;
        TRect rect;
        std::vector<TRect> screens;
        TRect expected;
    } const rows[] = {
        {"on the screen", {100, 100, 581, 379}, {primary}, {100, 100, 581, 379}},
        {"partly off stays", {1800, 1000, 2281, 1279}, {primary}, {1800, 1000, 2281, 1279}},
        {"on the left monitor", {-900, 50, -419, 329}, {left, primary}, {-900, 50, -419, 329}},
        {"left monitor unplugged", {-900, 50, -419, 329}, {primary}, {0, 50, 481, 329}},
        {"far below and right", {5000, 4000, 5481, 4279}, {primary}, {1439, 801, 1920, 1080}},
        {"nearest of two", {-3000, 100, -2519, 379}, {left, primary}, {-1280, 100, -799, 379}},
        {"larger than the screen", {3000, 0, 5000, 1200}, {primary}, {0, 0, 2000, 1200}},
        {"touching the edge is off", {1920, 0, 2401, 279}, {primary}, {1439, 0, 1920, 279}},
        {"no screens at all", {5000, 5000, 5100, 5100}, {}, {5000, 5000, 5100, 5100}},
    };
    for (const auto& r : rows) EXPECT_EQ(BringOntoScreens(r.rect, r.screens), r.expected) << r.name;
}

}  // namespace
}  // namespace kavrel
