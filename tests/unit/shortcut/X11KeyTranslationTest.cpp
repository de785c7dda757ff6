#include "X11KeyTranslation.h"

#include "X11ServerTime.h"

#include <gtest/gtest.h>
#include <set>

using namespace talvex::x11;

namespace {

// X keycodes of a pc105 keyboard on an evdev server (evdev code + 8).
constexpr std::uint8_t xKeyA = 38, xKeyZ = 52, xKeyV = 55, xKeyQ = 24, xKey1 = 10, xKey0 = 19, xSpace = 65,
                       xReturn = 36, xBackspace = 22, xEscape = 9, xF1 = 67, xF9 = 75, xF12 = 96, xF13 = 191,
                       xF20 = 198, xHome = 110, xLeft = 113, xUp = 111, xDelete = 119, xKp0 = 90,
                       xKpEnter = 104, xKpDivide = 106, xComma = 59, xSlash = 61, xGrave = 49, xMenu = 135,
                       xF21 = 199;

} // namespace

TEST(X11KeyTranslation, PositionsMapToTheStoredNumbering)
{
    const std::pair<std::uint8_t, std::uint32_t> expected[] = {
        {xKeyA, 0},     {xKeyZ, 6},      {xKeyV, 9},    {xKeyQ, 12},      {xKey1, 18},
        {xKey0, 29},    {xSpace, 49},    {xReturn, 36}, {xBackspace, 51}, {xEscape, 53},
        {xF1, 122},     {xF9, 101},      {xF12, 111},   {xF13, 105},      {xF20, 90},
        {xHome, 115},   {xLeft, 123},    {xUp, 126},    {xDelete, 117},   {xKp0, 82},
        {xKpEnter, 76}, {xKpDivide, 75}, {xComma, 43},  {xSlash, 44},     {xGrave, 50},
    };
    for (const auto &[keycode, stored] : expected)
        EXPECT_EQ(storedKeyCode(keycode), stored) << int(keycode);

    // Keys with no counterpart keep their X keycode above 0x10000.
    EXPECT_EQ(storedKeyCode(xMenu), 0x10000u + xMenu);
    EXPECT_EQ(storedKeyCode(xF21), 0x10000u + xF21);
}

TEST(X11KeyTranslation, EveryStoredCodeLeadsBackToItsKey)
{
    std::set<std::uint32_t> seen;
    for (int keycode = 8; keycode < 256; ++keycode) {
        const std::uint32_t stored = storedKeyCode(static_cast<std::uint8_t>(keycode));
        EXPECT_TRUE(seen.insert(stored).second) << "two keys share " << stored;
        EXPECT_EQ(xKeycodeFor(stored), keycode) << stored;
    }
    // Codes no key of this keyboard has: the Fn key, a chord, and an offset code of a mapped key.
    EXPECT_FALSE(xKeycodeFor(63));
    EXPECT_FALSE(xKeycodeFor(0xFFFFFFFF));
    EXPECT_FALSE(xKeycodeFor(0x10000u + xKeyA));
    EXPECT_FALSE(xKeycodeFor(0x10000u + 3)); // below the first X keycode
}

TEST(X11ServerTime, SecondsKeepIncreasingAcrossTheWrap)
{
    X11ServerTime time;
    const double before = time.seconds(0xFFFFFF00u);
    EXPECT_NEAR(time.seconds(0x00000100u) - before, 0.512, 1e-6);
    // A slightly late event lands earlier without moving the reference back.
    EXPECT_NEAR(time.seconds(0xFFFFFFF0u) - before, 0.240, 1e-6);
    EXPECT_NEAR(time.seconds(0x00000200u) - before, 0.768, 1e-6);
}
