// The Qt dialogs behind the library commands: what they offer and what each answer returns.

#include "core/WidgetUserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace talvex;

namespace {

/// Runs `answer` on the modal dialog once it is up.
template<typename Dialog>
void whenShown(std::function<void(Dialog *)> answer)
{
    QTimer::singleShot(0, [answer] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

} // namespace

TEST(WidgetUserPromptsTest, FiltersOfferAllTypesTogetherThenEach)
{
    EXPECT_EQ(WidgetUserPrompts::nameFilters({PromptFileType::json}), QStringList{QStringLiteral("JSON (*.json)")});
    const QStringList words = WidgetUserPrompts::nameFilters(
        {PromptFileType::plainText, PromptFileType::commaSeparatedText, PromptFileType::tabSeparatedText});
    ASSERT_EQ(words.size(), 4);
    EXPECT_EQ(words[0], QStringLiteral("All supported files (*.txt *.text *.csv *.tsv *.tab)"));
}

TEST(WidgetUserPromptsTest, AlertReturnsTheChosenButtonAndEscapeCancels)
{
    WidgetUserPrompts prompts;
    const AlertRequest request{QStringLiteral("Restore Talvex backup?"), QStringLiteral("Details."),
                               {QStringLiteral("Restore"), QStringLiteral("Cancel")}};
    whenShown<QMessageBox>([](QMessageBox *box) {
        EXPECT_EQ(box->text(), QStringLiteral("Restore Talvex backup?"));
        EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Restore"));
        box->defaultButton()->click();
    });
    EXPECT_EQ(prompts.alert(request), 0);
    whenShown<QMessageBox>([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(prompts.alert(request), 1);
}

TEST(WidgetUserPromptsTest, SavePanelProposesTheNameAndCancelGivesNothing)
{
    QTemporaryDir dir;
    WidgetUserPrompts prompts;
    FilePanelRequest request;
    request.fileTypes = {PromptFileType::json};
    request.proposedName = dir.filePath(QStringLiteral("Talvex Backup.json"));
    whenShown<QFileDialog>([](QFileDialog *dialog) { QMetaObject::invokeMethod(dialog, "accept"); });
    EXPECT_EQ(prompts.chooseSaveLocation(request), dir.filePath(QStringLiteral("Talvex Backup.json")));
    whenShown<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    EXPECT_FALSE(prompts.chooseSaveLocation(request));
}
