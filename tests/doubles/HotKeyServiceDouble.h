#pragma once

#include "HotKeyService.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace talvex::test {

/// Hot keys whose refusals the test scripts. Keeps the live registrations and the installed
/// handler, so the test fires events as the system would; records every call.
class HotKeyServiceDouble final : public HotKeyService {
  public:
    struct Live {
        std::uint32_t code;
        std::uint32_t modifiers;
        HotKeyID identifier;
    };

    bool available = true;
    bool failInstall = false;
    bool refuseNext = false; ///< the next registerHotKey is refused (then this resets)
    QStringList calls;

    bool isAvailable() override
    {
        calls << QStringLiteral("isAvailable");
        return available;
    }

    bool installHandler(Handler handler) override
    {
        calls << QStringLiteral("installHandler");
        if (failInstall)
            return false;
        m_handler = std::move(handler);
        return true;
    }

    std::unique_ptr<Registration> registerHotKey(std::uint32_t code, std::uint32_t modifiers,
                                                 HotKeyID identifier) override
    {
        calls << QStringLiteral("register %1 0x%2 #%3").arg(code).arg(modifiers, 0, 16).arg(identifier.id);
        if (refuseNext) {
            refuseNext = false;
            return nullptr;
        }
        m_live->push_back({code, modifiers, identifier});
        return std::make_unique<LiveRegistration>(m_live, identifier, &calls);
    }

    /// Registrations not yet released.
    const std::vector<Live> &live() const { return *m_live; }
    bool hasHandler() const { return bool(m_handler); }

    /// Delivers an event as the system does; false when no handler or the handler declined it.
    bool fire(HotKeyID identifier, bool pressed, double time)
    {
        return m_handler && m_handler(HotKeyEvent{identifier, pressed, time});
    }
    /// Fires the event of the newest live registration.
    bool fireLive(bool pressed, double time)
    {
        return !m_live->empty() && fire(m_live->back().identifier, pressed, time);
    }

  private:
    class LiveRegistration final : public Registration {
      public:
        LiveRegistration(std::shared_ptr<std::vector<Live>> live, HotKeyID identifier, QStringList *calls)
            : m_live(std::move(live)), m_identifier(identifier), m_calls(calls)
        {
        }
        ~LiveRegistration() override
        {
            *m_calls << QStringLiteral("unregister #%1").arg(m_identifier.id);
            std::erase_if(*m_live, [this](const Live &entry) { return entry.identifier == m_identifier; });
        }

      private:
        std::shared_ptr<std::vector<Live>> m_live;
        HotKeyID m_identifier;
        QStringList *m_calls;
    };

    Handler m_handler;
    std::shared_ptr<std::vector<Live>> m_live = std::make_shared<std::vector<Live>>();
};

} // namespace talvex::test
