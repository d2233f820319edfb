#include "ui/QtEventLoop.h"

#include <QMetaObject>
#include <QTimer>

namespace orvex {

QtEventLoop::QtEventLoop(QObject* parent) : QObject(parent) { m_clock.start(); }

QtEventLoop::~QtEventLoop() {
    for (auto& [id, timer] : m_timers) delete timer;
}

void QtEventLoop::Post(Callback fn) {
    // Queued to this object's thread: safe from the port's watcher.
    QMetaObject::invokeMethod(this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

IEventLoop::TimerId QtEventLoop::StartTimer(int ms, Callback fn) {
    const TimerId id = m_nextId++;
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
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

}  // namespace orvex
