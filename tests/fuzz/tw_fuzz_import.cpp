// libFuzzer entry for one import parser (chosen when compiling). Any input must
// parse without a fault the sanitizers see and give rows of the parser's shape.

#include "import/core/TWParserCSV.h"
#include "import/core/TWParserOFX.h"
#include "import/core/TWParserQIF.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
#if defined(TW_FUZZ_CSV)
    auto parser = TWParserCSV::parser();
    parser->parse(bytes);
    if (!parser->columns() && !parser->rows().isEmpty())
        std::abort();
#elif defined(TW_FUZZ_QIF)
    auto parser = TWParserQIF::parser();
    parser->parse(bytes);
    for (const QStringList &row : parser->rows()) {
        if (row.size() != 7)
            std::abort();
    }
#else
    auto parser = TWParserOFX::parser();
    parser->parse(bytes);
    for (const QStringList &row : parser->rows()) {
        if (row.size() < 5 || row.size() > parser->columns()->size())
            std::abort();
    }
#endif
    return 0;
}
