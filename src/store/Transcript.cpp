#include "Transcript.h"

#include "JsonRead.h"

#include <chrono>
#include <cmath>

namespace talvex {

namespace {

// 2001-01-01T00:00:00Z in Unix seconds.
constexpr double referenceEpoch = 978307200.0;
// 0001-01-01 and 10000-01-01 relative to 2001-01-01 (proleptic Gregorian).
constexpr double earliestDate = -63113904000.0;
constexpr double latestDate = 252423993600.0;

} // namespace

Transcript Transcript::make(QString original, QString text, QString source, WritingMode mode)
{
    Transcript transcript;
    transcript.date = referenceNow();
    transcript.original = std::move(original);
    transcript.text = std::move(text);
    transcript.source = std::move(source);
    transcript.mode = mode;
    return transcript;
}

double Transcript::referenceNow()
{
    const auto sinceUnix = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return static_cast<double>(sinceUnix.count()) / 1e6 - referenceEpoch;
}

QDateTime Transcript::dateTime() const
{
    return QDateTime::fromMSecsSinceEpoch(std::llround((date + referenceEpoch) * 1000.0), Qt::UTC);
}

bool Transcript::isPlausibleDate(double seconds)
{
    return std::isfinite(seconds) && seconds >= earliestDate && seconds < latestDate;
}

QJsonObject Transcript::toJson() const
{
    return QJsonObject{
        {QStringLiteral("date"), date},
        {QStringLiteral("id"), JsonRead::uuidString(id)},
        {QStringLiteral("mode"), writingModeString(mode)},
        {QStringLiteral("original"), original},
        {QStringLiteral("source"), source},
        {QStringLiteral("text"), text},
    };
}

std::optional<Transcript> Transcript::fromJson(const QJsonValue &value, QString *error)
{
    if (!value.isObject()) {
        JsonRead::fail(error, QStringLiteral("a transcript is not an object"));
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    const auto key = [](const char *name) { return QLatin1StringView(name); };
    Transcript transcript;

    auto id = JsonRead::uuid(object, key("id"), error);
    if (!id)
        return std::nullopt;
    auto date = JsonRead::number(object, key("date"), error);
    if (!date)
        return std::nullopt;
    if (!isPlausibleDate(*date)) {
        JsonRead::fail(error, QStringLiteral("\u201Cdate\u201D is out of range"));
        return std::nullopt;
    }
    auto original = JsonRead::string(object, key("original"), error);
    if (!original)
        return std::nullopt;
    auto text = JsonRead::string(object, key("text"), error);
    if (!text)
        return std::nullopt;
    auto source = JsonRead::string(object, key("source"), error);
    if (!source)
        return std::nullopt;
    auto modeString = JsonRead::string(object, key("mode"), error);
    if (!modeString)
        return std::nullopt;
    auto mode = writingModeFromString(*modeString);
    if (!mode) {
        JsonRead::fail(error, QStringLiteral("\u201Cmode\u201D is not a writing mode"));
        return std::nullopt;
    }

    transcript.id = *id;
    transcript.date = *date;
    transcript.original = std::move(*original);
    transcript.text = std::move(*text);
    transcript.source = std::move(*source);
    transcript.mode = *mode;
    return transcript;
}

} // namespace talvex
