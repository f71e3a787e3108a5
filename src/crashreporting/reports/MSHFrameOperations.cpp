#include "crashreporting/reports/MSHFrameOperations.h"

#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/reports/MSHSymbolResolver.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <unistd.h>

void MSHOperation::start()
{
    if (!isCancelled())
        main();
}

void MSHThreadArrayOperation::enumerateFramesWithBlock(
    const std::function<void(MSHStackFrame &)> &block)
{
    if (!threadArray)
        return;
    for (QList<MSHStackFrame> &thread : *threadArray) {
        for (MSHStackFrame &frame : thread) {
            block(frame);
            if (isCancelled())
                break;
        }
    }
}

void MSHSymbolicationOperation::main()
{
    if (!symbolResolver)
        return;
    enumerateFramesWithBlock(
        [this](MSHStackFrame &frame) { symbolResolver->updateStackFrame(frame); });
}

std::optional<QString> MSHDemangleOperation::demangleCppSymbol(const QByteArray &symbol)
{
    int status = 0;
    char *demangled = abi::__cxa_demangle(symbol.constData(), nullptr, nullptr, &status);
    if (status != 0 || !demangled) {
        std::free(demangled);
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(demangled);
    std::free(demangled);
    return text;
}

std::optional<QString> MSHDemangleOperation::demangleBlockInvokeCppSymbol(const QByteArray &symbol)
{
    const qsizetype marker = symbol.lastIndexOf("_block_invoke");
    if (marker < 5)
        return std::nullopt;
    const std::optional<QString> function = demangleSymbol(symbol.mid(1, marker - 1));
    if (!function)
        return std::nullopt;
    return *function + QString::fromUtf8(symbol.mid(marker));
}

std::optional<QString> MSHDemangleOperation::demangleSwiftSymbol(const QByteArray &)
{
    // No Swift demangler exists in this program: such names stay as recorded.
    return std::nullopt;
}

std::optional<QString> MSHDemangleOperation::demangleSymbol(const QByteArray &symbol)
{
    if (symbol.startsWith("_Z"))
        return demangleCppSymbol(symbol);
    if (symbol.startsWith("__Z"))
        return demangleBlockInvokeCppSymbol(symbol);
    if (symbol.startsWith("_T"))
        return demangleSwiftSymbol(symbol);
    return std::nullopt;
}

void MSHDemangleOperation::main()
{
    enumerateFramesWithBlock([](MSHStackFrame &frame) {
        if (frame.symbol.isEmpty())
            return;
        if (const std::optional<QString> demangled = demangleSymbol(frame.symbol.toUtf8()))
            frame.symbol = *demangled;
    });
}

QString MSHSerializeSymbolicatedFramesOperation::temporaryPathFor(const QString &outputPath)
{
    const QFileInfo output(outputPath);
    return output.path() + QStringLiteral("/.") + output.fileName() + QStringLiteral(".partial");
}

void MSHSerializeSymbolicatedFramesOperation::main()
{
    m_written = false;
    m_writeError = 0;
    MSHFile file;
    const QByteArray temporary = QFile::encodeName(temporaryPathFor(outputPath));
    // What a cut-off run left (or anything planted under the name) goes first.
    ::unlink(temporary.constData());
    if (outputPath.isEmpty() ||
        !MSHFileInitWithPathMode(&file, temporary.constData(), false, false)) {
        m_writeError = outputPath.isEmpty() ? EINVAL : errno;
        MSHLog("[Mishap:Crash:Symbolication]", QStringLiteral("Failed to create output file"));
        return;
    }
    MSHFileWriteSectionStart(&file, "threads");
    MSHFileWriteArrayStart(&file);
    if (threadArray) {
        for (const QList<MSHStackFrame> &thread : *threadArray) {
            MSHFileWriteArrayStart(&file);
            for (const MSHStackFrame &frame : thread) {
                const QByteArray symbol = frame.symbol.toUtf8();
                const QByteArray library = frame.library.toUtf8();
                MSHFileWriteHashStart(&file);
                MSHFileWriteHashEntryString(&file, "symbol",
                                            frame.symbol.isEmpty() ? nullptr : symbol.constData());
                MSHFileWriteHashEntryUint64(&file, "offset", frame.offset);
                MSHFileWriteHashEntryString(
                    &file, "library", frame.library.isEmpty() ? nullptr : library.constData());
                MSHFileWriteHashEnd(&file);
            }
            MSHFileWriteArrayEnd(&file);
        }
    }
    MSHFileWriteArrayEnd(&file);
    MSHFileWriteSectionEnd(&file);
    if (!MSHFileClose(&file) ||
        ::rename(temporary.constData(), QFile::encodeName(outputPath).constData()) != 0) {
        m_writeError = errno;
        MSHLog("[Mishap:Crash:Symbolication]", QStringLiteral("Failed to write output file"));
        ::unlink(temporary.constData());
        return;
    }
    m_written = true;
}
