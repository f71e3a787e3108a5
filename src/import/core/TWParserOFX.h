#pragma once
// Reads Open Financial Exchange bank statements, version 1 (SGML after a
// plain-text header, rewritten here as XML) and version 2 (XML), with the
// shared XML reader, which expands no entities and loads nothing. Rows hold
// the date, name, memo and currency of each transaction followed by one amount
// column per currency met, amounts as the change of the statement's account.

#include "import/core/TWParser.h"

#include <QString>

class TWParserOFX : public TWParser
{
public:
    static std::shared_ptr<TWParserOFX> parser();

    void parse(const QByteArray &data) override;

    // The number after "OFXHEADER:" in a version 1 header, or 0.
    static int v1Version(const QString &text);
    // Version 1 text as XML: the plain-text header and the white space between
    // tags dropped, every element that holds text closed where its text ends
    // (before its line break), and "&" escaped unless it begins one of XML's
    // five entities or a character reference.
    static QString convertToXML(const QString &text);
};
