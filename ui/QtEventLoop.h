#pragma once
// The link's event loop on top of Qt's: posted tasks run on the GUI thread,
// timers are precise single shots.
#include <QObject>
#include <QElapsedTimer>
#include <map>

#include "link/EventLoop.h"

class QTimer;

namespace orvex {

class QtEventLoop : public QObject, public IEventLoop {
    Q_OBJECT
public:
    explicit QtEventLoop(QObject* parent = nullptr);
    ~QtEventLoop() override;

    void Post(Callback fn) override;
    TimerId StartTimer(int ms, Callback fn) override;
    void CancelTimer(TimerId id) override;
    std::int64_t NowMs() const override { return m_clock.elapsed(); }

private:
    QElapsedTimer m_clock;
    std::map<TimerId, QTimer*> m_timers;
    TimerId m_nextId = 1;
};

}  // namespace orvex
