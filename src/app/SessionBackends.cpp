#include "SessionBackends.h"

#include "ActiveFrameWorkspace.h"
#include "DataControlClipboard.h"
#include "ModifierWatcher.h"
#include "PortalRemoteDesktop.h"
#include "PortalShortcuts.h"
#include "SwayHotKeyService.h"
#include "SwayModifierWatcher.h"
#include "SwaySession.h"
#include "SwayWorkspace.h"
#include "WaylandConnection.h"
#include "WaylandKeyboardPoster.h"
#include "XkbKeymap.h"
#include "platform/Logging.h"

namespace talvex {

namespace {

// Where modifier-only chords cannot be watched at all: every watch is refused, so registering one
// fails plainly instead of looking live and never firing.
class RefusingModifierWatcher final : public ModifierWatcher {
  public:
    std::unique_ptr<Tap> createTap(Handler) override { return nullptr; }
    std::uint32_t currentModifierFlags() override { return 0; }
};

template <typename Service, typename Owned> Service *either(const std::unique_ptr<Owned> &own, Service *x11)
{
    return own ? static_cast<Service *>(own.get()) : x11;
}

} // namespace

std::unique_ptr<SessionBackends> SessionBackends::open(atspi::AtspiAccessibility &accessibility)
{
    std::unique_ptr<SessionBackends> backends(new SessionBackends);
    SessionFacts facts;
    facts.desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    facts.xwayland = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        backends->m_wayland = wayland::WaylandConnection::open();
    facts.wayland = backends->m_wayland != nullptr;
    std::optional<wayland::XkbKeymap> keymap;
    if (facts.wayland) {
        facts.virtualKeyboard = backends->m_wayland->virtualKeyboardManager() != nullptr;
        facts.dataControl = backends->m_wayland->dataControlManager() != nullptr;
        if (const auto &text = backends->m_wayland->seatKeymap())
            keymap = wayland::XkbKeymap::fromText(*text);
        if (!keymap)
            keymap = wayland::XkbKeymap::fromNames();
        if (keymap && !wayland::SwayIpc::socketPath().isEmpty())
            backends->m_sway = wayland::SwaySession::open(*keymap);
        facts.sway = backends->m_sway != nullptr;
        // Desktops without compositor IPC offer what they offer through the portal.
        if (!facts.sway) {
            facts.globalShortcutsPortal = portal::PortalShortcuts::isOffered();
            facts.remoteDesktopPortal = portal::PortalRemoteDesktop::isOffered();
        }
    }

    SessionPlan &plan = backends->m_plan = SessionPlan::decide(facts);
    if (plan.hotKeys == SessionPlan::HotKeys::sway)
        backends->m_hotKeys = std::make_unique<wayland::SwayHotKeyService>(backends->m_sway.get());
    if (plan.hotKeys == SessionPlan::HotKeys::portal)
        backends->m_hotKeys = std::make_unique<portal::PortalShortcuts>();
    if (plan.chords == SessionPlan::Chords::sway)
        backends->m_modifierWatcher = std::make_unique<wayland::SwayModifierWatcher>(backends->m_sway.get());
    else if (plan.chords == SessionPlan::Chords::none)
        backends->m_modifierWatcher = std::make_unique<RefusingModifierWatcher>();
    if (plan.keyboard == SessionPlan::Keyboard::remoteDesktop) {
        backends->m_settings = std::make_unique<QSettings>();
        backends->m_keyboard = std::make_unique<portal::PortalRemoteDesktop>(*backends->m_settings);
    }
    if (plan.workspace == SessionPlan::Workspace::sway)
        backends->m_workspace = std::make_unique<wayland::SwayWorkspace>(backends->m_sway.get());
    else if (plan.workspace == SessionPlan::Workspace::accessibility)
        backends->m_workspace = std::make_unique<portal::ActiveFrameWorkspace>(accessibility);
    if (plan.keyboard == SessionPlan::Keyboard::virtualKeyboard)
        backends->m_keyboard = std::make_unique<wayland::WaylandKeyboardPoster>(backends->m_wayland);
    if (plan.clipboard == SessionPlan::Clipboard::dataControl)
        backends->m_clipboard = wayland::DataControlClipboard::create(backends->m_wayland);

    qCInfo(lcApp).noquote() << "Desktop path:" << plan.pathName();
    for (const QString &limitation : plan.limitations)
        qCWarning(lcApp).noquote() << limitation;
    return backends;
}

SessionBackends::~SessionBackends()
{
    // The services go before the session and the connection they speak through.
    m_hotKeys.reset();
    m_modifierWatcher.reset();
    m_workspace.reset();
    m_keyboard.reset();
    m_clipboard.reset();
    m_settings.reset();
    m_sway.reset();
    m_wayland.reset();
}

HotKeyService *SessionBackends::hotKeys(HotKeyService *x11) const
{
    return either(m_hotKeys, x11);
}

ModifierWatcher *SessionBackends::modifierWatcher(ModifierWatcher *x11) const
{
    return either(m_modifierWatcher, x11);
}

KeyboardPoster *SessionBackends::keyboard(KeyboardPoster *x11) const
{
    return either(m_keyboard, x11);
}

Clipboard *SessionBackends::clipboard(Clipboard *x11) const
{
    return either(m_clipboard, x11);
}

Workspace *SessionBackends::workspace(Workspace *x11) const
{
    return either(m_workspace, x11);
}

QString SessionBackends::missingDisplayMessage()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QStringLiteral("Talvex shows its windows through Xwayland, and this Wayland session has no X "
                              "display (DISPLAY is empty). Turn Xwayland on in the compositor.");
    return QStringLiteral("Talvex needs an X11 desktop session, and no display is set (DISPLAY is empty).");
}

} // namespace talvex
