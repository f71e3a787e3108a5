#pragma once
// Reads an XML document into a tree of TWXMLElements. Layout packages, the
// news feed and bank files come from outside, so the reader never expands
// entities, never loads a DTD or anything else over the network or from disk,
// and refuses documents beyond a size, an element count, a nesting depth and
// a number of attributes on one element and in all.

#include "foundation/TWError.h"
#include "foundation/TWXMLElement.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The domain of every error record the reader hands back.
inline constexpr const char *TWXMLSyntaxErrorDomain = "XML Syntax Error";

class TWXMLParser
{
public:
    static constexpr qint64 kDefaultMaximumSize = 32LL * 1024 * 1024;
    static constexpr qint64 kDefaultMaximumElementCount = 1000000;
    // Layouts nest a few dozen levels at most, feeds and bank files less.
    static constexpr int kMaximumDepth = 128;
    // libxml2's work on one start tag grows with the square of its
    // attributes, so their number is bounded before libxml2 sees the bytes.
    static constexpr int kMaximumAttributeCount = 100;
    // Building the tree costs time for each attribute; no document read here
    // needs more than a few thousand.
    static constexpr qint64 kMaximumAttributeTotal = 200000;
    // Size caps for the documents that are small: a layout's description and
    // the news feed. Bank files keep kDefaultMaximumSize.
    static constexpr qint64 kLayoutMaximumSize = 2LL * 1024 * 1024;
    static constexpr qint64 kNewsFeedMaximumSize = 1LL * 1024 * 1024;

    TWXMLParser();
    ~TWXMLParser();
    TWXMLParser(const TWXMLParser &) = delete;
    TWXMLParser &operator=(const TWXMLParser &) = delete;

    // Prepares libxml2 for use on any thread: initialises it and installs, once
    // for the whole process, an external-entity loader that refuses
    // everything. Every reader and writer calls it before touching libxml2.
    static void prepareLibrary();

    // A new parser; make one per document.
    static std::shared_ptr<TWXMLParser> xmlParser();

    // Parses the whole document and returns its root element. After an error
    // the tree built up to it is returned all the same, so callers must look
    // at the error (handed back through `error` when given, and kept in
    // error()).
    TWXMLElementPtr parseData(const QByteArray &data, TWErrorResult *error = nullptr);
    // Reads the file and parses its bytes; a file that cannot be read parses
    // as an empty document (no root, an error).
    TWXMLElementPtr parseFilePath(const QString &path, TWErrorResult *error = nullptr);

    const TWXMLElementPtr &rootElement() const { return m_rootElement; }
    // The elements open at the moment, innermost last.
    const TWXMLElementList &elementStack() const { return m_elementStack; }
    // The last error of the last parse, or none.
    const TWErrorResult &error() const { return m_error; }

    // Documents larger than this many bytes are refused before parsing.
    qint64 maximumSize() const { return m_maximumSize; }
    void setMaximumSize(qint64 bytes) { m_maximumSize = bytes; }
    // A document with more elements than this is refused while parsing.
    qint64 maximumElementCount() const { return m_maximumElementCount; }
    void setMaximumElementCount(qint64 count) { m_maximumElementCount = count; }

    // What the libxml2 callbacks forward to.
    void xmlElementStart(const QString &name, const TWXMLAttributes &attributes);
    void xmlElementEnd(const QString &name);
    void xmlCharacters(const QString &characters);
    void xmlError(const QString &message);

    // Records `message` as the error and stops the parse in progress; later
    // complaints of the parser do not replace it.
    void refuse(const QString &message);

private:
    TWXMLElementPtr m_rootElement;
    TWXMLElementList m_elementStack;
    TWErrorResult m_error;
    qint64 m_maximumSize = kDefaultMaximumSize;
    qint64 m_maximumElementCount = kDefaultMaximumElementCount;
    qint64 m_elementCount = 0;
    bool m_refused = false;
    void *m_context = nullptr; // the libxml2 parser context of the parse in progress
};
