// The one hand-over between the serial worker thread and the user-interface thread:
// opened, closed and data events, delivered in the order the channel reported them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace kt::device {

struct ChannelEvent {
    enum class Kind { Opened, Closed, Data };

    Kind kind = Kind::Data;
    std::vector<uint8_t> bytes;  // a data event's block, exactly the bytes received
};

class UiQueue {
public:
    virtual ~UiQueue() = default;
    // Called on the worker thread; must not block on the user-interface thread.
    virtual void Post(ChannelEvent event) = 0;
};

// A plain queue drained by its owner (tests and the command-line tool).
class BlockingUiQueue : public UiQueue {
public:
    void Post(ChannelEvent event) override;
    // Takes the oldest event, waiting up to timeoutMs (0: no wait). False when none came.
    bool Pop(ChannelEvent& event, int timeoutMs);

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<ChannelEvent> events_;
};

}  // namespace kt::device
