#pragma once
// A named serial queue: one thread with its own event loop running the blocks handed to it in
// order. Every queue of the crash-reporting component (logging, binary images, exceptions, ...)
// is one of these; nothing here is used at crash time.

#include <QByteArray>
#include <QThread>

#include <functional>

class MSHDispatchQueue final : public QThread
{
public:
    explicit MSHDispatchQueue(const QByteArray &label);
    ~MSHDispatchQueue() override;

    const QByteArray &label() const { return m_label; }

    // Runs the block on the queue and returns at once.
    void async(std::function<void()> block);
    // Runs the block on the queue and waits for it; a block already on this queue runs in place.
    void sync(const std::function<void()> &block);
    // Runs the block on the queue after the delay.
    void after(double seconds, std::function<void()> block);
    // True when the caller runs on this queue.
    bool isCurrent() const;

protected:
    void run() override;

private:
    QByteArray m_label;
    QObject *m_worker = nullptr;
};
