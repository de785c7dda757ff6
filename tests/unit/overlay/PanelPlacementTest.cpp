#include "overlay/PanelPlacement.h"

#include "ScreenSourceDouble.h"

#include <gtest/gtest.h>

inline void PrintTo(const QRect &rect, std::ostream *os)
{
    *os << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}

using namespace talvex;

namespace {

const QSize panel(386, 141);

ScreenArea whole(QRect frame)
{
    return ScreenArea{frame, frame};
}

} // namespace

TEST(PanelPlacementTest, BottomCentreOfTheScreenThatHoldsTheReferencePoint)
{
    const ScreenArea left = whole(QRect(0, 0, 1280, 800));
    const ScreenArea right{QRect(1280, 0, 1920, 1080), QRect(1280, 32, 1920, 1008)}; // top bar
    const ScreenArea narrow = whole(QRect(0, 0, 300, 600));
    const ScreenArea aside = whole(QRect(-1024, 100, 1024, 768));
    struct Case {
        const char *why;
        std::vector<ScreenArea> screens;
        std::size_t primary;
        std::optional<QRectF> window;
        QPoint pointer;
        std::optional<QRect> expected;
    } cases[] = {
        {"the window's centre picks the screen",
         {left, right},
         0,
         QRectF(1500, 100, 400, 300),
         {10, 10},
         QRect(1280 + 960 - 193, 1040 - 24 - 141, 386, 141)},
        {"24 above the bottom of the free area, centred",
         {left},
         0,
         QRectF(100, 100, 200, 200),
         {},
         QRect(447, 635, 386, 141)},
        {"a free width of 300 gives 276, centred",
         {narrow},
         0,
         QRectF(10, 10, 50, 50),
         {},
         QRect(12, 600 - 24 - 141, 276, 141)},
        {"no window: the pointer's screen",
         {left, right},
         0,
         std::nullopt,
         {2000, 500},
         QRect(1280 + 960 - 193, 875, 386, 141)},
        {"a window centre outside every screen: the primary",
         {left, right},
         1,
         QRectF(5000, 5000, 10, 10),
         {100, 100},
         QRect(2047, 875, 386, 141)},
        {"a pointer outside every screen: the primary",
         {left, right},
         0,
         std::nullopt,
         {-50, -50},
         QRect(447, 635, 386, 141)},
        {"the window wins over the pointer",
         {left, right},
         0,
         QRectF(100, 100, 200, 200),
         {2000, 500},
         QRect(447, 635, 386, 141)},
        {"a screen left of the primary",
         {left, aside},
         0,
         QRectF(-600, 300, 100, 100),
         {},
         QRect(-512 - 193, 868 - 24 - 141, 386, 141)},
        {"a centre on the seam belongs to the screen right of it",
         {left, right},
         0,
         QRectF(1180, 100, 200, 100),
         {},
         QRect(2047, 875, 386, 141)},
        {"an odd free width centres on its middle",
         {whole(QRect(0, 0, 1001, 700))},
         0,
         std::nullopt,
         {},
         QRect(307, 535, 386, 141)},
        {"a free area narrower than the margins still gets a panel",
         {whole(QRect(0, 0, 10, 400))},
         0,
         std::nullopt,
         {},
         QRect(4, 235, 1, 141)},
        {"no screen shows nothing", {}, 0, QRectF(0, 0, 100, 100), {}, std::nullopt},
    };
    for (const Case &c : cases) {
        test::ScreenSourceDouble screens;
        screens.areas = c.screens;
        screens.primaryIndex = c.primary;
        screens.pointerAt = c.pointer;
        EXPECT_EQ(PanelPlacement::frame(screens, c.window, panel), c.expected) << c.why;
    }
}

TEST(PanelPlacementTest, ThePointerIsOnlyAskedWhenThereIsNoWindow)
{
    test::ScreenSourceDouble screens;
    screens.areas = {whole(QRect(0, 0, 800, 600))};
    PanelPlacement::frame(screens, QRectF(0, 0, 100, 100), panel);
    EXPECT_EQ(screens.pointerReads, 0);
    PanelPlacement::frame(screens, std::nullopt, panel);
    EXPECT_EQ(screens.pointerReads, 1);
}
