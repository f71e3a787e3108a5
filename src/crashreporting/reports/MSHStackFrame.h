#pragma once
// One frame of a recorded stack trace while a report is symbolicated: the address as recorded
// and what symbolication and demangling found for it.

#include <QString>

#include <cstdint>

struct MSHStackFrame {
    uint64_t address = 0;
    QString symbol;
    QString library;
    QString fileName;
    uint32_t lineNumber = 0;
    uint64_t offset = 0;
    // A caller's frame: the address is where the call returns to, one past the call, which may
    // already be the next function. A thread's own frame (where it stopped) is exact.
    bool returnAddress = false;

    static MSHStackFrame stackFrame() { return {}; }
    static MSHStackFrame stackFrameWithAddress(uint64_t address);
    static MSHStackFrame stackFrameWithSymbol(const QString &symbol);

    // "{[0x%llx] file - symbol:line}" with a file name, else "{[0x%llx + line] symbol}".
    QString description() const;
};
