// Hands channel events from the serial worker thread to the user-interface thread as
// queued calls on a context object; Qt keeps queued calls to one thread in posting order.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "UiQueue.h"

namespace kt::ui {

class QtUiQueue : public device::UiQueue {
public:
    using Handler = std::function<void(const device::ChannelEvent&)>;

    // `handler` runs on the thread of `context`; calls still queued when `context` is
    // destroyed are dropped.
    QtUiQueue(QObject* context, Handler handler);

    // Any thread; never waits for the receiving thread.
    void Post(device::ChannelEvent event) override;

private:
    QObject* context_;
    // Shared with every queued call, so a call may outlive the queue object itself.
    std::shared_ptr<const Handler> handler_;
};

}  // namespace kt::ui
