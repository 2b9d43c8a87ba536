// The widget's GDI+ back buffer on Windows, without a window: clearing, blending, where and in which
// colour text lands, and the PNG picture; pixels are read back from the buffer itself.
#include "platform/widget_window.h"
#include "tests/fakes/test_support.h"
#include "tests/platform_win32/under_wine.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr uint32_t kBackground = 0xB2000000; // the widget's background: palette 0 at alpha 178
constexpr uint32_t kGreen = 0xFF00FF00;      // palette 3, opaque

// The box around every pixel of the area that differs from `background`; empty when none does.
struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // right and bottom inclusive
    int pixels = 0;
    bool Empty() const { return pixels == 0; }
    int Height() const { return bottom - top + 1; }
};
Ink InkIn(int x0, int y0, int x1, int y1, uint32_t background) {
    Ink ink;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (WidgetBufferPixel(x, y) != background) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
                ++ink.pixels;
            }
    return ink;
}

uint8_t Channel(uint32_t argb, int shift) {
    return static_cast<uint8_t>((argb >> shift) & 0xFF);
}

class WidgetBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartWidgetGraphics();
        ReleaseWidgetBuffer();
        CreateWidgetBuffer(kWidth, kHeight);
        ASSERT_TRUE(WidgetBufferExists());
    }
    void TearDown() override { ReleaseWidgetBuffer(); }
    // A background over the whole buffer, as the widget's paint leaves it before the text.
    static void Background() {
        ClearWidgetBuffer(0x01000000);
        FillWidgetRect(0, 0, kWidth, kHeight, kBackground);
    }
};

TEST_F(WidgetBufferTest, ClearReplacesEveryPixelAndFillBlendsOverWhatIsThere) {
    EXPECT_EQ(WidgetBufferPixel(0, 0), 0x00000000u) << "a new buffer starts transparent";
    ClearWidgetBuffer(0x01000000); // every pixel: ClearLeavesNoTraceOfWhatWasDrawn
    EXPECT_EQ(WidgetBufferPixel(kWidth, 0), 0u) << "outside the buffer";
    EXPECT_EQ(WidgetBufferPixel(-1, 0), 0u) << "outside the buffer";

    // A second creation keeps the buffer it has, size and pixels.
    CreateWidgetBuffer(kWidth * 2, kHeight * 2);
    EXPECT_EQ(WidgetBufferPixel(10, 10), 0x01000000u);
    EXPECT_EQ(WidgetBufferPixel(kWidth + 10, 10), 0u);

    // Half-transparent red over opaque blue mixes the two.
    ClearWidgetBuffer(0xFF0000FF);
    FillWidgetRect(0, 0, 10, 10, 0x80FF0000);
    uint32_t mixed = WidgetBufferPixel(5, 5);
    EXPECT_EQ(Channel(mixed, 24), 0xFF);
    EXPECT_NEAR(Channel(mixed, 16), 0x80, 2);
    EXPECT_EQ(Channel(mixed, 8), 0x00);
    EXPECT_NEAR(Channel(mixed, 0), 0x7F, 2);
    EXPECT_EQ(WidgetBufferPixel(10, 10), 0xFF0000FFu);
}

TEST_F(WidgetBufferTest, ClearLeavesNoTraceOfWhatWasDrawn) {
    // Pass after pass the widget clears to the same colour and draws again; whatever a pass drew, the
    // next clear takes back everywhere, also where text ran past its row or a fill went off the edge.
    const uint32_t clear = 0x01000000;
    auto everyPixelIs = [](uint32_t argb) {
        int others = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) others += WidgetBufferPixel(x, y) != argb ? 1 : 0;
        return others;
    };
    ClearWidgetBuffer(clear);
    for (int pass = 0; pass < 3; ++pass) {
        FillWidgetRect(-20, 2 + 40 * pass, kWidth + 40, 108, kBackground);
        DrawWidgetBufferText(10, 6 + 50 * pass,
                             u"\u00c9XPECTED ANSWERS(2) ... flaps up, gear up, and a long tail", kGreen);
        DrawWidgetBufferText(-5, kHeight - 12, u"Qgjpy|", 0xFFFFFFFF);
        EXPECT_GT(kWidth * kHeight - everyPixelIs(clear), 1000);
        ClearWidgetBuffer(clear);
        EXPECT_EQ(everyPixelIs(clear), 0) << "pass " << pass;
    }
    // Another colour replaces every pixel too.
    DrawWidgetBufferText(200, 200, u"x", kGreen);
    ClearWidgetBuffer(0xC8000000);
    EXPECT_EQ(everyPixelIs(0xC8000000), 0);
}

