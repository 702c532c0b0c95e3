#include "QtUiQueue.h"

#include <QMetaObject>

namespace kt::ui {

QtUiQueue::QtUiQueue(QObject* context, Handler handler)
    : context_(context), handler_(std::make_shared<const Handler>(std::move(handler))) {}

void QtUiQueue::Post(device::ChannelEvent event) {
    QMetaObject::invokeMethod(
        context_, [handler = handler_, event = std::move(event)] { (*handler)(event); },
        Qt::QueuedConnection);
}

}  // namespace kt::ui
