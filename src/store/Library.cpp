#include "Library.h"

#include "JsonRead.h"
#include "JsonWriter.h"
#include "platform/Logging.h"
#include "speech/TalvexError.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvex {

namespace {

QString notALibrary(const QString &detail)
{
    return QStringLiteral("The file isn\u2019t a Talvex library (%1).").arg(detail);
}

} // namespace

QByteArray Library::encode() const
{
    QJsonArray transcripts;
    for (const Transcript &transcript : history)
        transcripts.append(transcript.toJson());
    const QJsonObject document{
        {QStringLiteral("history"), transcripts},
        {QStringLiteral("preferences"), preferences.toJson()},
        {QStringLiteral("version"), version},
    };
    return JsonWriter::write(document);
}

std::optional<Library> Library::decode(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        JsonRead::fail(error, notALibrary(QStringLiteral("%1 at byte %2").arg(parseError.errorString()).arg(parseError.offset)));
        return std::nullopt;
    }
    if (!document.isObject()) {
        JsonRead::fail(error, notALibrary(QStringLiteral("the document is not an object")));
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    QString detail;
    const auto failed = [&]() -> std::optional<Library> {
        JsonRead::fail(error, notALibrary(detail));
        return std::nullopt;
    };

    auto transcripts = JsonRead::array(object, QLatin1StringView("history"), &detail);
    if (!transcripts)
        return failed();
    auto preferencesObject = JsonRead::object(object, QLatin1StringView("preferences"), &detail);
    if (!preferencesObject)
        return failed();
    auto versionNumber = JsonRead::number(object, QLatin1StringView("version"), &detail);
    if (!versionNumber)
        return failed();
    if (*versionNumber != std::trunc(*versionNumber) || *versionNumber < std::numeric_limits<int>::min() ||
        *versionNumber > std::numeric_limits<int>::max()) {
        detail = QStringLiteral("\u201Cversion\u201D is not a whole number");
        return failed();
    }

    Library library;
    library.version = static_cast<int>(*versionNumber);
    auto preferences = Preferences::fromJson(*preferencesObject, &detail);
    if (!preferences) {
        JsonRead::nest(&detail, QStringLiteral("preferences"));
        return failed();
    }
    library.preferences = std::move(*preferences);
    library.history.reserve(transcripts->size());
    for (qsizetype i = 0; i < transcripts->size(); ++i) {
        auto transcript = Transcript::fromJson(transcripts->at(i), &detail);
        if (!transcript) {
            JsonRead::nest(&detail, QStringLiteral("history[%1]").arg(i));
            return failed();
        }
        library.history.append(std::move(*transcript));
    }
    return library;
}

std::optional<Library> Library::read(const QByteArray &json, QString *error)
{
    auto library = decode(json, error);
    if (library && library->version != currentVersion) {
        JsonRead::fail(error, errorDescription(TalvexError::backupVersion));
        return std::nullopt;
    }
    if (!library) {
        // A document from another version may not decode as this one; naming the version is more
        // useful to the user than naming the first member that does not fit.
        const QJsonValue version = QJsonDocument::fromJson(json).object().value(QLatin1StringView("version"));
        if (version.isDouble() && version.toDouble() != currentVersion)
            JsonRead::fail(error, errorDescription(TalvexError::backupVersion));
    }
    return library;
}

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// The prefix of the temporary file a save writes before renaming it over the library. A name of its
// own, so that the next start can remove one left by a kill without ever touching a file of the
// user's (QSaveFile's "<file>.XXXXXX" would match a "Library.json.backup").
QString temporaryPrefix(const QString &fileName)
{
    return fileName + QStringLiteral(".saving-");
}

// Makes a rename in `folder` survive a power cut as well as a crash.
void syncFolder(const QString &folder)
{
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

} // namespace

bool Library::write(const QString &path, QString *error) const
{
    const QByteArray bytes = encode();
    // A link is followed, as an editor would: the file it points to is replaced, the link stays.
    const QFileInfo link(path);
    const QFileInfo target(link.isSymLink() ? link.symLinkTarget() : link.absoluteFilePath());
    const QString pattern = temporaryPrefix(target.fileName()) + QStringLiteral("XXXXXX");
    QTemporaryFile file(target.absoluteDir().filePath(pattern));
    // Created next to the destination, so the rename is atomic; removed on every failure below, and
    // the destination is never touched until the rename.
    if (!file.open())
        return JsonRead::fail(error, file.errorString());
    // Transcripts are private: owner read/write only, whatever the umask or the old file's mode.
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0)
        return JsonRead::fail(error, systemError(errno));
    if (file.write(bytes) != bytes.size() || !file.flush())
        return JsonRead::fail(error, file.errorString());
    if (::fdatasync(file.handle()) != 0)
        return JsonRead::fail(error, systemError(errno));
    const QByteArray from = QFile::encodeName(file.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (::rename(from.constData(), to.constData()) != 0)
        return JsonRead::fail(error, systemError(errno));
    file.setAutoRemove(false); // it is the library now
    syncFolder(target.absolutePath());
    qCDebug(lcStore) << "Library written:" << history.size() << "transcripts";
    return true;
}

int Library::removeInterruptedWrites(const QString &path)
{
    const QFileInfo target(path);
    const QString prefix = temporaryPrefix(target.fileName());
    QDir folder = target.absoluteDir();
    int removed = 0;
    const QStringList candidates =
        folder.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : candidates) {
        if (folder.remove(name))
            ++removed;
    }
    if (removed > 0)
        qCInfo(lcStore) << "Removed" << removed << "temporary files of an interrupted library save";
    return removed;
}

void Library::restore(const Library &backup)
{
    preferences = backup.preferences;
    QSet<QUuid> ids;
    ids.reserve(history.size() + backup.history.size());
    for (const Transcript &transcript : history)
        ids.insert(transcript.id);
    for (const Transcript &transcript : backup.history) {
        if (ids.contains(transcript.id))
            continue;
        ids.insert(transcript.id);
        history.append(transcript);
    }
    std::stable_sort(history.begin(), history.end(),
                     [](const Transcript &a, const Transcript &b) { return a.date > b.date; });
}

bool Library::addTranscript(const Transcript &transcript)
{
    if (!preferences.retainHistory)
        return false;
    history.prepend(transcript);
    return true;
}

} // namespace talvex
