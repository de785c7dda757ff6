#pragma once

#include <QString>
#include <QStringList>

namespace talvex::update {

/// The arguments this process was started with (argv, the program first), exactly as given.
QStringList processArguments();

/// Replaces this process's image with `executable`, given `arguments` (argv, the program first).
/// The process keeps its ID, standard streams and environment, and the clipboard it owns; every
/// other descriptor (the X connection with its key grabs, the session bus and its name, audio
/// streams) closes, so the new image takes them over. Returns only when the replacement failed,
/// with the reason. Needs a QGuiApplication.
QString relaunchInPlace(const QString &executable, const QStringList &arguments);

} // namespace talvex::update
