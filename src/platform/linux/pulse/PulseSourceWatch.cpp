#include "PulseSourceWatch.h"

#include "platform/Logging.h"

#include <QMetaObject>
#include <pulse/pulseaudio.h>

namespace talvex {

namespace {

constexpr pa_usec_t retryInterval = 2 * PA_USEC_PER_SEC;

} // namespace

struct PulseSourceWatch::Session {
    PulseSourceWatch *owner = nullptr;
    QObject *receiver = nullptr;
    unsigned generation = 0;
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_time_event *retry = nullptr;
    std::optional<CaptureSource> last;

    // Everything below runs on the libpulse thread with the loop lock held.

    void report(const CaptureSource &source)
    {
        if (last == source)
            return;
        last = source;
        PulseSourceWatch *target = owner;
        const unsigned id = generation;
        // Dropped by Qt if the receiver is gone; ignored by deliver() if watching stopped.
        QMetaObject::invokeMethod(
            receiver, [target, source, id] { target->deliver(source, id); }, Qt::QueuedConnection);
    }

    void dropContext()
    {
        if (!context)
            return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }

    void scheduleRetry()
    {
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop);
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), retryInterval);
        if (retry) {
            api->time_restart(retry, &when);
            return;
        }
        retry = api->time_new(
            api, &when,
            [](pa_mainloop_api *, pa_time_event *, const timeval *, void *data) {
                static_cast<Session *>(data)->connect();
            },
            this);
    }

    void unreachable()
    {
        dropContext();
        report(CaptureSource{CaptureSource::Server::unreachable, {}});
        scheduleRetry();
    }

    void connect()
    {
        dropContext();
        context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Talvex capture source");
        if (!context) {
            unreachable();
            return;
        }
        pa_context_set_state_callback(
            context, [](pa_context *c, void *data) { static_cast<Session *>(data)->stateChanged(c); }, this);
        // No autospawn: a missing server is an answer to show, not one to start behind the user's back.
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            unreachable();
    }

    void stateChanged(pa_context *c)
    {
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(
                c,
                [](pa_context *, pa_subscription_event_type_t, uint32_t, void *data) {
                    // A new default, a source added or removed, a description changed: ask again.
                    static_cast<Session *>(data)->query();
                },
                this);
            if (pa_operation *op =
                    pa_context_subscribe(c,
                                         static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER |
                                                                             PA_SUBSCRIPTION_MASK_SOURCE),
                                         nullptr, nullptr))
                pa_operation_unref(op);
            query();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            unreachable();
            break;
        default:
            break;
        }
    }

    void query()
    {
        if (!context)
            return;
        pa_operation *op = pa_context_get_server_info(
            context,
            [](pa_context *c, const pa_server_info *info, void *data) {
                auto *self = static_cast<Session *>(data);
                if (!info || !info->default_source_name || !*info->default_source_name) {
                    self->report(CaptureSource{CaptureSource::Server::reachable, {}});
                    return;
                }
                self->describe(c, info->default_source_name);
            },
            this);
        if (op)
            pa_operation_unref(op);
    }

    void describe(pa_context *c, const char *name)
    {
        // Answers once with the source and once more to end the list, or only with an error (eol < 0)
        // when no source has that name.
        pa_operation *op = pa_context_get_source_info_by_name(
            c, name,
            [](pa_context *, const pa_source_info *info, int eol, void *data) {
                auto *self = static_cast<Session *>(data);
                if (info)
                    self->report(
                        CaptureSource{CaptureSource::Server::reachable,
                                      QString::fromUtf8(info->description ? info->description : info->name)});
                else if (eol < 0)
                    self->report(CaptureSource{CaptureSource::Server::reachable, {}});
            },
            this);
        if (op)
            pa_operation_unref(op);
    }
};

PulseSourceWatch::PulseSourceWatch() : m_receiver(std::make_unique<QObject>())
{
}

PulseSourceWatch::~PulseSourceWatch()
{
    stop();
}

void PulseSourceWatch::watch(Changed changed)
{
    m_changed = std::move(changed);
    if (m_session)
        return;
    auto session = std::make_unique<Session>();
    session->owner = this;
    session->receiver = m_receiver.get();
    session->generation = ++m_generation;
    session->loop = pa_threaded_mainloop_new();
    if (!session->loop || pa_threaded_mainloop_start(session->loop) < 0) {
        if (session->loop)
            pa_threaded_mainloop_free(session->loop);
        qCWarning(lcAudio, "Could not start the sound server watch");
        deliver(CaptureSource{CaptureSource::Server::unreachable, {}}, m_generation);
        return;
    }
    pa_threaded_mainloop_lock(session->loop);
    session->connect();
    pa_threaded_mainloop_unlock(session->loop);
    m_session = std::move(session);
}

void PulseSourceWatch::stop()
{
    ++m_generation; // answers already queued are ignored
    m_changed = nullptr;
    if (!m_session)
        return;
    Session &session = *m_session;
    pa_threaded_mainloop_lock(session.loop);
    if (session.retry) {
        pa_threaded_mainloop_get_api(session.loop)->time_free(session.retry);
        session.retry = nullptr;
    }
    session.dropContext();
    pa_threaded_mainloop_unlock(session.loop);
    pa_threaded_mainloop_stop(session.loop);
    pa_threaded_mainloop_free(session.loop);
    m_session.reset();
}

void PulseSourceWatch::deliver(const CaptureSource &source, unsigned generation)
{
    if (generation != m_generation || !m_changed)
        return;
    m_changed(source);
}

} // namespace talvex
