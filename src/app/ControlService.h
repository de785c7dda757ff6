#pragma once

#include "ControlBus.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QPointer>
#include <QString>

namespace talvex {

class TalvexDelegate;

/// The object other processes reach on the session bus: dictation commands for a desktop's key
/// bindings and scripts (`talvex toggle`), and the hand-over of a second launch. It is exported
/// before the well-known name is claimed, so no caller ever finds the name without the object;
/// calls that arrive before the application is attached wait (Reopen, OpenSettings) or are
/// refused with a clear error (the dictation commands).
class ControlService final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quindlark.Talvex")
    /// "starting" until the application is attached, then the dictation phase: "idle", "preparing",
    /// "recording", "transcribing" or "refining". Changes are announced with PropertiesChanged.
    Q_PROPERTY(QString Phase READ phase)
    Q_PROPERTY(QString Version READ version)

  public:
    explicit ControlService(QDBusConnection bus, QObject *parent = nullptr);
    ~ControlService() override;

    /// Puts the object on the bus. False when the bus refused it.
    bool exportObject();
    /// From now on commands act on `delegate`'s controller; pending requests run now.
    void attach(TalvexDelegate &delegate);

    QString phase() const;
    static QString version();

  public slots:
    Q_SCRIPTABLE void Toggle();
    Q_SCRIPTABLE void Start();
    Q_SCRIPTABLE void Stop();
    Q_SCRIPTABLE void Cancel();
    Q_SCRIPTABLE void Reopen();
    Q_SCRIPTABLE void OpenSettings();

  private:
    /// Runs a dictation command, or refuses it while the application is still starting.
    void command(ControlBus::Command command);
    void announcePhase();

    QDBusConnection m_bus;
    QPointer<TalvexDelegate> m_delegate;
    bool m_exported = false;
    bool m_pendingReopen = false;
    bool m_pendingSettings = false;
};

} // namespace talvex
