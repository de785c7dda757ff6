#include "TranscribeCommand.h"

#include "AwaitTask.h"
#include "SpeechServiceDouble.h"
#include "speech/TalvexError.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace talvex;

namespace {

QString problemOf(const QStringList &arguments)
{
    auto parsed = TranscribeCommand::parse(arguments);
    const auto *problem = std::get_if<QString>(&parsed);
    return problem ? *problem : QString();
}

// A 16 kHz mono WAV file of `seconds` of silence (the recogniser double decides what was said).
QString silentWav(const QTemporaryDir &dir, const QString &name, double seconds)
{
    const auto frames = std::uint32_t(seconds * 16000);
    QByteArray bytes("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x80\x3e\0\0\0\x7d\0\0\x02\0\x10\0data", 40);
    for (int i = 0; i < 4; ++i)
        bytes.append(char(((frames * 2) >> (8 * i)) & 0xFF));
    bytes.append(QByteArray(int(frames * 2), '\0'));
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

struct Outcome {
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

// Runs the command over `arguments` with a recogniser that hears `heard[i]` in the i-th recording it
// finishes (a volatile guess, then the final text).
Outcome transcribe(const QStringList &arguments, const QStringList &heard)
{
    talvex::test::SpeechServiceDouble speech;
    int recordings = 0;
    speech.configureAnalyzer = [&](talvex::test::AnalyzerDouble &analyzer) {
        const QString text = heard.value(recordings++);
        analyzer.resultsAtFinalize = {{text.section(' ', 0, 0), false}, {text, true}};
    };
    auto parsed = TranscribeCommand::parse(arguments);
    EXPECT_TRUE(std::holds_alternative<TranscribeCommand::Options>(parsed))
        << arguments.join(' ').toStdString();
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    Outcome outcome;
    outcome.exitCode = talvex::test::awaitTask(
        TranscribeCommand::run(std::get<TranscribeCommand::Options>(parsed), speech, nullptr, out, err));
    outcome.out = outText.split('\n', Qt::SkipEmptyParts);
    outcome.err = errText.split('\n', Qt::SkipEmptyParts);
    return outcome;
}

} // namespace

TEST(TranscribeCommandTest, ParsesOptionsAndFiles)
{
    auto parsed =
        TranscribeCommand::parse({"--partials", "a.wav", "--locale", "en_GB", "--vocabulary", "words.txt",
                                  "--library", "Library.json", "--realtime", "--json", "--", "--odd.wav"});
    ASSERT_TRUE(std::holds_alternative<TranscribeCommand::Options>(parsed));
    const auto &options = std::get<TranscribeCommand::Options>(parsed);
    EXPECT_EQ(options.files, (QStringList{"a.wav", "--odd.wav"}));
    EXPECT_TRUE(options.partials);
    EXPECT_TRUE(options.realTime);
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.locale, "en_GB");
    EXPECT_EQ(options.vocabularyFile, "words.txt");
    EXPECT_EQ(options.libraryFile, "Library.json");

    const auto defaults = std::get<TranscribeCommand::Options>(TranscribeCommand::parse({"b.wav"}));
    EXPECT_EQ(defaults.locale, "en-US");
    EXPECT_FALSE(defaults.partials);
    EXPECT_FALSE(defaults.json);

    EXPECT_EQ(problemOf({}), "Name at least one audio file.");
    EXPECT_EQ(problemOf({"--locale"}), "--locale needs a value.");
    EXPECT_EQ(problemOf({"--fast", "a.wav"}), "Unknown option --fast.");
}

// Text output as grep has it: the bare transcript for one file, "FILE: " before each line (partials
// too) for several; problems on the error stream, named, and the rest still runs.
TEST(TranscribeCommandTest, NamesEachFileWhenThereAreSeveral)
{
    QTemporaryDir dir;
    const QString a = silentWav(dir, "a.wav", 1.0);
    const QString b = silentWav(dir, "b.wav", 0.5);
    const QString missing = dir.filePath("missing.wav");
    const QString noSpeech = errorDescription(TalvexError::noSpeech);

    struct Case {
        QStringList arguments;
        QStringList heard;
        int exitCode;
        QStringList out;
        QStringList errEndings;
    };
    const std::vector<Case> cases{
        {{a}, {"ten of clubs"}, TranscribeCommand::success, {"ten of clubs"}, {}},
        {{a, b},
         {"ten of clubs", "seven of hearts"},
         TranscribeCommand::success,
         {a + ": ten of clubs", b + ": seven of hearts"},
         {}},
        {{a, missing, b},
         {"ten of clubs", ""},
         TranscribeCommand::fileFailed,
         {a + ": ten of clubs"},
         {"missing.wav: cannot be read: No such file or directory.", "b.wav: " + noSpeech}},
        {{"--partials", a, b},
         {"ten of clubs", "five"},
         TranscribeCommand::success,
         {a + ": partial: ten", a + ": partial: ten of clubs", a + ": ten of clubs", b + ": partial: five",
          b + ": partial: five", b + ": five"},
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const auto outcome = transcribe(c.arguments, c.heard);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(outcome.out, c.out);
        ASSERT_EQ(outcome.err.size(), c.errEndings.size()) << outcome.err.join('\n').toStdString();
        for (qsizetype i = 0; i < c.errEndings.size(); ++i)
            EXPECT_TRUE(outcome.err[i].endsWith(c.errEndings[i])) << outcome.err[i].toStdString();
    }
}

// For scripts: exactly one JSON object per file, in order, with its text or the reason there is none,
// and nothing on the error stream.
TEST(TranscribeCommandTest, JsonGivesOneObjectPerFile)
{
    QTemporaryDir dir;
    const QString a = silentWav(dir, "a.wav", 1.0);
    const QString b = silentWav(dir, "b.wav", 0.5);
    const QString missing = dir.filePath("missing.wav");

    const auto outcome = transcribe({"--json", "--partials", a, missing, b}, {"ten of clubs", ""});
    EXPECT_EQ(outcome.exitCode, TranscribeCommand::fileFailed);
    EXPECT_TRUE(outcome.err.isEmpty()) << outcome.err.join('\n').toStdString();
    ASSERT_EQ(outcome.out.size(), 3);
    std::vector<QJsonObject> objects;
    for (const QString &line : outcome.out) {
        const auto document = QJsonDocument::fromJson(line.toUtf8());
        ASSERT_TRUE(document.isObject()) << line.toStdString();
        objects.push_back(document.object());
    }

    EXPECT_EQ(objects[0]["file"].toString(), a);
    EXPECT_EQ(objects[0]["text"].toString(), "ten of clubs");
    EXPECT_FALSE(objects[0].contains("error"));
    EXPECT_DOUBLE_EQ(objects[0]["duration"].toDouble(), 1.0);
    EXPECT_EQ(objects[0]["partials"].toVariant().toStringList(), (QStringList{"ten", "ten of clubs"}));
    const QJsonObject timings = objects[0]["timings"].toObject();
    for (const char *key : {"recognition", "finish"}) {
        ASSERT_TRUE(timings[key].isDouble()) << key;
        EXPECT_GE(timings[key].toDouble(), 0.0) << key;
    }
    EXPECT_GE(timings["recognition"].toDouble(), timings["finish"].toDouble());

    EXPECT_EQ(objects[1]["file"].toString(), missing);
    EXPECT_EQ(objects[1]["error"].toString(), "cannot be read: No such file or directory.");
    EXPECT_FALSE(objects[1].contains("text"));

    EXPECT_EQ(objects[2]["file"].toString(), b);
    EXPECT_EQ(objects[2]["error"].toString(), errorDescription(TalvexError::noSpeech));
    EXPECT_DOUBLE_EQ(objects[2]["duration"].toDouble(), 0.5);
}
