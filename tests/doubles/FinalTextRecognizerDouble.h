#pragma once

#include "FinalTextRecognizer.h"

#include <QPointer>
#include <utility>
#include <vector>

namespace talvex::test {

/// A recogniser name the test sets; watchers are told of every change.
class FinalTextRecognizerDouble final : public FinalTextRecognizer {
  public:
    QString finalTextRecognizer() const override { return m_name; }
    void watchFinalTextRecognizer(QObject *context, std::function<void()> changed) override
    {
        m_watchers.emplace_back(context, std::move(changed));
    }

    void rename(QString name)
    {
        m_name = std::move(name);
        for (const auto &[context, changed] : m_watchers)
            if (context)
                changed();
    }

  private:
    QString m_name = QStringLiteral("PocketSphinx");
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_watchers;
};

} // namespace talvex::test
