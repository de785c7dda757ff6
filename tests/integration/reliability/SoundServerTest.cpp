// The PulseAudio engine tells the three reasons for having no microphone apart, against real servers
// that the test starts and stops: none running, one with nothing to record from, one with a source.
// One engine lives through all of them, as in a Talvex that keeps running while the user starts the
// sound server, so each answer also shows that it recovers without a restart.
#include "AwaitTask.h"
#include "PulseAudioEngine.h"
#include "speech/LiveDictation.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include <csignal>
#include <sys/prctl.h>

using namespace talvex;

namespace {

// A PulseAudio daemon with only the given startup script, listening on `socket`.
class SoundServer {
  public:
    SoundServer(const QTemporaryDir &home, const QString &socket, const QString &modules)
    {
        const QString script = home.filePath(QStringLiteral("server.pa"));
        QFile file(script);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(
                QStringLiteral("%2\nload-module module-native-protocol-unix auth-anonymous=1 socket=%1\n")
                    .arg(socket, modules)
                    .toUtf8());
        file.close();
        // The daemon must not outlive a test that crashes or is killed, nor hold its output open.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(home.filePath(QStringLiteral("server.log")), QIODevice::Append);
        m_process.start(QStringLiteral("pulseaudio"),
                        {QStringLiteral("-n"), QStringLiteral("-F"), script, QStringLiteral("--daemonize=no"),
                         QStringLiteral("--system=no"), QStringLiteral("--use-pid-file=no"),
                         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--realtime=no"),
                         QStringLiteral("--high-priority=no"), QStringLiteral("--log-level=error")});
        // Ready once the protocol module, loaded last, has made its socket: the sources exist by then.
        m_ready = m_process.waitForStarted() && QTest::qWaitFor([&] { return QFile::exists(socket); }, 20000);
    }
    ~SoundServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool ready() const { return m_ready; }

  private:
    QProcess m_process;
    bool m_ready = false;
};

} // namespace

TEST(SoundServerTest, NoServerNoSourceAndAWorkingServerAreToldApartByOneLivingEngine)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socket = runtime + QStringLiteral("/native");
    const QString clientConfig = home.filePath(QStringLiteral("client.conf"));
    {
        QFile config(clientConfig);
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("autospawn = no\n");
    }
    // Nothing of the machine's own sound server, if one runs, may answer here.
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qputenv("PULSE_RUNTIME_PATH", runtime.toUtf8());
    qputenv("PULSE_STATE_PATH", home.filePath(QStringLiteral("state")).toUtf8());
    qputenv("PULSE_CLIENTCONFIG", clientConfig.toUtf8());
    qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
    qunsetenv("PULSE_SOURCE");

    const QString withSource = QStringLiteral("load-module module-null-sink sink_name=talvex_test rate=48000 "
                                              "channels=2\nset-default-source talvex_test.monitor");
    const struct {
        const char *what;
        std::optional<QString> modules; ///< absent: no server runs
        MicrophoneProblem problem;
        MicrophoneAuthorization status;
    } states[] = {
        {"no sound server", std::nullopt, MicrophoneProblem::noSoundServer,
         MicrophoneAuthorization::restricted},
        {"a server with nothing to record from", QString(), MicrophoneProblem::noCaptureSource,
         MicrophoneAuthorization::restricted},
        {"a server with a source", withSource, MicrophoneProblem::none, MicrophoneAuthorization::authorized},
        {"the server gone again", std::nullopt, MicrophoneProblem::noSoundServer,
         MicrophoneAuthorization::restricted},
        {"the server back", withSource, MicrophoneProblem::none, MicrophoneAuthorization::authorized},
    };
    PulseAudioEngine engine;
    for (const auto &state : states) {
        SCOPED_TRACE(state.what);
        std::unique_ptr<SoundServer> server;
        if (state.modules) {
            server = std::make_unique<SoundServer>(home, socket, *state.modules);
            ASSERT_TRUE(server->ready());
        }
        EXPECT_EQ(engine.microphoneProblem(), state.problem);
        EXPECT_EQ(engine.authorizationStatus(), state.status);
        EXPECT_EQ(talvex::test::awaitTask(LiveDictation::requestMicrophone(engine)),
                  state.problem == MicrophoneProblem::none);
        const AudioFormat format = talvex::test::awaitTask(engine.inputFormat());
        EXPECT_EQ(format.sampleRate > 0, state.problem == MicrophoneProblem::none);
    }
}
