#include "crashreporting/common/MSHDispatchQueue.h"

#include <QMetaObject>
#include <QTimer>

MSHDispatchQueue::MSHDispatchQueue(const QByteArray &label) : m_label(label)
{
    setObjectName(QString::fromUtf8(label));
    m_worker = new QObject;
    m_worker->moveToThread(this);
    start();
}

MSHDispatchQueue::~MSHDispatchQueue()
{
    quit();
    wait();
    delete m_worker;
}

void MSHDispatchQueue::run()
{
    exec();
}

bool MSHDispatchQueue::isCurrent() const
{
    return QThread::currentThread() == this;
}

void MSHDispatchQueue::async(std::function<void()> block)
{
    QMetaObject::invokeMethod(m_worker, std::move(block), Qt::QueuedConnection);
}

void MSHDispatchQueue::sync(const std::function<void()> &block)
{
    if (isCurrent()) {
        block();
        return;
    }
    QMetaObject::invokeMethod(m_worker, block, Qt::BlockingQueuedConnection);
}

void MSHDispatchQueue::after(double seconds, std::function<void()> block)
{
    const int milliseconds = seconds <= 0 ? 0 : int(seconds * 1000.0);
    QObject *worker = m_worker;
    async([worker, milliseconds, block = std::move(block)] {
        QTimer::singleShot(milliseconds, worker, block);
    });
}
