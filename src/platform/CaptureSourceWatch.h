#pragma once

#include <QString>
#include <functional>

namespace talvex {

/// What the sound server says about the source a dictation records from.
struct CaptureSource {
    enum class Server {
        unknown,     ///< not asked yet
        unreachable, ///< no sound server answers (none runs, or it refused this client)
        reachable,   ///< the server answers
    };
    Server server = Server::unknown;
    /// The server's description of its default source ("Built-in Audio Analog Stereo"); empty when
    /// the server has no default source or it has no description.
    QString description;

    friend bool operator==(const CaptureSource &, const CaptureSource &) = default;
};

/// Follows the sound server's default capture source while someone shows it.
class CaptureSourceWatch {
  public:
    using Changed = std::function<void(const CaptureSource &)>;

    virtual ~CaptureSourceWatch() = default;

    /// Starts following: `changed` runs on the main thread with the first answer, then whenever the
    /// default source or its description changes and when the server goes away or comes back.
    /// Replaces an earlier callback.
    virtual void watch(Changed changed) = 0;

    /// Stops following; `changed` is not called again after this returns.
    virtual void stop() = 0;
};

} // namespace talvex
