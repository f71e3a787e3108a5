#include "crashreporting/common/MSHLog.h"

#include <cstdio>

void MSHLog(const char *prefix, const QString &message)
{
    const QByteArray line = QByteArray(prefix) + ' ' + message.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
