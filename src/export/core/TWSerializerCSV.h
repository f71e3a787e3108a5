#pragma once
// Writes a table of cells as comma-separated values: every value between
// double quotes (quotes doubled), empty fields for missing columns, empty
// lines for missing rows, "\r\n" between lines and none after the last.

#include "TWSerializer.h"

class TWSerializerCSV final : public TWSerializer
{
public:
    TW_SERIALIZER_FACTORIES(TWSerializerCSV)

    QString text() const override;
};
