// talvex transcribe end to end with the real recogniser: files in, transcripts and problem lines out.
#include "SphinxSpeechService.h"
#include "TranscribeRun.h"
#include "WordErrorRate.h"
#include "speech/TalvexError.h"
#include "store/Library.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvex::test {
namespace {

const QString testData = QStringLiteral("/usr/share/pocketsphinx/test/data");

class TranscribeCommandTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { s_speech = new SphinxSpeechService; }
    static void TearDownTestSuite() { delete s_speech; }

    TranscribeOutcome transcribe(const QStringList &arguments) { return runTranscribe(arguments, *s_speech); }

    QString speak(const QString &name, const QString &text)
    {
        const QString path = m_dir.filePath(name);
        QProcess flite;
        flite.start("flite", {"-voice", "kal16", "-t", text, "-o", path});
        EXPECT_TRUE(flite.waitForFinished(60000) && flite.exitCode() == 0);
        return path;
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    static SphinxSpeechService *s_speech;
    QTemporaryDir m_dir;
};

SphinxSpeechService *TranscribeCommandTest::s_speech = nullptr;

TEST_F(TranscribeCommandTest, RecordingsGiveOneTranscriptEachWithPartialsOnRequest)
{
    const auto plain = transcribe({testData + "/cards/001.wav", testData + "/cards/003.wav"});
    EXPECT_EQ(plain.exitCode, TranscribeCommand::success);
    EXPECT_EQ(plain.out, (QStringList{testData + "/cards/001.wav: ten of clubs",
                                      testData + "/cards/003.wav: seven of clubs"}));

    const auto withPartials = transcribe({"--partials", testData + "/cards/001.wav"});
    ASSERT_GE(withPartials.out.size(), 2);
    EXPECT_TRUE(withPartials.out.first().startsWith("partial: "));
    EXPECT_EQ(withPartials.out.last(), "ten of clubs");
}

TEST_F(TranscribeCommandTest, VocabularyHintsReachTheRecogniser)
{
    const QString audio = speak("hint.wav", "Please open Talvex now.");
    const auto without = transcribe({audio});
    ASSERT_EQ(without.out.size(), 1);
    EXPECT_FALSE(without.out[0].contains("talvex")); // not a dictionary word

    const QString words = write("words.txt", "Talvex\n\n");
    const auto with = transcribe({"--vocabulary", words, audio});
    ASSERT_EQ(with.out.size(), 1);
    EXPECT_TRUE(with.out[0].contains("talvex")) << with.out[0].toStdString();
}

TEST_F(TranscribeCommandTest, LibraryAppliesItsVocabularyAndReplacements)
{
    const QString audio = speak("library.wav", "I will send the report to my manager and open Talvex.");
    Library library;
    library.preferences.vocabulary = QStringLiteral("Talvex");
    WordReplacement rule;
    rule.spoken = QStringLiteral("manager");
    rule.written = QStringLiteral("Boss");
    library.preferences.replacements = {rule};
    const QString path = m_dir.filePath("Library.json");
    ASSERT_TRUE(library.write(path));

    const auto outcome = transcribe({"--library", path, audio});
    EXPECT_EQ(outcome.exitCode, TranscribeCommand::success);
    ASSERT_EQ(outcome.out.size(), 1);
    EXPECT_TRUE(outcome.out[0].contains("my Boss")) << outcome.out[0].toStdString();
    EXPECT_TRUE(outcome.out[0].contains("talvex")) << outcome.out[0].toStdString();
    EXPECT_LE(wordErrorRate("i will send the report to my boss and open talvex", outcome.out[0]), 0.2);

    const auto broken = transcribe({"--library", write("Broken.json", "{"), audio});
    EXPECT_EQ(broken.exitCode, TranscribeCommand::unusable);
    EXPECT_EQ(broken.err.size(), 1);
    EXPECT_TRUE(broken.out.isEmpty());
}

TEST_F(TranscribeCommandTest, BadFilesGiveOneLineEachAndTheRestStillRuns)
{
    QByteArray silence("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x80\x3e\0\0\0\x7d\0\0\x02\0\x10\0data",
                       40);
    const QByteArray samples(16000 * 2, '\0'); // one second of silence
    silence.append(char(samples.size() & 0xFF))
        .append(char(samples.size() >> 8 & 0xFF))
        .append(2, '\0')
        .append(samples);
    QByteArray shortClip = silence.left(44);
    shortClip[40] = char(0x40); // 0x640 bytes: 0.05 s, less than a dictation's minimum
    shortClip[41] = char(0x06);
    shortClip.append(QByteArray(0x640, '\0'));

    QByteArray truncated;
    {
        QFile cards(testData + "/cards/001.wav");
        ASSERT_TRUE(cards.open(QIODevice::ReadOnly));
        truncated = cards.read(20000);
    }
    const auto outcome =
        transcribe({write("text.wav", "just some text\n"), write("empty.wav", {}),
                    write("cut.wav", truncated), testData + "/cards/002.wav", write("silence.wav", silence),
                    write("short.wav", shortClip), m_dir.filePath("missing.wav")});
    EXPECT_EQ(outcome.exitCode, TranscribeCommand::fileFailed);
    ASSERT_EQ(outcome.out.size(), 1);
    EXPECT_TRUE(outcome.out[0].endsWith("queen of clubs"))
        << outcome.out[0].toStdString(); // "four" is heard as "for"
    ASSERT_EQ(outcome.err.size(), 6);
    EXPECT_TRUE(outcome.err[0].endsWith("text.wav: is not a WAV audio file."));
    EXPECT_TRUE(outcome.err[1].endsWith("empty.wav: is empty."));
    EXPECT_TRUE(outcome.err[2].contains("cut.wav: is truncated"));
    EXPECT_TRUE(outcome.err[3].endsWith("silence.wav: " + errorDescription(TalvexError::noSpeech)));
    EXPECT_TRUE(outcome.err[4].endsWith("short.wav: " + errorDescription(TalvexError::emptyAudio)));
    EXPECT_TRUE(outcome.err[5].contains("missing.wav: cannot be read"));
}

} // namespace
} // namespace talvex::test
