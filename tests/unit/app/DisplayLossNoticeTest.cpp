#include "DisplayLossNotice.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace talvex {
namespace {

QStringList recorded;

void record(QtMsgType, const QMessageLogContext &, const QString &message)
{
    recorded << message;
}

TEST(DisplayLossNoticeTest, OnlyQtsBrokenConnectionWarningBecomesTheSentence)
{
    const struct {
        QtMsgType type;
        const char *message;
        bool replaced;
    } cases[] = {
        {QtWarningMsg, "The X11 connection broke (error 1). Did the X11 server die?", true},
        {QtWarningMsg, "The X11 connection broke: I/O error (code 1)", true},
        {QtCriticalMsg, "The X11 connection broke (error 1). Did the X11 server die?", false},
        {QtWarningMsg, "QXcbConnection: XCB error: 3 (BadWindow)", false},
        {QtWarningMsg, "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        const auto sentence = DisplayLossNotice::sentenceFor(c.type, QString::fromLatin1(c.message));
        EXPECT_EQ(sentence.has_value(), c.replaced);
        if (sentence) {
            EXPECT_TRUE(sentence->startsWith(QStringLiteral("Talvex lost its connection to the X display")));
        }
    }
}

TEST(DisplayLossNoticeTest, OtherMessagesReachThePreviousHandlerWhichComesBackAfterwards)
{
    recorded.clear();
    const QtMessageHandler original = qInstallMessageHandler(record);
    {
        DisplayLossNotice notice;
        qWarning("an ordinary warning");
        qWarning("The X11 connection broke (error 1). Did the X11 server die?");
    }
    qWarning("after the notice");
    qInstallMessageHandler(original);
    EXPECT_EQ(recorded,
              (QStringList{QStringLiteral("an ordinary warning"), QStringLiteral("after the notice")}));
}

} // namespace
} // namespace talvex
