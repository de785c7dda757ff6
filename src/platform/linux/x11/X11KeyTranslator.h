#pragma once

#include "KeyTranslator.h"
#include "X11EventConnection.h"

#include <memory>

namespace talvex::x11 {

/// Key events of our own windows on X11 (keycode and core state, as Qt reports them) in the
/// stored numbering, using the keyboard mapping the global shortcut's connection keeps current.
class X11KeyTranslator final : public KeyTranslator {
  public:
    /// `connection` may be null (no display): keys then translate by position only, with no text.
    explicit X11KeyTranslator(std::shared_ptr<X11EventConnection> connection);

    KeyEvent translate(bool pressed, std::uint32_t nativeScanCode, std::uint32_t nativeModifiers,
                       bool autoRepeat, double time) const override;

  private:
    std::shared_ptr<X11EventConnection> m_connection;
};

} // namespace talvex::x11
