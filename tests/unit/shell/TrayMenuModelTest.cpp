#include "TrayMenuModel.h"

#include "TrayIcons.h"

#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

namespace talvex {
namespace {

/// The rows a user sees, top to bottom; disabled rows marked "(off) ", separators as "-".
QStringList shown(const std::vector<MenuRow> &rows)
{
    QStringList labels;
    for (const MenuRow &row : rows) {
        if (!row.visible)
            continue;
        if (row.kind == MenuRowKind::separator)
            labels << QStringLiteral("-");
        else
            labels << (row.enabled ? row.text : QStringLiteral("(off) ") + row.text);
    }
    return labels;
}

MenuState ready()
{
    MenuState state;
    state.shortcutLabel = QStringLiteral("Ctrl+Alt");
    state.shortcutReady = true;
    state.accessibilityReady = true;
    return state;
}

QStringList around(const QStringList &middle, bool updates = false)
{
    return QStringList{QStringLiteral("Talvex Onboarding…"), QStringLiteral("-"),
                       QStringLiteral("(off) Tap or hold Ctrl+Alt to dictate")} +
           middle +
           QStringList{QStringLiteral("-"),
                       QStringLiteral("Settings…"),
                       updates ? QStringLiteral("Check for Updates…")
                               : QStringLiteral("(off) Check for Updates…"),
                       QStringLiteral("About Talvex"),
                       QStringLiteral("Get App Help"),
                       QStringLiteral("Send Feedback…"),
                       QStringLiteral("Quit Talvex")};
}

struct MenuCase {
    const char *name;
    std::function<void(MenuState &)> change;
    QStringList expected;
    TrayIconKind icon;
};

TEST(TrayMenuModelTest, RowsAndIconFollowTheState)
{
    const QString notice = QStringLiteral("Transcript copied because the original text field lost focus.");
    const std::vector<MenuCase> cases{
        {"idle", [](MenuState &) {}, around({}), TrayIconKind::ready},
        {"idle with an updater", [](MenuState &s) { s.canCheckForUpdates = true; }, around({}, true),
         TrayIconKind::ready},
        {"preparing",
         [](MenuState &s) {
             s.phase = Phase::preparing;
             s.canCheckForUpdates = true;
         },
         around({QStringLiteral("Cancel Dictation")}), TrayIconKind::ready},
        {"recording",
         [](MenuState &s) {
             s.phase = Phase::recording;
             s.canCheckForUpdates = true;
         },
         around({QStringLiteral("Cancel Dictation")}), TrayIconKind::recording},
        {"transcribing",
         [](MenuState &s) {
             s.phase = Phase::transcribing;
             s.canCheckForUpdates = true;
         },
         around({}), TrayIconKind::ready},
        {"refining", [](MenuState &s) { s.phase = Phase::refining; }, around({}), TrayIconKind::ready},
        {"paste needs attention, automatic paste off",
         [&](MenuState &s) {
             s.pasteNeedsAttention = true;
             s.accessibilityReady = false;
             s.hasRecentTranscript = true;
             s.message = notice;
         },
         around({QStringLiteral("Copy Last Transcript"), QStringLiteral("(off) ") + notice,
                 QStringLiteral("Enable Automatic Paste…")}),
         TrayIconKind::attention},
        {"paste needs attention, automatic paste on",
         [&](MenuState &s) {
             s.pasteNeedsAttention = true;
             s.hasRecentTranscript = true;
         },
         around({QStringLiteral("Copy Last Transcript")}), TrayIconKind::attention},
        {"automatic paste off without a failed paste", [](MenuState &s) { s.accessibilityReady = false; },
         around({}), TrayIconKind::ready},
        {"recording wins over attention",
         [](MenuState &s) {
             s.phase = Phase::recording;
             s.pasteNeedsAttention = true;
             s.hasRecentTranscript = true;
         },
         around({QStringLiteral("Cancel Dictation"), QStringLiteral("Copy Last Transcript")}),
         TrayIconKind::recording},
        {"shortcut not registered", [](MenuState &s) { s.shortcutReady = false; },
         around({QStringLiteral("(off) Choose an available shortcut in Talvex Onboarding.")}),
         TrayIconKind::ready},
        {"wayland", [](MenuState &s) { s.waylandSession = true; },
         around({QStringLiteral("(off) ") + TrayMenuModel::waylandHint()}), TrayIconKind::ready},
    };
    std::vector<MenuRowId> order;
    for (const MenuRow &row : TrayMenuModel::rows(ready()))
        order.push_back(row.id);
    for (const MenuCase &c : cases) {
        MenuState state = ready();
        c.change(state);
        const auto rows = TrayMenuModel::rows(state);
        EXPECT_EQ(shown(rows), c.expected) << c.name;
        EXPECT_EQ(TrayMenuModel::icon(state), c.icon) << c.name;
        // The same rows in the same order every time: the menu is updated in place, never rebuilt.
        std::vector<MenuRowId> ids;
        for (const MenuRow &row : rows)
            ids.push_back(row.id);
        EXPECT_EQ(ids, order) << c.name;
    }
}

TEST(TrayMenuModelTest, EveryIconHasAPictureEvenWithoutAnIconTheme)
{
    QSet<QByteArray> pictures;
    for (const TrayIconKind kind : {TrayIconKind::ready, TrayIconKind::recording, TrayIconKind::attention}) {
        const QImage image = TrayIcons::icon(kind).pixmap(22, 22).toImage();
        ASSERT_FALSE(image.isNull());
        pictures.insert(QByteArray(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes()));
        EXPECT_FALSE(TrayIcons::themeNames(kind).isEmpty());
    }
    EXPECT_EQ(pictures.size(), 3) << "each state looks different";
}

} // namespace
} // namespace talvex
