#pragma once

#include "platform/CaptureSourceWatch.h"

#include <QObject>
#include <memory>

namespace talvex {

/// Follows the PulseAudio (or PipeWire pulse) server's default source through the server's change
/// events, on a libpulse thread of its own that runs only while watching. A server that is missing
/// or goes away is asked again every two seconds, so one started later is found.
class PulseSourceWatch final : public CaptureSourceWatch {
  public:
    PulseSourceWatch();
    ~PulseSourceWatch() override;
    PulseSourceWatch(const PulseSourceWatch &) = delete;
    PulseSourceWatch &operator=(const PulseSourceWatch &) = delete;

    void watch(Changed changed) override;
    void stop() override;

    struct Session; // the libpulse side, touched on its own thread under the loop lock

  private:
    void deliver(const CaptureSource &source, unsigned generation);

    Changed m_changed;
    unsigned m_generation = 0;
    /// Answers from the libpulse thread are queued to this object, on the main thread.
    std::unique_ptr<QObject> m_receiver;
    std::unique_ptr<Session> m_session;
};

} // namespace talvex
