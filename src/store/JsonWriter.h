#pragma once

#include <QByteArray>
#include <QJsonValue>

namespace talvex::JsonWriter {

/// Human-readable UTF-8 JSON (two-space indent, " : " between name and value) with the members of
/// every object sorted by name and every number written so that it reads back as the same double.
/// Unpaired surrogates are written as \u escapes, so the output is always valid UTF-8 and reads back
/// unchanged.
QByteArray write(const QJsonValue &value);

} // namespace talvex::JsonWriter
