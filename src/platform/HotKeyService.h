#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace talvex {

/// Names one hot-key registration: the owner's four-character signature (first character in the
/// high byte) and a number the owner picks for that registration.
struct HotKeyID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;

    friend bool operator==(const HotKeyID &, const HotKeyID &) = default;
};

/// One press or release of a registered hot key.
struct HotKeyEvent {
    HotKeyID identifier; ///< the identifier the hot key was registered with
    bool pressed = false;
    double time = 0; ///< seconds on the event source's clock; increasing, only differences matter
};

/// System-wide hot keys: a key combination that reaches this process whichever window has focus.
/// The service only reports; deciding what an event means is the caller's business.
class HotKeyService {
  public:
    /// A live hot key. Destroying it releases the key combination at once.
    class Registration {
      public:
        virtual ~Registration() = default;
    };

    /// Returns true when the event was one of the caller's hot keys (handled).
    using Handler = std::function<bool(const HotKeyEvent &)>;

    virtual ~HotKeyService() = default;

    /// Whether hot keys can be registered at all (a display connection exists).
    virtual bool isAvailable() = 0;

    /// Installs the one handler for presses and releases of every registered hot key. It stays
    /// installed for the life of the service; false when it could not be installed. The handler
    /// runs on the main thread from the event loop, never from inside a call into this service.
    /// A held key with auto-repeat gives one press and one release.
    virtual bool installHandler(Handler handler) = 0;

    /// Registers `code` (stored key code) with `modifiers` (Shortcut mask bits) exclusively: null
    /// when the system or another program refuses it or the key does not exist on this keyboard,
    /// and then nothing of the attempt stays registered. Lock keys (Caps Lock, Num Lock) never
    /// keep the hot key from firing.
    virtual std::unique_ptr<Registration> registerHotKey(std::uint32_t code, std::uint32_t modifiers,
                                                         HotKeyID identifier) = 0;
};

} // namespace talvex
