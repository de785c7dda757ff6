#include "FileAudioEngine.h"

#include "SoxrConverter.h"
#include "platform/OnWorkerThread.h"
#include "platform/SteadyClock.h"

#include <chrono>

namespace talvex {

namespace {

// Stay this many buffers ahead of the recogniser: far below the 128 that would overrun.
constexpr std::size_t backlogLimit = 32;

} // namespace

FileAudioEngine::FileAudioEngine(WavAudio audio, Pace pace) : m_audio(std::move(audio)), m_pace(pace)
{
}

FileAudioEngine::~FileAudioEngine()
{
    stop();
}

QCoro::Task<bool> FileAudioEngine::requestAccess()
{
    co_return true;
}

QCoro::Task<AudioFormat> FileAudioEngine::inputFormat()
{
    co_return m_audio.format;
}

std::unique_ptr<AudioConverter> FileAudioEngine::makeConverter(const AudioFormat &from, const AudioFormat &to)
{
    return SoxrConverter::create(from, to);
}

void FileAudioEngine::installTap(std::int64_t bufferSize, TapBlock block)
{
    std::lock_guard lock(m_mutex);
    m_tap = std::move(block);
    m_bufferFrames = bufferSize;
}

void FileAudioEngine::removeTap()
{
    TapBlock released;
    std::lock_guard lock(m_mutex);
    released = std::move(m_tap);
    m_tap = nullptr;
}

void FileAudioEngine::setConsumerBacklog(std::function<std::size_t()> backlog)
{
    std::lock_guard lock(m_mutex);
    m_backlog = std::move(backlog);
}

QCoro::Task<> FileAudioEngine::start()
{
    if (m_started)
        co_return;
    m_started = true;
    m_startTime = SteadyClock::monotonicSeconds();
    if (m_pace == Pace::realTime) {
        m_thread = std::thread([this] { play(); });
        co_return;
    }
    // Played as fast as it is consumed, a short file would be all "captured" before the caller has
    // read the start time off the playback clock, and its recording judged too short to keep. So
    // playback begins once the caller's continuation has run, from the event loop.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive = std::weak_ptr<int>(m_alive)] {
            if (alive.expired())
                return;
            std::lock_guard lock(m_mutex);
            if (!m_stopping)
                m_thread = std::thread([this] { play(); });
        },
        Qt::QueuedConnection);
    co_return;
}

void FileAudioEngine::stop()
{
    std::thread player;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        player = std::move(m_thread);
    }
    m_changed.notify_all();
    if (player.joinable())
        player.join();
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
}

void FileAudioEngine::play()
{
    const auto channels = m_audio.format.channelCount;
    const double rate = m_audio.format.sampleRate;
    const std::int64_t total = m_audio.frameCount();
    const auto wallStart = std::chrono::steady_clock::now();
    std::int64_t position = 0;
    std::unique_lock lock(m_mutex);
    while (position < total && !m_stopping) {
        const std::int64_t frames = std::min(m_bufferFrames, total - position);
        const double startSeconds = static_cast<double>(position) / rate;
        if (m_pace == Pace::realTime) {
            // A buffer exists only once all its frames have been "captured".
            const auto due =
                wallStart + std::chrono::duration<double>(startSeconds + static_cast<double>(frames) / rate);
            if (m_changed.wait_until(lock, due, [this] { return m_stopping; }))
                break;
        } else {
            while (!m_stopping && m_backlog && m_backlog() >= backlogLimit) {
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                lock.lock();
            }
            if (m_stopping)
                break;
        }
        const double hostTime = m_pace == Pace::realTime
                                    ? SteadyClock::monotonicSeconds() - static_cast<double>(frames) / rate
                                    : m_startTime + startSeconds;
        if (m_tap)
            m_tap(
                AudioBuffer{m_audio.format, frames, m_audio.samples.data() + position * channels, hostTime});
        position += frames;
        m_framesPlayed = position;
    }
    m_ended = true;
    m_changed.notify_all();
}

QCoro::Task<> FileAudioEngine::playedToEnd()
{
    auto waiting = onWorkerThread([this] {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_ended; });
    });
    co_await waiting;
}

double FileAudioEngine::playedSeconds() const
{
    return static_cast<double>(m_framesPlayed.load()) / m_audio.format.sampleRate;
}

double FileAudioEngine::PlaybackClock::now() const
{
    return m_engine.m_startTime + m_engine.playedSeconds();
}

QCoro::Task<bool> FileAudioEngine::PlaybackClock::sleep(double seconds, CancellationToken token)
{
    SteadyClock wall;
    co_return co_await wall.sleep(seconds, std::move(token));
}

} // namespace talvex
