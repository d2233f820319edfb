#include "ui/QtEventLoop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>

namespace orvex {

QtEventLoop::QtEventLoop(Time time, QObject* parent) : QObject(parent), m_time(time) { m_clock.start(); }

QtEventLoop::~QtEventLoop() {
    for (auto& [id, timer] : m_timers) delete timer;
}

void QtEventLoop::Post(Callback fn) {
    // Queued to this object's thread: safe from the port's watcher.
    QMetaObject::invokeMethod(this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

IEventLoop::TimerId QtEventLoop::StartTimer(int ms, Callback fn) {
    const TimerId id = m_nextId++;
    if (m_time == Time::Virtual) {
        m_virtualTimers.emplace(std::make_pair(m_virtualNowMs + std::max(ms, 0), id), std::move(fn));
        return id;
    }
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);  // protocol pauses must not shrink or stretch
    connect(timer, &QTimer::timeout, this, [this, id, fn = std::move(fn)] {
        const auto it = m_timers.find(id);
        if (it == m_timers.end()) return;
        it->second->deleteLater();
        m_timers.erase(it);
        fn();
    });
    m_timers[id] = timer;
    timer->start(std::max(ms, 0));
    return id;
}

void QtEventLoop::CancelTimer(TimerId id) {
    if (m_time == Time::Virtual) {
        std::erase_if(m_virtualTimers, [id](const auto& t) { return t.first.second == id; });
        return;
    }
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

bool QtEventLoop::RunUntil(const std::function<bool()>& done, std::int64_t maxMs) {
    if (m_time == Time::Real) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < maxMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }
    const std::int64_t end = m_virtualNowMs + std::max<std::int64_t>(maxMs, 0);
    for (;;) {
        // What is posted (the port's news, the toolkit's own events) runs
        // at the time it was posted, before the clock moves on.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (done()) return true;
        if (m_virtualTimers.empty() || m_virtualTimers.begin()->first.first > end) break;
        auto due = m_virtualTimers.extract(m_virtualTimers.begin());
        m_virtualNowMs = std::max(m_virtualNowMs, due.key().first);
        due.mapped()();
    }
    m_virtualNowMs = end;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return done();
}

}  // namespace orvex
