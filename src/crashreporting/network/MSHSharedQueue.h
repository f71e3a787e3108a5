#pragma once
// A serial queue shared by the objects that use it (a session, its client, an operation). The
// last of them may let go on the queue's own thread, inside one of its blocks, where the queue
// cannot wait for itself to end: it is then ended from a thread of its own.

#include "crashreporting/common/MSHDispatchQueue.h"

#include <memory>

std::shared_ptr<MSHDispatchQueue> MSHMakeSharedQueue(const QByteArray &label);
