// Readiness flags, the requests for microphone and accessibility access, and the practice paste.
#include "DictationController.h"
#include "core/ControllerTexts.h"
#include "platform/Logging.h"
#include "speech/LiveDictation.h"

namespace talvex {

namespace {

const char *yesNo(bool value)
{
    return value ? "true" : "false";
}

} // namespace

// --- Permissions and the practice paste.

void DictationController::refreshPermissions()
{
    setModelStatus(ControllerTexts::modelStatus(m_services.languageModel->availability()));
    setMicrophoneReady(microphone()->authorizationStatus() == MicrophoneAuthorization::authorized);
    const bool trusted = m_services.delivery.accessibility->isTrusted();
    const bool canPost = m_services.delivery.keyboard->canPostEvents();
    setAccessibilityReady(trusted && canPost);
    qCInfo(lcDelivery, "Talvex permissions: microphone %s, field access %s, key events %s",
           yesNo(m_microphoneReady), yesNo(trusted), yesNo(canPost));
    setSpeechReady(m_services.speech->isAvailable());
}

std::shared_ptr<AudioEngine> DictationController::microphone()
{
    // One engine answers the permission questions for the life of the controller.
    if (!m_microphone)
        m_microphone = m_services.makeAudioEngine();
    return m_microphone;
}

void DictationController::allowMicrophone()
{
    requestMicrophoneAccess();
}

QCoro::Task<> DictationController::requestMicrophoneAccess()
{
    if (microphone()->authorizationStatus() == MicrophoneAuthorization::denied) {
        openSettings(SettingsPane::microphone);
        co_return;
    }
    QPointer<DictationController> self(this);
    const std::shared_ptr<AudioEngine> engine = microphone();
    co_await LiveDictation::requestMicrophone(*engine);
    if (self)
        self->refreshPermissions();
}

bool DictationController::allowAccessibility()
{
    Destination::requestAccessibility(*m_services.delivery.accessibility, *m_services.delivery.keyboard);
    return openSettings(SettingsPane::accessibility);
}

bool DictationController::openSettings(SettingsPane pane)
{
    return m_services.delivery.workspace->openSettings(pane);
}

QCoro::Task<> DictationController::testPracticePaste()
{
    if (m_phase != Phase::idle || m_testingPracticePaste)
        co_return;
    auto target = captureDestination(true);
    if (!target->practiceEditor()) {
        setLastPracticePasteStatus(ControllerTexts::clickPracticeField());
        co_return;
    }
    setTestingPracticePaste(true);
    QPointer<DictationController> self(this);
    const Destination::Delivery outcome = co_await target->deliver(ControllerTexts::practicePasteText());
    if (!self)
        co_return;
    const QString label = ControllerTexts::statusLabel(outcome);
    const std::optional<QString> notice = ControllerTexts::deliveryNotice(outcome);
    setLastPracticePasteStatus(label);
    setMessage(notice);
    qCInfo(lcDelivery, "Practice paste: %s", qUtf8Printable(label));
    setTestingPracticePaste(false);
}

} // namespace talvex
