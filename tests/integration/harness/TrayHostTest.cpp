// With --tray the private desktop has a tray host, so a tray icon can be shown and embedded.
#include <QApplication>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

TEST(TrayHost, TrayIsAvailableAndEmbedsAnIcon)
{
    ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::darkCyan);
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.show();
    // The host gives the embedded icon a place on the screen once it docks it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return icon.geometry().isValid() && !icon.geometry().isEmpty(); }, 20000))
        << "the tray host never embedded the icon";
}

} // namespace
} // namespace talvex::test
