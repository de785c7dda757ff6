#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace talvex {

/// Says in one sentence why Talvex ends when its X connection breaks. Qt's X11 plugin ends the
/// process itself (exit status 1) with a warning meant for developers; while an instance lives,
/// that warning is replaced by a sentence for the user. Every other message passes on unchanged.
/// One instance at a time; the previous message handler comes back when it goes.
class DisplayLossNotice final {
  public:
    DisplayLossNotice();
    ~DisplayLossNotice();
    DisplayLossNotice(const DisplayLossNotice &) = delete;
    DisplayLossNotice &operator=(const DisplayLossNotice &) = delete;

    /// The user's sentence for a message that announces the lost connection; absent for any other.
    static std::optional<QString> sentenceFor(QtMsgType type, const QString &message);

  private:
    QtMessageHandler m_previous = nullptr;
};

} // namespace talvex
