#pragma once
// The steps that turn a crashed process's recorded stacks into named frames: symbolication
// against the images of this process, demangling, and writing the result beside the record.
// Each is an operation started directly on the calling thread; all share one thread array.

#include "crashreporting/reports/MSHStackFrame.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class MSHSymbolResolver;

// One list of frames per thread, in stack order.
using MSHThreadArray = QList<QList<MSHStackFrame>>;

class MSHOperation
{
public:
    virtual ~MSHOperation() = default;
    // Runs main() unless the operation was cancelled first.
    void start();
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

protected:
    virtual void main() = 0;

private:
    std::atomic<bool> m_cancelled{false};
};

class MSHThreadArrayOperation : public MSHOperation
{
public:
    std::shared_ptr<MSHThreadArray> threadArray;

    // Every frame of every thread in order; once cancelled, the rest of a thread's frames are
    // skipped.
    void enumerateFramesWithBlock(const std::function<void(MSHStackFrame &)> &block);
};

class MSHSymbolicationOperation final : public MSHThreadArrayOperation
{
public:
    const MSHSymbolResolver *symbolResolver = nullptr;

protected:
    void main() override;
};

class MSHDemangleOperation final : public MSHThreadArrayOperation
{
public:
    // The readable form of a C++ name ("_Z..."), of a block invoked from a C++ function
    // ("__Z..._block_invoke..."); none for anything else (Swift names stay as recorded).
    static std::optional<QString> demangleSymbol(const QByteArray &symbol);
    static std::optional<QString> demangleCppSymbol(const QByteArray &symbol);
    static std::optional<QString> demangleBlockInvokeCppSymbol(const QByteArray &symbol);
    static std::optional<QString> demangleSwiftSymbol(const QByteArray &symbol);

protected:
    void main() override;
};

// Writes under a hidden temporary name beside the output and renames it when whole: the output
// either is complete or does not exist.
class MSHSerializeSymbolicatedFramesOperation final : public MSHThreadArrayOperation
{
public:
    QString outputPath;
    // The output is in place, whole.
    bool written() const { return m_written; }
    // Why it could not be written (an errno), 0 when it was.
    int writeError() const { return m_writeError; }
    // Where the output is written until it is whole.
    static QString temporaryPathFor(const QString &outputPath);

protected:
    void main() override;

private:
    bool m_written = false;
    int m_writeError = 0;
};
