#include "LlmEndpoint.h"

#include <gtest/gtest.h>

using namespace talvex;

namespace {

QString baseOf(const QString &url)
{
    return LlmEndpoint::fromSettings(url, QString()).baseUrl.toString();
}

} // namespace

TEST(LlmEndpointTest, AcceptsLoopbackHostsAndNormalisesTheBase)
{
    EXPECT_EQ(baseOf(QString()), QStringLiteral("http://127.0.0.1:11434/v1")) << "unset means the default";
    EXPECT_EQ(baseOf(QStringLiteral(" http://127.0.0.1:8080/v1/ ")), QStringLiteral("http://127.0.0.1:8080/v1"));
    EXPECT_EQ(baseOf(QStringLiteral("http://127.8.9.10:1/")), QStringLiteral("http://127.8.9.10:1"));
    EXPECT_EQ(baseOf(QStringLiteral("http://[::1]:1/v1")), QStringLiteral("http://[::1]:1/v1"));
    EXPECT_EQ(baseOf(QStringLiteral("http://LocalHost:1/v1?x=1#y")), QStringLiteral("http://localhost:1/v1"));
    EXPECT_EQ(baseOf(QStringLiteral("https://[::ffff:127.0.0.1]/v1")), QStringLiteral("https://[::ffff:127.0.0.1]/v1"));

    const LlmEndpoint endpoint = LlmEndpoint::fromSettings(QStringLiteral("http://localhost:9/api/v1//"), QStringLiteral(" tiny "));
    EXPECT_EQ(endpoint.resolve(QStringLiteral("chat/completions")).toString(), QStringLiteral("http://localhost:9/api/v1/chat/completions"));
    EXPECT_EQ(endpoint.model, QStringLiteral("tiny"));
    EXPECT_EQ(LlmEndpoint::fromSettings(QStringLiteral("http://127.0.0.1:9"), {}).resolve(QStringLiteral("models")).toString(),
              QStringLiteral("http://127.0.0.1:9/models"));
}

TEST(LlmEndpointTest, EverythingOffTheMachineOrUnparsableCountsAsTurnedOff)
{
    for (const char *url : {"off", "OFF", "http://192.0.2.2:11434/v1", "http://example.com/v1",
                            "http://127.0.0.1.example.com/v1", "http://0.0.0.0:11434/v1", "http://[::ffff:10.0.0.1]/v1",
                            "http://[::]/v1", "ftp://127.0.0.1/v1", "file:///tmp/socket", "127.0.0.1:11434",
                            "http://", "not a url at all", "http://localhost.evil.test/v1"}) {
        const LlmEndpoint endpoint = LlmEndpoint::fromSettings(QString::fromLatin1(url), QStringLiteral("m"));
        EXPECT_FALSE(endpoint.enabled()) << url;
        EXPECT_TRUE(endpoint.baseUrl.isEmpty()) << url;
    }
}

TEST(LlmEndpointTest, ReadsTheEnvironment)
{
    qputenv("TALVEX_LLM_URL", "http://127.0.0.1:5000/v1");
    qputenv("TALVEX_LLM_MODEL", "qwen");
    const LlmEndpoint set = LlmEndpoint::fromEnvironment();
    qputenv("TALVEX_LLM_URL", "http://10.1.2.3:5000/v1");
    const LlmEndpoint remote = LlmEndpoint::fromEnvironment();
    qunsetenv("TALVEX_LLM_URL");
    qunsetenv("TALVEX_LLM_MODEL");
    const LlmEndpoint unset = LlmEndpoint::fromEnvironment();

    EXPECT_EQ(set.baseUrl.toString(), QStringLiteral("http://127.0.0.1:5000/v1"));
    EXPECT_EQ(set.model, QStringLiteral("qwen"));
    EXPECT_FALSE(remote.enabled());
    EXPECT_EQ(unset.baseUrl.toString(), QStringLiteral("http://127.0.0.1:11434/v1"));
    EXPECT_TRUE(unset.model.isEmpty());
}
