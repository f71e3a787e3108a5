#pragma once
// Reads comma-separated text: the first row with a field names the columns,
// every later one is a data row. Only the comma separates; quotes may open and
// close anywhere in a field; a run of line breaks is one row break, so blank
// lines never make rows; fields keep their spaces.

#include "import/core/TWParser.h"

class TWParserCSV : public TWParser
{
public:
    static std::shared_ptr<TWParserCSV> parser();

    void parse(const QByteArray &data) override;
};
