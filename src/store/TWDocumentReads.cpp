#include "store/TWDocumentReads.h"

namespace
{

// The outermost open scope's business and its number; inner scopes share them. Numbers are
// never used twice, so what an earlier scope kept on a document is never taken for this one's.
struct Reads {
    const TWBusiness *business = nullptr;
    int depth = 0;
    quint64 number = 0;
    quint64 lastNumber = 0;
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
    if (r.depth == 0) {
        r.business = business;
        r.number = ++r.lastNumber;
    }
    ++r.depth;
}

TWDocumentReadScope::~TWDocumentReadScope()
{
    Reads &r = reads();
    if (m_open && --r.depth == 0) {
        r.business = nullptr;
        r.number = 0;
    }
}

bool TWDocumentReadScope::readBefore(const TWBusiness &business, TWDocumentReadings &readings)
{
    const Reads &r = reads();
    if (r.business != &business)
        return false;
    if (readings.transactionsReadIn == r.number)
        return true;
    readings.transactionsReadIn = r.number;
    return false;
}

bool TWDocumentReadScope::wasRead(const TWBusiness &business, const TWDocumentReadings &readings)
{
    const Reads &r = reads();
    return r.business == &business && readings.transactionsReadIn == r.number;
}

TWPaymentEntryList TWDocumentReadScope::entries(const TWBusiness &business,
                                                TWDocumentReadings &readings, int reading,
                                                const std::function<TWPaymentEntryList()> &make)
{
    const Reads &r = reads();
    if (r.business != &business || reading < 0 || reading >= int(readings.entries.size()))
        return make();
    const auto at = size_t(reading);
    if (readings.entriesMadeIn[at] != r.number) {
        readings.entries[at] = make();
        readings.entriesMadeIn[at] = r.number;
    }
    return readings.entries[at];
}

qint64 TWDocumentReadScope::homeOwe(const TWBusiness &business, TWDocumentReadings &readings,
                                    const std::function<qint64()> &make)
{
    const Reads &r = reads();
    if (r.business != &business)
        return make();
    if (readings.homeOweMadeIn != r.number) {
        readings.homeOwe = make();
        readings.homeOweMadeIn = r.number;
    }
    return readings.homeOwe;
}
