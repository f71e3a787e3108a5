#include "import/core/TWParser.h"

TWParser::~TWParser() = default;

std::shared_ptr<TWParser> TWParser::parser()
{
    return std::make_shared<TWParser>();
}

void TWParser::parse(const QByteArray &)
{
}
