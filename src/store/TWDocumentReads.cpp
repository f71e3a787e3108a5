#include "store/TWDocumentReads.h"

#include "store/TWBusiness.h"

namespace
{

// The outermost open scope's business, its number and the business's reading revision when it
// opened (0: none, never taken); inner scopes share them. Numbers are never used twice, so what
// an earlier scope kept on a document is taken for this one's only by its revision.
struct Reads {
    const TWBusiness *business = nullptr;
    int depth = 0;
    quint64 number = 0;
    quint64 lastNumber = 0;
    quint64 revision = 0;
    quint64 stamp = 0;
    quint64 lastReading = 0;
};

// Whether what was made at `madeAt` of the store reading found standing in this scope stands.
bool standsSince(const Reads &r, const TWDocumentReadings &readings, quint64 madeAt)
{
    return r.revision != 0 && madeAt == r.revision && readings.readAtRevision == r.revision &&
           readings.transactionsReadIn == r.number;
}

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
        r.revision = business->readingRevision();
        r.stamp = business->transactionStamp();
    }
    ++r.depth;
}

TWDocumentReadScope::~TWDocumentReadScope()
{
    Reads &r = reads();
    if (m_open && --r.depth == 0) {
        r.business = nullptr;
        r.number = 0;
        r.revision = 0;
        r.stamp = 0;
    }
}

bool TWDocumentReadScope::readBefore(const TWBusiness &business, TWDocumentReadings &readings,
                                     const TWTransactionList &held)
{
    const Reads &r = reads();
    if (r.business != &business)
        return false;
    if (readings.transactionsReadIn == r.number)
        return true;
    readings.transactionsReadIn = r.number;
    if (r.revision == 0 || readings.readAtRevision != r.revision ||
        business.transactionsChangedSince(readings.readAtStamp, held))
        return false;
    // Found standing now: the next update looks only at what is written after this.
    readings.readAtStamp = r.stamp;
    return true;
}

void TWDocumentReadScope::noteReadFromStore(const TWBusiness &business,
                                            TWDocumentReadings &readings)
{
    Reads &r = reads();
    if (r.business == &business) {
        readings.readAtRevision = r.revision;
        readings.readAtStamp = r.stamp;
        readings.readSerial = r.revision != 0 ? ++r.lastReading : 0;
    }
}

quint64 TWDocumentReadScope::standingReading(const TWBusiness &business,
                                             const TWDocumentReadings &readings)
{
    const Reads &r = reads();
    const bool stands = r.business == &business && r.revision != 0 &&
                        readings.readAtRevision == r.revision &&
                        readings.transactionsReadIn == r.number;
    return stands ? readings.readSerial : 0;
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
    if (readings.entriesMadeIn[at] != r.number &&
        !standsSince(r, readings, readings.entriesMadeAt[at])) {
        readings.entries[at] = make();
        readings.entriesMadeAt[at] = readings.readAtRevision;
    }
    readings.entriesMadeIn[at] = r.number;
    return readings.entries[at];
}

qint64 TWDocumentReadScope::homeOwe(const TWBusiness &business, TWDocumentReadings &readings,
                                    const std::function<qint64()> &make)
{
    const Reads &r = reads();
    if (r.business != &business)
        return make();
    if (readings.homeOweMadeIn != r.number && !standsSince(r, readings, readings.homeOweMadeAt)) {
        readings.homeOwe = make();
        readings.homeOweMadeAt = readings.readAtRevision;
    }
    readings.homeOweMadeIn = r.number;
    return readings.homeOwe;
}

std::optional<QSet<qint32>> TWPaidProjectsSince::projectsToReadAgain(const TWBusiness &business)
{
    std::optional<QSet<qint32>> projects;
    if (m_business == &business)
        projects = business.projectsPaidByTransactionsWrittenSince(m_revision, m_stamp);
    m_business = &business;
    m_revision = business.readingRevision();
    m_stamp = business.transactionStamp();
    return projects;
}
