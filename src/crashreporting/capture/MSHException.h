#pragma once
// Uncaught C++ exceptions (through std::set_terminate) and the non-fatal exceptions the
// application reports: each becomes an "exception" line, fatal ones followed by the crash
// sections in "exception.mshrecord", others in "custom_exception.mshrecord".

#include "crashreporting/capture/MSHContext.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

enum MSHExceptionType : int {
    MSHExceptionTypeObjectiveC = 1,
    MSHExceptionTypeCpp = 2,
    MSHExceptionTypeJavaScript = 3,
    MSHExceptionTypeCustom = 4,
};

struct MSHExceptionFrame {
    uint64_t pc = 0;
    QByteArray symbol; // left out when null
    uint64_t offset = 0;
    QByteArray library;
    QByteArray file;
    uint32_t line = 0;
};

const char *MSHExceptionTypeName(int type);
void MSHExceptionInitialize(MSHExceptionState *state);
[[noreturn]] void MSHTerminateHandler();
// Writes the record on the calling thread; fatal records also carry the crash sections.
void MSHExceptionRecord(int type, const QByteArray &name, const QByteArray &reason,
                        const QList<MSHExceptionFrame> &frames, bool notify);
// Puts the terminate handler back when another one replaced it, with a warning.
void MSHExceptionCheckHandlers();
// The readable form of a mangled C++ name (the name itself when it does not demangle).
QByteArray MSHDemangleCppSymbolCString(const char *mangled);
