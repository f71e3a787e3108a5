#include "store/TWDocumentReads.h"

#include <QSet>

namespace
{

// The outermost open scope's business and what it read; inner scopes share them.
struct Reads {
    const TWBusiness *business = nullptr;
    int depth = 0;
    QSet<const void *> read;
};

Reads &reads()
{
    static Reads r;
    return r;
}

} // namespace

TWDocumentReadScope::TWDocumentReadScope(const TWBusiness *business) : m_open(business)
{
    Reads &r = reads();
    if (!m_open)
        return;
    if (r.depth == 0)
        r.business = business;
    ++r.depth;
}

TWDocumentReadScope::~TWDocumentReadScope()
{
    Reads &r = reads();
    if (m_open && --r.depth == 0) {
        r.business = nullptr;
        r.read.clear();
    }
}

bool TWDocumentReadScope::readBefore(const TWBusiness &business, const void *document)
{
    Reads &r = reads();
    if (r.business != &business)
        return false;
    if (r.read.contains(document))
        return true;
    r.read.insert(document);
    return false;
}
