#pragma once
// Records what a port's watcher reports. With drain on it takes the queued
// bytes inside OnPortData, as the protocol code does, so that every
// notification becomes one batch.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "link/RadioPortBase.h"

namespace orvex::test {

class RecordingListener : public IPortListener {
public:
    using Bytes = std::vector<std::uint8_t>;

    explicit RecordingListener(IRadioPort& port, bool drain = true) : m_port(port), m_drain(drain) {}

    void OnPortData(std::uint16_t) override {
        Bytes batch;
        if (m_drain)
            m_port.WithQueue([&](CByteQueue& q) {
                std::uint8_t b = 0;
                while (q.GetByte(b)) batch.push_back(b);
                return 0;
            });
        std::lock_guard lock(m_mutex);
        m_batches.push_back(std::move(batch));
        m_changed.notify_all();
    }
    void OnPortQueueFull() override {
        std::lock_guard lock(m_mutex);
        ++m_queueFull;
        m_changed.notify_all();
    }
    void OnPortHangUp() override {
        std::function<void()> action;
        {
            std::lock_guard lock(m_mutex);
            action = m_onHangUp;
        }
        if (action) action();  // before the count, so a waiter sees its effect
        std::lock_guard lock(m_mutex);
        ++m_hangUps;
        m_changed.notify_all();
    }

    // Runs on the watcher thread, inside OnPortHangUp.
    void SetHangUpAction(std::function<void()> action) {
        std::lock_guard lock(m_mutex);
        m_onHangUp = std::move(action);
    }

    // True as soon as pred holds; pred runs under the listener's lock.
    bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, pred);
    }
    bool WaitForBatches(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        return WaitUntil([&] { return m_batches.size() >= n; }, timeout);
    }
    bool WaitForHangUp(std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        return WaitUntil([&] { return m_hangUps > 0; }, timeout);
    }

    std::vector<Bytes> Batches() const {
        std::lock_guard lock(m_mutex);
        return m_batches;
    }
    int QueueFullCount() const {
        std::lock_guard lock(m_mutex);
        return m_queueFull;
    }
    int HangUpCount() const {
        std::lock_guard lock(m_mutex);
        return m_hangUps;
    }

private:
    IRadioPort& m_port;
    const bool m_drain;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Bytes> m_batches;
    int m_queueFull = 0;
    int m_hangUps = 0;
    std::function<void()> m_onHangUp;
};

}  // namespace orvex::test
