#include "UpdateDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace talvex::update {
namespace {

using Action = UpdatePrompt::Action;

QPushButton *button(UpdateDialog &dialog, const QString &name)
{
    for (QPushButton *b : dialog.findChildren<QPushButton *>()) {
        if (b->isVisible() && b->accessibleName() == name)
            return b;
    }
    return nullptr;
}

TEST(UpdateDialogTest, EachPromptShowsItsActionAsTheDefaultButtonAndKeysWork)
{
    struct Case {
        UpdatePrompt prompt;
        QString primary; ///< the default button's name
        QString other;   ///< the second visible button, if any
        bool busy;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("Talvex 0.2.0 is available; you have 0.1.0."), Action::install},
         QStringLiteral("Install and Relaunch"),
         QStringLiteral("Later"),
         false},
        {{QStringLiteral("Talvex 0.2.0 is available."), Action::openPage},
         QStringLiteral("Open Release Page"),
         QStringLiteral("Later"),
         false},
        {{QStringLiteral("Talvex 0.1.0 is the newest version.")}, QStringLiteral("Close"), QString(), false},
        {{QStringLiteral("Installing Talvex 0.2.0…"), Action::install, true},
         QStringLiteral("Close"),
         QString(),
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.prompt.message.toStdString());
        UpdateDialog dialog;
        dialog.showPrompt(c.prompt);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_EQ(dialog.messageText(), c.prompt.message);
        QPushButton *primary = button(dialog, c.primary);
        ASSERT_TRUE(primary);
        EXPECT_TRUE(primary->isDefault());
        EXPECT_EQ(button(dialog, c.other) != nullptr, !c.other.isEmpty());
        EXPECT_EQ(dialog.findChild<QProgressBar *>()->isVisible(), c.busy);
        EXPECT_EQ(dialog.findChild<QProgressBar *>()->accessibleName(), QStringLiteral("Update in progress"));

        QSignalSpy chosen(&dialog, &UpdateDialog::actionChosen);
        QTest::keyClick(&dialog, Qt::Key_Return);
        if (c.prompt.action != Action::none && !c.busy) {
            ASSERT_EQ(chosen.count(), 1);
            EXPECT_EQ(chosen.first().first().value<Action>(), c.prompt.action);
        } else {
            EXPECT_EQ(chosen.count(), 0);
            EXPECT_FALSE(dialog.isVisible()) << "Return closes a dialog with nothing to do";
        }
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    }
}

} // namespace
} // namespace talvex::update
