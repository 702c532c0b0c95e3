#include "UiQueue.h"

#include <chrono>

namespace kt::device {

void BlockingUiQueue::Post(ChannelEvent event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    ready_.notify_one();
}

bool BlockingUiQueue::Pop(ChannelEvent& event, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!ready_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [this] { return !events_.empty(); })) {
        return false;
    }
    event = std::move(events_.front());
    events_.pop_front();
    return true;
}

}  // namespace kt::device
