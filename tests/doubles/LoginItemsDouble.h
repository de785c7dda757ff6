#pragma once

#include "LoginItems.h"

#include <QStringList>

namespace talvex::test {

/// Start-at-login entry whose status and failures the test scripts; records each call.
class LoginItemsDouble final : public LoginItems {
public:
    LoginItemStatus currentStatus = LoginItemStatus::notRegistered;
    bool failRegister = false;
    bool failUnregister = false;
    mutable QStringList calls;

    LoginItemStatus status() const override
    {
        calls << QStringLiteral("status");
        return currentStatus;
    }
    bool registerItem(QString *error) override
    {
        calls << QStringLiteral("register");
        if (failRegister) {
            if (error)
                *error = QStringLiteral("register refused");
            return false;
        }
        currentStatus = LoginItemStatus::enabled;
        return true;
    }
    bool unregisterItem(QString *error) override
    {
        calls << QStringLiteral("unregister");
        if (failUnregister) {
            if (error)
                *error = QStringLiteral("unregister refused");
            return false;
        }
        currentStatus = LoginItemStatus::notRegistered;
        return true;
    }
};

} // namespace talvex::test
