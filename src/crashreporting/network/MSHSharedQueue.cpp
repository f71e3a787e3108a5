#include "crashreporting/network/MSHSharedQueue.h"

#include <thread>

std::shared_ptr<MSHDispatchQueue> MSHMakeSharedQueue(const QByteArray &label)
{
    return std::shared_ptr<MSHDispatchQueue>(
        new MSHDispatchQueue(label), [](MSHDispatchQueue *queue) {
            if (queue->isCurrent())
                std::thread([queue] { delete queue; }).detach();
            else
                delete queue;
        });
}
