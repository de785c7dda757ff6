#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

class QWidget;

namespace talvex::render {

/// Where the scenes put their pictures: one PNG per state, named after the state.
class RenderSink final {
  public:
    /// `filter` empty renders everything; otherwise only states whose name contains it.
    RenderSink(QDir folder, QString filter);

    /// Whether a state of that name is wanted (skip building it otherwise).
    bool wants(const QString &name) const;

    /// Lays `widget` out at its current size, grabs it and writes `<name>.png`. Returns false and
    /// reports on stderr when the file cannot be written.
    bool save(const QString &name, QWidget &widget);

    const QStringList &written() const { return m_written; }
    int failures() const { return m_failures; }

  private:
    QDir m_folder;
    QString m_filter;
    QStringList m_written;
    int m_failures = 0;
};

} // namespace talvex::render
