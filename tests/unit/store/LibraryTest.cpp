#include "store/Library.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace talvex;

namespace {

// A document written by another JSON writer: two-space indent, " : ", a lower-case id.
const char *storedDocument = R"({
  "history" : [
    {
      "date" : 786868391.25417805,
      "id" : "6f9619ff-8b86-d011-b42d-00c04fc964ff",
      "mode" : "Clean up",
      "original" : "um I can meet at noon",
      "source" : "Mail",
      "text" : "I can meet at noon."
    }
  ],
  "preferences" : {
    "appModes" : { "com.apple.mail" : "Email" },
    "locale" : "en-US",
    "mode" : "Verbatim",
    "replacements" : [ { "id" : "A1B2C3D4-0000-4000-8000-000000000001", "spoken" : "open ai", "written" : "OpenAI" } ],
    "retainHistory" : true,
    "shortcutKey" : { "code" : 49, "keyLabel" : "Space", "modifiers" : 4608 },
    "vocabulary" : "Ada\nGrace Hopper"
  },
  "version" : 1
}
)";

QJsonObject storedObject()
{
    return QJsonDocument::fromJson(storedDocument).object();
}

QByteArray bytesOf(const QJsonObject &object)
{
    return QJsonDocument(object).toJson();
}

Transcript transcript(const char *id, double date, const char *text = "text")
{
    Transcript t;
    t.id = QUuid::fromString(QLatin1StringView(id));
    t.date = date;
    t.original = QString::fromUtf8(text);
    t.text = QString::fromUtf8(text);
    t.source = QStringLiteral("Dictation");
    return t;
}

QStringList texts(const Library &library)
{
    QStringList result;
    for (const Transcript &t : library.history)
        result << t.text;
    return result;
}

QString decodeError(const QByteArray &bytes)
{
    QString error;
    EXPECT_FALSE(Library::decode(bytes, &error)) << bytes.left(200).constData();
    return error;
}

} // namespace

