// One real dictation into each common kind of application: the whole talvex executable, flite
// speech through the private desktop's microphone, and everything a user would check afterwards:
// the text in the field, the status, the clipboard, and no key left down. Applications that are
// not installed are skipped (scripts/setup --apps installs the whole matrix).
#include "AppTarget.h"
#include "DictationHarness.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace talvex::apps {
namespace {

using e2e::Gesture;
using e2e::TalvexProcess;
using e2e::XTestKeyboard;

constexpr std::uint32_t controlKey = 0xffe3;
constexpr std::uint32_t shiftKey = 0xffe1;
constexpr std::uint32_t spaceKey = 0x20;

const QString sentence = QStringLiteral("The weather is nice today.");
const QString clipboardBefore = QStringLiteral("copied by the user before dictating");

class AppsMatrix : public ::testing::TestWithParam<QString> {
  protected:
    // One talvex for the whole matrix: it starts once, and each case adds one transcript.
    static void SetUpTestSuite()
    {
        talvex = new TalvexProcess;
        QString error;
        if (!talvex->start({}, &error))
            startError = error;
    }
    static void TearDownTestSuite()
    {
        delete talvex;
        talvex = nullptr;
    }

    static TalvexProcess *talvex;
    static QString startError;
    XTestKeyboard keys;
};

TalvexProcess *AppsMatrix::talvex = nullptr;
QString AppsMatrix::startError;

TEST_P(AppsMatrix, DictationArrivesWithAnHonestStatusAndTheClipboardFollowsIt)
{
    const AppSpec &app = spec(GetParam());
    AppTarget target(app);
    if (const auto missing = target.missing())
        GTEST_SKIP() << missing->toStdString();
    ASSERT_TRUE(startError.isEmpty()) << startError.toStdString();
    const auto wav = e2e::speechFile(sentence);
    ASSERT_TRUE(wav) << "flite could not speak the sentence";

    QString error;
    ASSERT_TRUE(target.start(&error)) << error.toStdString();
    const qsizetype kept = talvex->readLibrary() ? talvex->readLibrary()->history.size() : 0;
    QGuiApplication::clipboard()->setText(clipboardBefore);
    QGuiApplication::clipboard()->setText(clipboardBefore, QClipboard::Selection);

    const auto stop =
        e2e::dictate(*talvex, keys, {controlKey, shiftKey, spaceKey}, Gesture::hold, *wav, &error);
    ASSERT_TRUE(stop) << error.toStdString();
    const auto delivered =
        talvex->waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), stop->firstLine);
    ASSERT_TRUE(delivered) << talvex->log().toStdString();
    const QString status = delivered->message.mid(delivered->message.lastIndexOf(QStringLiteral(": ")) + 2);
    const QStringList lines = talvex->log().split(QLatin1Char('\n'));
    EXPECT_EQ(status, app.expectedStatus)
        << delivered->message.toStdString() << "\n"
        << app.note.toStdString() << "\n--- talvex's last lines:\n"
        << lines.mid(std::max<qsizetype>(0, lines.size() - 40)).join(QLatin1Char('\n')).toStdString();

    std::optional<Library> library;
    ASSERT_TRUE(
        e2e::waitFor([&] { return (library = talvex->readLibrary()) && library->history.size() > kept; },
                     std::chrono::seconds(10)))
        << "no transcript kept";
    const QString text = library->history.constFirst().text;
    ASSERT_FALSE(text.isEmpty());

    EXPECT_EQ(target.arrived(keys), text) << "what the field holds";
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              status == QLatin1String("Paste confirmed") ? clipboardBefore : text)
        << "a confirmed paste gives the clipboard back; any other outcome leaves the text there";
    const QString primary = QGuiApplication::clipboard()->text(QClipboard::Selection);
    if (!app.pastesPrimary || status == QLatin1String("Paste confirmed"))
        EXPECT_EQ(primary, clipboardBefore) << "the primary selection is the user's";
    else
        EXPECT_EQ(primary, text) << "Shift+Insert pasted the primary selection, which keeps the text";
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{}) << "a key was left pressed";
}

std::vector<QString> names()
{
    std::vector<QString> result;
    for (const AppSpec &app : matrix())
        result.push_back(app.name);
    return result;
}

INSTANTIATE_TEST_SUITE_P(Apps, AppsMatrix, ::testing::ValuesIn(names()),
                         [](const ::testing::TestParamInfo<QString> &paramInfo) {
                             return paramInfo.param.toStdString();
                         });

} // namespace
} // namespace talvex::apps
