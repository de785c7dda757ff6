#include "TrayMenu.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

namespace talvex {
namespace {

/// What Qt 6.4 does to an entry's text before sending it over dbusmenu: its first "&" that is not
/// the last character becomes "_"; nothing else changes.
QString qtExports(QString text)
{
    const qsizetype ampersand = text.indexOf(QLatin1Char('&'));
    if (ampersand >= 0 && ampersand < text.size() - 1)
        text[ampersand] = QLatin1Char('_');
    return text;
}

/// What a dbusmenu host shows for a label: "_" marks the next character as the mnemonic.
QString hostShows(const QString &label)
{
    QString shown;
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label[i] == QLatin1Char('_') && i + 1 < label.size())
            ++i;
        shown += label[i];
    }
    return shown;
}

/// What Qt's own menu shows for an entry: "&&" is "&", a single "&" marks a mnemonic.
QString qtShows(const QString &text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

TEST(TrayMenuTest, EntryTextsShowExactlyTheRowTextInBothKindsOfMenu)
{
    const QStringList texts{
        QStringLiteral("Exported to my_notes.json"),
        QStringLiteral("Tom & Jerry & friends"),
        QStringLiteral("__init__ & &&"),
        QStringLiteral("ends with &"),
        QStringLiteral("_"),
        QStringLiteral("&"),
        QStringLiteral("Tap or hold Ctrl+Shift+_ to dictate"),
        QStringLiteral("plain"),
        QString(),
    };
    for (const QString &text : texts) {
        EXPECT_EQ(hostShows(qtExports(TrayMenu::entryText(text, TrayMenu::Flavour::exported))), text)
            << text.toStdString();
        EXPECT_EQ(qtShows(TrayMenu::entryText(text, TrayMenu::Flavour::widget)), text) << text.toStdString();
    }
}

std::vector<MenuRow> rowsWith(const QString &message, bool cancelVisible)
{
    return {
        {MenuRowId::onboarding, MenuRowKind::button, QStringLiteral("Talvex Onboarding…"), true, true, {}},
        {MenuRowId::topSeparator, MenuRowKind::separator, {}, true, false, {}},
        {MenuRowId::cancelDictation,
         MenuRowKind::button,
         QStringLiteral("Cancel Dictation"),
         cancelVisible,
         true,
         {}},
        {MenuRowId::message, MenuRowKind::text, message, !message.isEmpty(), false, {}},
        {MenuRowId::quit, MenuRowKind::button, QStringLiteral("Quit Talvex"), true, true,
         QKeySequence(QStringLiteral("Ctrl+Q"))},
    };
}

TEST(TrayMenuTest, UpdatesItsEntriesInPlaceAndReportsTheChosenRow)
{
    std::vector<MenuRowId> chosen;
    TrayMenu menu(rowsWith({}, false), TrayMenu::Flavour::widget,
                  [&](MenuRowId id) { chosen.push_back(id); });
    const QList<QAction *> before = menu.menu()->actions();
    ASSERT_EQ(before.size(), 5);
    EXPECT_TRUE(before[1]->isSeparator());
    EXPECT_FALSE(menu.action(MenuRowId::cancelDictation)->isVisible());
    EXPECT_FALSE(menu.action(MenuRowId::message)->isVisible());
    EXPECT_EQ(menu.action(MenuRowId::quit)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));

    menu.apply(rowsWith(QStringLiteral("Saved to A & B.json"), true));
    EXPECT_EQ(menu.menu()->actions(), before) << "the same entries, changed in place";
    EXPECT_TRUE(menu.action(MenuRowId::cancelDictation)->isVisible());
    QAction *message = menu.action(MenuRowId::message);
    EXPECT_TRUE(message->isVisible());
    EXPECT_FALSE(message->isEnabled()) << "text rows are disabled entries";
    EXPECT_EQ(message->text(), QStringLiteral("Saved to A && B.json"));

    menu.action(MenuRowId::cancelDictation)->trigger();
    menu.action(MenuRowId::quit)->trigger();
    EXPECT_EQ(chosen, (std::vector<MenuRowId>{MenuRowId::cancelDictation, MenuRowId::quit}));
}

} // namespace
} // namespace talvex
