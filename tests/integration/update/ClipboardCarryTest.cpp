// The clipboard handed from one process image to the next, on the private desktop's X server.
#include "ClipboardCarry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace talvex::update {
namespace {

constexpr auto variable = "TALVEX_CARRIED_CLIPBOARD";

TEST(ClipboardCarryTest, WhatThisProcessOwnedComesBackWithEveryFormat)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    auto *data = new QMimeData;
    data->setText(QStringLiteral("the user’s words"));
    data->setHtml(QStringLiteral("<b>the user’s words</b>"));
    data->setData(QStringLiteral("application/x-example"), QByteArray("\0\1\2", 3));
    clipboard->setMimeData(data);
    ASSERT_TRUE(clipboard->ownsClipboard());

    const int fd = ClipboardCarry::handOver();
    ASSERT_GE(fd, 3);
    EXPECT_EQ(qgetenv(variable), QByteArray::number(fd));
    EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "the next image must inherit it";
    clipboard->clear();

    ClipboardCarry::takeBack();
    EXPECT_FALSE(qEnvironmentVariableIsSet(variable)) << "read once";
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "closed after reading";
    const QMimeData *back = clipboard->mimeData();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text(), QStringLiteral("the user’s words"));
    EXPECT_EQ(back->html(), QStringLiteral("<b>the user’s words</b>"));
    EXPECT_EQ(back->data(QStringLiteral("application/x-example")), QByteArray("\0\1\2", 3));

    // A cancelled relaunch leaves nothing behind.
    const int again = ClipboardCarry::handOver();
    ClipboardCarry::cancel(again);
    EXPECT_FALSE(qEnvironmentVariableIsSet(variable));
    EXPECT_EQ(::fcntl(again, F_GETFD), -1);
}

TEST(ClipboardCarryTest, AVariableThatNamesAnythingElseIsIgnoredAndNothingIsClosed)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("unchanged"));
    const int other = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(other, 3);
    for (const QByteArray &value : {QByteArray("0"), QByteArray("2"), QByteArray("x"),
                                    QByteArray::number(other), QByteArray("99999")}) {
        qputenv(variable, value);
        ClipboardCarry::takeBack();
        EXPECT_FALSE(qEnvironmentVariableIsSet(variable)) << value.constData();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("unchanged")) << value.constData();
    }
    EXPECT_NE(::fcntl(other, F_GETFD), -1) << "a descriptor that is not ours stays open";
    ::close(other);
}

} // namespace
} // namespace talvex::update