TEST(LibraryTest, ReadsDocumentsFromOtherWriters)
{
    QString error;
    auto library = Library::read(storedDocument, &error);
    ASSERT_TRUE(library) << qPrintable(error);
    ASSERT_EQ(library->history.size(), 1);
    const Transcript &entry = library->history[0];
    EXPECT_EQ(entry.id, QUuid::fromString(QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF")));
    EXPECT_EQ(entry.date, 786868391.25417805);
    EXPECT_EQ(entry.mode, WritingMode::clean);
    EXPECT_EQ(entry.source, QStringLiteral("Mail"));
    EXPECT_EQ(entry.dateTime(), QDateTime(QDate(2025, 12, 8), QTime(6, 33, 11, 254), Qt::UTC));
    EXPECT_EQ(library->preferences.shortcutKey, Shortcut::defaultShortcut());
    EXPECT_EQ(library->preferences.appModes.value(QStringLiteral("com.apple.mail")), WritingMode::email);

    QByteArray legacy = storedDocument;
    legacy.replace(R"({ "code" : 49, "keyLabel" : "Space", "modifiers" : 4608 })", "\"\u2303\u2325D\"");
    auto legacyLibrary = Library::read(legacy, &error);
    ASSERT_TRUE(legacyLibrary) << qPrintable(error);
    EXPECT_EQ(legacyLibrary->preferences.shortcutKey.displayText(), QStringLiteral("Ctrl+Alt+D"));
}

TEST(LibraryTest, WritesSortedMembersUpperCaseIdsAndExactDates)
{
    const QByteArray empty = Library{}.encode();
    EXPECT_FALSE(empty.startsWith("\xEF\xBB\xBF"));
    const qsizetype history = empty.indexOf("\"history\""), preferences = empty.indexOf("\"preferences\""),
                    version = empty.indexOf("\"version\"");
    EXPECT_TRUE(history >= 0 && history < preferences && preferences < version) << empty.constData();
    EXPECT_TRUE(empty.contains("\"history\" : []"));
    EXPECT_TRUE(empty.contains("\"version\" : 1\n"));

    const QByteArray written = Library::decode(storedDocument)->encode();
    EXPECT_TRUE(written.contains("\"id\" : \"6F9619FF-8B86-D011-B42D-00C04FC964FF\""));
    EXPECT_TRUE(written.contains("\"date\" : 786868391.254178"));
    const QList<QByteArray> order = {"\"date\"", "\"id\"", "\"mode\"", "\"original\"", "\"source\"", "\"text\"",
                                     "\"appModes\"", "\"locale\"", "\"mode\"", "\"replacements\"", "\"retainHistory\"",
                                     "\"shortcutKey\"", "\"vocabulary\"", "\"version\""};
    qsizetype at = 0;
    for (const QByteArray &name : order) {
        const qsizetype next = written.indexOf(name, at);
        EXPECT_GT(next, at) << name.constData();
        at = next;
    }

    // Dates keep every bit of a double; text keeps every character.
    Library library;
    for (double date : {786868391.25417805, 0.1, -978307200.000001, 1e-7, 123456789.123456789, 252423993599.99997}) {
        library.history.append(transcript("00000000-0000-4000-8000-000000000000", date));
    }
    // Escapes, controls, separators, emoji and an unpaired surrogate (typed text may hold one).
    library.history[0].text = QStringLiteral("\"quoted\"\\ \t\n\u0001 \u2028 \U0001F600 ") + QChar(0xD800) +
                              QStringLiteral(" lone");
    auto back = Library::decode(library.encode());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, library);
}

TEST(LibraryTest, DecodingIsStrict)
{
    for (const QString &key : {QStringLiteral("history"), QStringLiteral("preferences"), QStringLiteral("version")}) {
        QJsonObject missing = storedObject();
        missing.remove(key);
        EXPECT_TRUE(decodeError(bytesOf(missing)).startsWith(QStringLiteral("The file isn\u2019t a Talvex library")));
        QJsonObject null = storedObject();
        null[key] = QJsonValue::Null;
        decodeError(bytesOf(null));
    }
    const QJsonObject entry = storedObject()[QStringLiteral("history")][0].toObject();
    for (const QString &key : entry.keys()) {
        QJsonObject document = storedObject();
        QJsonObject broken = entry;
        broken.remove(key);
        document[QStringLiteral("history")] = QJsonArray{entry, broken};
        EXPECT_TRUE(decodeError(bytesOf(document)).contains(QStringLiteral("history[1]"))) << qPrintable(key);
        broken = entry;
        broken[key] = key == QStringLiteral("date") ? QJsonValue(QStringLiteral("786868391")) : QJsonValue(1);
        document[QStringLiteral("history")] = QJsonArray{broken};
        decodeError(bytesOf(document));
    }

    QJsonObject extra = storedObject();
    extra[QStringLiteral("cloudSync")] = QJsonObject{{"enabled", true}};
    EXPECT_TRUE(Library::decode(bytesOf(extra)));

    const auto withEntry = [&](const char *key, const QJsonValue &value) {
        QJsonObject document = storedObject();
        QJsonObject changed = entry;
        changed[QLatin1StringView(key)] = value;
        document[QStringLiteral("history")] = QJsonArray{changed};
        return bytesOf(document);
    };
    decodeError(withEntry("mode", QStringLiteral("clean")));
    decodeError(withEntry("id", QStringLiteral("6f9619ff8b86d011b42d00c04fc964ff")));
    decodeError(withEntry("date", 1e300));
    decodeError(withEntry("date", -1e12));
    EXPECT_TRUE(Library::decode(withEntry("id", QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF"))));

    QJsonObject fractional = storedObject();
    fractional[QStringLiteral("version")] = 1.5;
    decodeError(bytesOf(fractional));
}

TEST(LibraryTest, BadBytesFailWithAMessage)
{
    EXPECT_FALSE(decodeError("{}").isEmpty());
    decodeError("");
    decodeError("[]");
    decodeError("null");
    decodeError(QByteArray(storedDocument).left(300));
    QByteArray badUtf8 = storedDocument;
    badUtf8.replace("Mail", "M\xC3\x28il");
    decodeError(badUtf8);
    decodeError(QByteArray(storedDocument).replace("786868391.25417805", "1e400"));
    decodeError(QByteArray(storedDocument).replace("786868391.25417805", "NaN"));
    decodeError("{\"history\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}");
    decodeError(QByteArray(storedDocument) + "{}");

    // Wrong version: decodes, but reading rejects it with the version sentence.
    const QByteArray version2 = QByteArray(storedDocument).replace("\"version\" : 1", "\"version\" : 2");
    ASSERT_TRUE(Library::decode(version2));
    QString error;
    EXPECT_FALSE(Library::read(version2, &error));
    EXPECT_EQ(error, QStringLiteral("This backup was created by a different version of Talvex."));

    // A newer document that no longer fits this format still names the version as the reason.
    QJsonObject newer = storedObject();
    newer[QStringLiteral("version")] = 3;
    newer.remove(QStringLiteral("history"));
    EXPECT_FALSE(Library::read(bytesOf(newer), &error));
    EXPECT_EQ(error, QStringLiteral("This backup was created by a different version of Talvex."));
    newer[QStringLiteral("version")] = 1;
    EXPECT_FALSE(Library::read(bytesOf(newer), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("\u201Chistory\u201D is missing"))) << qPrintable(error);
}

TEST(LibraryTest, RestoreMergesNewTranscriptsNewestFirst)
{
    Library current;
    current.history = {transcript("00000000-0000-4000-8000-000000000005", 50, "current five"),
                       transcript("00000000-0000-4000-8000-000000000003", 30, "current three"),
                       transcript("00000000-0000-4000-8000-000000000001", 10, "current one")};
    Library backup;
    backup.preferences.locale = QStringLiteral("de-DE");
    backup.preferences.retainHistory = false;
    // Oldest first, two shared ids, a repeated new id, and a date equal to a current entry.
    backup.history = {transcript("00000000-0000-4000-8000-000000000001", 10, "backup one"),
                      transcript("00000000-0000-4000-8000-000000000002", 20, "backup two"),
                      transcript("00000000-0000-4000-8000-000000000009", 30, "backup equal"),
                      transcript("00000000-0000-4000-8000-000000000005", 50, "backup five"),
                      transcript("00000000-0000-4000-8000-000000000006", 60, "backup six"),
                      transcript("00000000-0000-4000-8000-000000000002", 99, "backup two again")};

    current.restore(backup);
    EXPECT_EQ(current.preferences, backup.preferences);
    EXPECT_EQ(current.version, 1);
    EXPECT_EQ(texts(current), (QStringList{"backup six", "current five", "current three", "backup equal",
                                           "backup two", "current one"}));

    const Library once = current;
    current.preferences.locale = QStringLiteral("fr-FR");
    current.restore(backup);
    EXPECT_EQ(current, once);
}

TEST(LibraryTest, AddsTranscriptsOnlyWhenHistoryIsKept)
{
    Library library;
    library.history = {transcript("00000000-0000-4000-8000-000000000001", 10, "old")};
    EXPECT_TRUE(library.addTranscript(Transcript::make("a", "b", "Mail", WritingMode::notes)));
    EXPECT_EQ(texts(library), (QStringList{"b", "old"}));
    EXPECT_GT(library.history[0].date, 786868391.0);
    library.preferences.retainHistory = false;
    EXPECT_FALSE(library.addTranscript(Transcript::make("c", "d", "Mail", WritingMode::notes)));
    EXPECT_EQ(library.history.size(), 2);
}

TEST(LibraryTest, WriteReplacesAtomicallyAndPrivately)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("Library.json"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    }
    Library library = *Library::decode(storedDocument);
    QString error;
    ASSERT_TRUE(library.write(path, &error)) << qPrintable(error);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), library.encode());
    struct stat info {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Library.json"});
    file.seek(0);
    EXPECT_EQ(Library::read(file.readAll()), library);

    // A folder that does not exist: an error, and nothing is created.
    EXPECT_FALSE(library.write(folder.filePath(QStringLiteral("missing/Library.json")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QDir(folder.filePath(QStringLiteral("missing"))).exists());
}
