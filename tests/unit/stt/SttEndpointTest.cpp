#include "SttEndpoint.h"

#include <gtest/gtest.h>

using namespace talvex;
using namespace std::chrono_literals;

TEST(SttEndpointTest, OnlyLoopbackAddressesTurnTheServerOn)
{
    // The address as configured, and where the requests go; empty = the server stays off.
    const std::pair<const char *, const char *> cases[] = {
        {"", ""},
        {"off", ""},
        {" OFF ", ""},
        {"http://127.0.0.1:8080/v1", "http://127.0.0.1:8080/v1/audio/transcriptions"},
        {" http://127.0.0.1:8080/v1// ", "http://127.0.0.1:8080/v1/audio/transcriptions"},
        {"http://127.0.0.1:8080/v1/audio/transcriptions", "http://127.0.0.1:8080/v1/audio/transcriptions"},
        {"http://LocalHost:9000", "http://localhost:9000/audio/transcriptions"},
        {"https://[::1]:8443/api/v1?key=1#part", "https://[::1]:8443/api/v1/audio/transcriptions"},
        {"http://[::ffff:127.0.0.2]/v1", "http://[::ffff:127.0.0.2]/v1/audio/transcriptions"},
        {"http://192.0.2.7:8080/v1", ""},
        {"http://example.com/v1", ""},
        {"http://127.0.0.1.example.com/v1", ""},
        {"http://localhost.example.com/v1", ""},
        {"http://0.0.0.0:8080/v1", ""},
        {"http://[::]/v1", ""},
        {"http://[::ffff:10.0.0.1]/v1", ""},
        {"ftp://127.0.0.1/v1", ""},
        {"file:///run/server.sock", ""},
        {"127.0.0.1:8080", ""},
        {"not a url", ""},
    };
    for (const auto &[url, transcriptions] : cases) {
        const SttEndpoint endpoint = SttEndpoint::fromSettings(QString::fromLatin1(url), QStringLiteral("m"));
        EXPECT_EQ(endpoint.enabled(), *transcriptions != 0) << url;
        if (endpoint.enabled()) {
            EXPECT_EQ(endpoint.transcriptionsUrl().toString(), QString::fromLatin1(transcriptions)) << url;
        }
    }

    const SttEndpoint endpoint =
        SttEndpoint::fromSettings(QStringLiteral("http://127.0.0.1:8080/v1/"), QStringLiteral(" tiny "));
    EXPECT_EQ(endpoint.modelsUrl().toString(), QStringLiteral("http://127.0.0.1:8080/v1/models"));
    EXPECT_EQ(endpoint.model, QStringLiteral("tiny"));
    EXPECT_EQ(endpoint.hostAndPort(), QStringLiteral("127.0.0.1:8080"));
    EXPECT_EQ(SttEndpoint::fromSettings(QStringLiteral("http://[::1]/v1"), {}).hostAndPort(),
              QStringLiteral("[::1]:80"));
}

TEST(SttEndpointTest, TimeoutIsSecondsAndNonsenseKeepsTheDefault)
{
    const std::pair<const char *, std::chrono::milliseconds> cases[] = {
        {"", 10s},    {" 2.5 ", 2500ms}, {"0.2", 200ms}, {"600", 600s}, {"0", 10s},      {"-3", 10s},
        {"ten", 10s}, {"inf", 10s},      {"nan", 10s},   {"601", 10s},  {"0.0001", 10s},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(
            SttEndpoint::fromSettings(QStringLiteral("http://127.0.0.1:1"), {}, QString::fromLatin1(text))
                .timeout,
            expected)
            << text;
}

TEST(SttEndpointTest, ReadsTheEnvironmentAndIsOffByDefault)
{
    qunsetenv("TALVEX_STT_URL");
    qunsetenv("TALVEX_STT_MODEL");
    qunsetenv("TALVEX_STT_TIMEOUT");
    const SttEndpoint unset = SttEndpoint::fromEnvironment();
    qputenv("TALVEX_STT_URL", "http://127.0.0.1:5000/v1");
    qputenv("TALVEX_STT_MODEL", "small.en");
    qputenv("TALVEX_STT_TIMEOUT", "4");
    const SttEndpoint set = SttEndpoint::fromEnvironment();
    qputenv("TALVEX_STT_URL", "http://10.1.2.3:5000/v1");
    const SttEndpoint remote = SttEndpoint::fromEnvironment();
    qunsetenv("TALVEX_STT_URL");
    qunsetenv("TALVEX_STT_MODEL");
    qunsetenv("TALVEX_STT_TIMEOUT");

    EXPECT_FALSE(unset.enabled());
    EXPECT_EQ(unset.timeout, 10s);
    EXPECT_EQ(set.transcriptionsUrl().toString(),
              QStringLiteral("http://127.0.0.1:5000/v1/audio/transcriptions"));
    EXPECT_EQ(set.model, QStringLiteral("small.en"));
    EXPECT_EQ(set.timeout, 4s);
    EXPECT_FALSE(remote.enabled());
}
