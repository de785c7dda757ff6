#include "LaunchAtLogin.h"

#include "LoginItemsDouble.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace talvex {
namespace {

using test::LoginItemsDouble;
using Status = LoginItemStatus;

const QString enableFailed = QStringLiteral("Talvex couldn’t enable Launch at Login.");
const QString disableFailed = QStringLiteral("Talvex couldn’t disable Launch at Login.");

class LaunchAtLoginTest : public ::testing::Test {
  protected:
    std::unique_ptr<QSettings> defaults()
    {
        return std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("Talvex.conf")),
                                           QSettings::IniFormat);
    }
    /// The register and unregister calls, without the status reads.
    static QStringList changes(const LoginItemsDouble &service)
    {
        QStringList made = service.calls;
        made.removeAll(QStringLiteral("status"));
        return made;
    }

    QTemporaryDir m_dir;
};

struct ToggleCase {
    const char *name;
    Status before;
    bool requested;
    bool serviceFails;
    QStringList calls;
    Status after;
    std::optional<QString> error;
};

TEST_F(LaunchAtLoginTest, TheToggleActsOnlyWhereTheStatusDiffersFromTheRequest)
{
    const auto reg = QStringList{QStringLiteral("register")};
    const auto unreg = QStringList{QStringLiteral("unregister")};
    const std::vector<ToggleCase> cases = {
        {"off, switched on", Status::notRegistered, true, false, reg, Status::enabled, {}},
        {"not found, switched on", Status::notFound, true, false, reg, Status::enabled, {}},
        {"on, switched off", Status::enabled, false, false, unreg, Status::notRegistered, {}},
        {"awaiting approval, switched off",
         Status::requiresApproval,
         false,
         false,
         unreg,
         Status::notRegistered,
         {}},
        {"awaiting approval, switched on",
         Status::requiresApproval,
         true,
         false,
         {},
         Status::requiresApproval,
         {}},
        {"on, switched on", Status::enabled, true, false, {}, Status::enabled, {}},
        {"off, switched off", Status::notRegistered, false, false, {}, Status::notRegistered, {}},
        {"not found, switched off", Status::notFound, false, false, {}, Status::notFound, {}},
        {"registration fails", Status::notRegistered, true, true, reg, Status::notRegistered, enableFailed},
        {"unregistration fails", Status::enabled, false, true, unreg, Status::enabled, disableFailed},
        {"awaiting approval, unregistration fails", Status::requiresApproval, false, true, unreg,
         Status::requiresApproval, disableFailed},
    };
    for (const ToggleCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        LoginItemsDouble service;
        service.currentStatus = c.before;
        service.failRegister = service.failUnregister = c.serviceFails;
        auto settings =
            std::make_unique<QSettings>(dir.filePath(QStringLiteral("d.conf")), QSettings::IniFormat);
        QSettings *store = settings.get();
        LaunchAtLogin launch(service, std::move(settings));

        launch.setEnabled(c.requested);
        EXPECT_EQ(changes(service), c.calls);
        EXPECT_EQ(launch.status(), c.after);
        EXPECT_EQ(launch.errorMessage(), c.error);
        // A failure leaves the first-run default alone, so the next launch tries again.
        EXPECT_EQ(store->value(QStringLiteral("didConfigureLaunchAtLogin")).toBool(), !c.error.has_value());
    }
}

TEST_F(LaunchAtLoginTest, AFailureIsClearedByTheNextAttemptAndTheToggleFollowsTheService)
{
    LoginItemsDouble service;
    service.failRegister = true;
    LaunchAtLogin launch(service, defaults());
    QSignalSpy statusChanges(&launch, &LaunchAtLogin::statusChanged);

    launch.setEnabled(true);
    EXPECT_EQ(launch.errorMessage(), enableFailed);
    EXPECT_FALSE(launch.isEnabled()) << "the toggle snaps back to what the service says";
    EXPECT_EQ(statusChanges.count(), 0);

    service.failRegister = false;
    launch.setEnabled(true);
    EXPECT_EQ(launch.errorMessage(), std::nullopt);
    EXPECT_TRUE(launch.isEnabled());
    EXPECT_EQ(statusChanges.count(), 1);

    // The user approves or removes the entry elsewhere: a refresh notices, a repeated read does not notify.
    service.currentStatus = Status::requiresApproval;
    launch.refresh();
    launch.refresh();
    EXPECT_TRUE(launch.isEnabled());
    EXPECT_EQ(statusChanges.count(), 2);
}

struct FirstRunCase {
    const char *name;
    bool configuredBefore;
    Status status;
    bool registrationFails;
    bool registers;
    bool configuredAfter;
    std::optional<QString> error;
};

TEST_F(LaunchAtLoginTest, TheFirstLaunchRegistersOnceAndRetriesOnlyAfterAFailure)
{
    const std::vector<FirstRunCase> cases = {
        {"first launch", false, Status::notRegistered, false, true, true, {}},
        {"first launch, registration fails", false, Status::notRegistered, true, true, false, enableFailed},
        {"first launch, already on", false, Status::enabled, false, false, true, {}},
        {"first launch, awaiting approval", false, Status::requiresApproval, false, false, true, {}},
        {"later launch after the user switched it off", true, Status::notRegistered, false, false, true, {}},
    };
    for (const FirstRunCase &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.conf"));
        if (c.configuredBefore)
            QSettings(path, QSettings::IniFormat).setValue(QStringLiteral("didConfigureLaunchAtLogin"), true);
        LoginItemsDouble service;
        service.currentStatus = c.status;
        service.failRegister = c.registrationFails;
        LaunchAtLogin launch(service, std::make_unique<QSettings>(path, QSettings::IniFormat));

        launch.configureDefault();
        EXPECT_EQ(changes(service).contains(QStringLiteral("register")), c.registers);
        EXPECT_EQ(launch.errorMessage(), c.error);
        EXPECT_EQ(
            QSettings(path, QSettings::IniFormat).value(QStringLiteral("didConfigureLaunchAtLogin")).toBool(),
            c.configuredAfter);
    }
}

} // namespace
} // namespace talvex
