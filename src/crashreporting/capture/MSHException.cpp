#include "crashreporting/capture/MSHException.h"

#include "crashreporting/capture/MSHBinaryImage.h"
#include "crashreporting/capture/MSHProcess.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/common/MSHLog.h"

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <cxxabi.h>
#include <exception>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace
{

// One exception record at a time; a fatal one never waits on another thread for long.
std::atomic_flag recording = ATOMIC_FLAG_INIT;

bool acquireRecording(bool fatal)
{
    for (long spins = 0; recording.test_and_set(std::memory_order_acquire); ++spins) {
        if (fatal && spins > 200000)
            return false;
        sched_yield();
    }
    return true;
}

} // namespace

const char *MSHExceptionTypeName(int type)
{
    switch (type) {
    case MSHExceptionTypeObjectiveC:
        return "objective-c";
    case MSHExceptionTypeCpp:
        return "c++";
    case MSHExceptionTypeJavaScript:
        return "javascript";
    case MSHExceptionTypeCustom:
        return "custom";
    default:
        return "unknown";
    }
}

QByteArray MSHDemangleCppSymbolCString(const char *mangled)
{
    if (!mangled)
        return {};
    int status = 0;
    char *demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    if (!demangled || status != 0) {
        std::free(demangled);
        return QByteArray(mangled);
    }
    const QByteArray result(demangled);
    std::free(demangled);
    return result;
}

void MSHExceptionInitialize(MSHExceptionState *state)
{
    if (!state)
        return;
    if (!MSHUnlinkIfExists(state->path))
        MSHSafeLog("%s: Unable to reset the exception file %s", __func__, state->path);
    if (!MSHUnlinkIfExists(state->customPath))
        MSHSafeLog("%s: Unable to reset the custom exception file %s", __func__, state->customPath);
    state->previousTerminate = std::set_terminate(MSHTerminateHandler);
    if (state->previousTerminate == MSHTerminateHandler)
        state->previousTerminate = nullptr;
    if (MSHWritableContext *writable = MSHContextWritable())
        writable->customExceptionCount.store(0);
}

void MSHTerminateHandler()
{
    MSHSafeLog("%s: uncaught exception", __func__);
    // std::terminate called with no exception in flight is recorded too, with no name.
    const std::type_info *type = abi::__cxa_current_exception_type();
    QByteArray name;
    QByteArray reason;
    if (type) {
        name = MSHDemangleCppSymbolCString(type->name());
        try {
            std::rethrow_exception(std::current_exception());
        } catch (const char *text) {
            reason = QByteArray(text ? text : "");
        } catch (const std::string &text) {
            reason = QByteArray::fromStdString(text);
        } catch (const std::exception &exception) {
            reason = QByteArray(exception.what());
        } catch (const std::exception *exception) {
            reason = exception ? QByteArray(exception->what()) : QByteArray();
        } catch (...) {
        }
    }
    MSHExceptionRecord(MSHExceptionTypeCpp, name, reason, {}, true);
    MSHReadOnlyContext *context = MSHContextReadOnly();
    if (context && context->exception.previousTerminate) {
        MSHSafeLog("%s: calling out to preexisting termination handler", __func__);
        context->exception.previousTerminate();
    }
    MSHSafeLog("%s: aborting after uncaught exception", __func__);
    std::abort();
}

void MSHExceptionRecord(int type, const QByteArray &name, const QByteArray &reason,
                        const QList<MSHExceptionFrame> &frames, bool notify)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHWritableContext *writable = MSHContextWritable();
    if (!MSHContextIsInitialized() || !writable)
        return;
    const bool fatal = type == MSHExceptionTypeObjectiveC || type == MSHExceptionTypeCpp;
    MSHSafeLog("%s: Recording an exception structure (%d, %d)", __func__, int(notify), int(fatal));
    MSHBinaryImageRefresh();
    // The image lines should precede the record, but a terminating thread waits for the queue
    // only briefly.
    if (fatal)
        MSHBinaryImageFlush(1000);

    // Written on the calling thread: a terminating thread must not wait on a queue that may be
    // the very one it runs on.
    const bool owned = acquireRecording(fatal);
    if (!fatal) {
        if (writable->customExceptionCount.load() >= context->exception.maxCustomExceptions) {
            recording.clear(std::memory_order_release);
            return;
        }
        writable->customExceptionCount.fetch_add(1);
    }
    MSHFile file;
    if (!MSHFileInitWithPath(&file, fatal ? context->exception.path : context->exception.customPath,
                             false)) {
        MSHSafeLog("%s: Unable to open exception file", __func__);
    } else {
        MSHFileWriteSectionStart(&file, "exception");
        MSHFileWriteHashStart(&file);
        MSHFileWriteHashEntryString(&file, "type", MSHExceptionTypeName(type));
        MSHFileWriteHashEntryHexEncodedBytes(&file, "name", name.constData(), size_t(name.size()));
        MSHFileWriteHashEntryHexEncodedBytes(&file, "reason", reason.constData(),
                                             size_t(reason.size()));
        MSHFileWriteHashEntryUint64(&file, "time", uint64_t(std::time(nullptr)));
        if (!frames.isEmpty()) {
            MSHFileWriteHashKey(&file, "frames");
            MSHFileWriteArrayStart(&file);
            for (const MSHExceptionFrame &frame : frames) {
                MSHFileWriteHashStart(&file);
                MSHFileWriteHashEntryUint64(&file, "pc", frame.pc);
                if (!frame.symbol.isNull())
                    MSHFileWriteHashEntryHexEncodedBytes(&file, "symbol", frame.symbol.constData(),
                                                         size_t(frame.symbol.size()));
                MSHFileWriteHashEntryUint64(&file, "offset", frame.offset);
                if (!frame.library.isNull())
                    MSHFileWriteHashEntryHexEncodedBytes(
                        &file, "library", frame.library.constData(), size_t(frame.library.size()));
                if (!frame.file.isNull())
                    MSHFileWriteHashEntryHexEncodedBytes(&file, "file", frame.file.constData(),
                                                         size_t(frame.file.size()));
                MSHFileWriteHashEntryUint64(&file, "line", frame.line);
                MSHFileWriteHashEnd(&file);
            }
            MSHFileWriteArrayEnd(&file);
        }
        MSHFileWriteHashEnd(&file);
        MSHFileWriteSectionEnd(&file);
        if (fatal)
            MSHHandler(&file, MSHCurrentThreadID(), nullptr, true);
        MSHFileClose(&file);
    }
    MSHSafeLog("%s: Finished recording an exception structure", __func__);
    if (owned)
        recording.clear(std::memory_order_release);
}

void MSHExceptionCheckHandlers()
{
    const std::terminate_handler current = std::set_terminate(MSHTerminateHandler);
    if (current == MSHTerminateHandler || !current)
        return;
    QByteArray symbol("unknown");
    QByteArray image("unknown");
    MSHLookupSymbolAndImageNames(reinterpret_cast<const void *>(current),
                                 [&](const char *s, const char *i) {
                                     if (s)
                                         symbol = s;
                                     if (i)
                                         image = i;
                                 });
    MSHLog("[Mishap:Crash]", QStringLiteral("Warning: std::set_terminate is '%1' in '%2'")
                                 .arg(QString::fromUtf8(symbol), QString::fromUtf8(image)));
    std::set_terminate(current);
}
