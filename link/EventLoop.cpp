#include "link/EventLoop.h"

#include <algorithm>
#include <chrono>

namespace orvex {

EventLoop::EventLoop(Clock clock) : m_clock(clock) { m_realStartUs = RealNowUs(); }

std::int64_t EventLoop::RealNowUs() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() - m_realStartUs;
}

std::int64_t EventLoop::NowUs() const { return m_clock == Clock::Virtual ? m_virtualNowUs : RealNowUs(); }

std::int64_t EventLoop::NowMs() const { return NowUs() / 1000; }

void EventLoop::Post(Callback fn) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(fn));
    }
    m_wake.notify_one();
}

void EventLoop::Quit() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
}

IEventLoop::TimerId EventLoop::StartTimer(int ms, Callback fn) {
    const TimerId id = m_nextId++;
    const std::int64_t due = NowUs() + std::int64_t{std::max(ms, 0)} * 1000;
    m_timers.emplace(Timer{due, id}, std::move(fn));
    m_timerDue[id] = due;
    return id;
}

void EventLoop::CancelTimer(TimerId id) {
    const auto it = m_timerDue.find(id);
    if (it == m_timerDue.end()) return;
    m_timers.erase(Timer{it->second, id});
    m_timerDue.erase(it);
}

bool EventLoop::RunPosted() {
    std::deque<Callback> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_posted);
    }
    for (Callback& fn : batch) fn();
    return !batch.empty();
}

bool EventLoop::RunOneDueTimer(std::int64_t nowUs) {
    if (m_timers.empty() || m_timers.begin()->first.dueUs > nowUs) return false;
    auto node = m_timers.extract(m_timers.begin());
    m_timerDue.erase(node.key().id);
    node.mapped()();
    return true;
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::int64_t maxMs) {
    const std::int64_t limit = NowUs() + maxMs * 1000;
    {
        std::lock_guard lock(m_mutex);
        m_quit = false;
    }
    for (;;) {
        while (RunPosted() || RunOneDueTimer(NowUs()))
            if (done()) return true;
        if (done()) return true;
        {
            std::lock_guard lock(m_mutex);
            if (m_quit) return false;
            if (!m_posted.empty()) continue;
        }
        const bool timerInRange = !m_timers.empty() && m_timers.begin()->first.dueUs <= limit;
        const std::int64_t next = timerInRange ? m_timers.begin()->first.dueUs : limit;
        if (m_clock == Clock::Virtual) {
            m_virtualNowUs = std::max(m_virtualNowUs, next);
            if (!timerInRange) return done();
            continue;
        }
        const std::int64_t now = RealNowUs();
        if (!timerInRange && now >= limit) return done();
        if (next <= now) continue;
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::microseconds(next - now), [&] { return !m_posted.empty() || m_quit; });
    }
}

}  // namespace orvex