TEST_F(WidgetBufferTest, TextSitsInItsLineBoxInItsOwnColour) {
    Background();
    DrawWidgetBufferText(10, 4, u"PROCEDURES(0)", kGreen);
    Ink ink = InkIn(0, 0, kWidth, 60, kBackground);
    ASSERT_FALSE(ink.Empty())
        << "no text drawn: is there an Arial? (wine: the prefix maps it to Liberation Sans)";
    // (10, 4) is the top-left of the line box: the letters start just right of it and below it, the
    // capitals' tops under the font's internal leading, the parentheses' feet inside the 18-pixel row.
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.left, 13);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.top, 9);
    EXPECT_LE(ink.bottom, 4 + 17);
    EXPECT_GT(ink.right, 90) << "thirteen letters of a 14-pixel font";
    EXPECT_LT(ink.right, 130);

    // Only the text's colour, blended with the black background where a pixel is partly covered, and
    // the full colour where it is covered.
    int full = 0;
    for (int y = ink.top; y <= ink.bottom; ++y)
        for (int x = ink.left; x <= ink.right; ++x) {
            uint32_t pixel = WidgetBufferPixel(x, y);
            if (pixel == kBackground) continue;
            EXPECT_EQ(Channel(pixel, 16), 0) << "red at " << x << "," << y;
            EXPECT_EQ(Channel(pixel, 0), 0) << "blue at " << x << "," << y;
            if (pixel == kGreen) ++full;
        }
    EXPECT_GT(full, 40);
}

TEST_F(WidgetBufferTest, TextIsFourteenPixelsAndMovesWithItsPoint) {
    // A capital H of a 14-pixel Arial stands 10 pixels tall (14 points would make 13).
    Background();
    DrawWidgetBufferText(10, 104, u"H", kGreen);
    Ink capital = InkIn(0, 100, kWidth, 140, kBackground);
    ASSERT_FALSE(capital.Empty());
    EXPECT_GE(capital.Height(), 9);
    EXPECT_LE(capital.Height(), 11);

    // The same text one row (18 pixels) lower and ten pixels further right is the same picture moved.
    DrawWidgetBufferText(10, 4, u"EXPECTED ANSWERS(2)", kGreen);
    DrawWidgetBufferText(20, 22, u"EXPECTED ANSWERS(2)", kGreen);
    Ink first = InkIn(0, 0, kWidth, 22, kBackground);
    Ink second = InkIn(0, 22, kWidth, 60, kBackground);
    ASSERT_FALSE(first.Empty());
    EXPECT_EQ(second.left, first.left + 10);
    EXPECT_EQ(second.top, first.top + 18);
    EXPECT_EQ(second.right, first.right + 10);
    EXPECT_EQ(second.bottom, first.bottom + 18);
    int differing = 0;
    for (int y = first.top; y <= first.bottom; ++y)
        for (int x = first.left; x <= first.right; ++x)
            if (WidgetBufferPixel(x, y) != WidgetBufferPixel(x + 10, y + 18)) ++differing;
    EXPECT_EQ(differing, 0);
}

TEST_F(WidgetBufferTest, TextStaysOnOneLineAndNothingIsDrawnForNoText) {
    Background();
    DrawWidgetBufferText(10, 40, u"", kGreen);
    EXPECT_TRUE(InkIn(0, 0, kWidth, kHeight, kBackground).Empty());

    // A zero-sized layout box neither wraps nor clips: a long line runs on to the buffer's edge.
    DrawWidgetBufferText(10, 40, u"the first officer says a rather long line that does not wrap at all",
                         kGreen);
    Ink ink = InkIn(0, 0, kWidth, kHeight, kBackground);
    EXPECT_GE(ink.top, 40);
    EXPECT_LE(ink.bottom, 40 + 17);
    EXPECT_GE(ink.right, kWidth - 5);
}

TEST_F(WidgetBufferTest, TextIsDrawnOneBitPerPixel) {
    if (UnderWine()) GTEST_SKIP() << "wine 8's GDI+ ignores the text rendering hint and always smooths text";
    Background();
    DrawWidgetBufferText(10, 4, u"PROCEDURES(0) ... flaps up", kGreen);
    Ink ink = InkIn(0, 0, kWidth, 40, kBackground);
    ASSERT_FALSE(ink.Empty());
    for (int y = ink.top; y <= ink.bottom; ++y)
        for (int x = ink.left; x <= ink.right; ++x) {
            uint32_t pixel = WidgetBufferPixel(x, y);
            EXPECT_TRUE(pixel == kBackground || pixel == kGreen)
                << std::hex << pixel << " at " << std::dec << x << "," << y;
        }
}

TEST_F(WidgetBufferTest, PictureIsThePngOfTheTopLeftArea) {
    Background();
    TempFolder folder;
    std::string path = folder.path + "/widget.png";
    ASSERT_TRUE(SaveWidgetBufferPng(path, 400, 126));
    std::string bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    // The header chunk gives width and height, big-endian, at bytes 16 and 20.
    auto number = [&](size_t at) {
        return (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24) |
               (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16) |
               (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8) |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3]));
    };
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(number(16), 400u);
    EXPECT_EQ(number(20), 126u);

    ReleaseWidgetBuffer();
    EXPECT_FALSE(WidgetBufferExists());
    EXPECT_FALSE(SaveWidgetBufferPng(folder.path + "/none.png", 400, 126));
    EXPECT_EQ(WidgetBufferPixel(0, 0), 0u);
    FillWidgetRect(0, 0, 10, 10, kBackground); // without a buffer: nothing, and no harm
    DrawWidgetBufferText(0, 0, u"x", kGreen);
}

} // namespace
