#include "crashreporting/reports/MSHStackFrame.h"

MSHStackFrame MSHStackFrame::stackFrameWithAddress(uint64_t address)
{
    MSHStackFrame frame;
    frame.address = address;
    return frame;
}

MSHStackFrame MSHStackFrame::stackFrameWithSymbol(const QString &symbol)
{
    MSHStackFrame frame;
    frame.symbol = symbol;
    return frame;
}

QString MSHStackFrame::description() const
{
    const QString hex = QString::number(address, 16);
    if (!fileName.isEmpty())
        return QStringLiteral("{[0x%1] %2 - %3:%4}").arg(hex, fileName, symbol).arg(lineNumber);
    return QStringLiteral("{[0x%1 + %2] %3}").arg(hex).arg(lineNumber).arg(symbol);
}
