#include "work/TWProjectRows.h"
#include "work/TWWorkList.h"

#include "model/TWClient.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWOwing.h"
#include "store/TWWorkTotals.h"

#include <algorithm>
#include <vector>

namespace
{

int threeWay(qint64 a, qint64 b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int threeWay(double a, double b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int plainText(const QString &a, const QString &b)
{
    const int order = a.compare(b, Qt::CaseSensitive);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

qint64 msecs(const QDateTime &date)
{
    return date.isValid() ? date.toMSecsSinceEpoch() : 0;
}

} // namespace

void TWProjectRows::setProjects(const TWProjectList &projects)
{
    m_projects = projects;
    rebuildRowIndex();
    m_paidSince.forget();
    updateInvoices();
}

void TWProjectRows::clear()
{
    m_projects.clear();
    m_rowIndex.clear();
    m_listedTwice = false;
    m_paidSince.forget();
    forgetFigures();
}

void TWProjectRows::rebuildRowIndex()
{
    m_rowIndex.clear();
    m_listedTwice = false;
    for (int row = int(m_projects.size()) - 1; row >= 0; --row) {
        if (const TWProjectPtr &project = m_projects.at(row)) {
            m_listedTwice = m_listedTwice || m_rowIndex.contains(project->identifier());
            m_rowIndex.insert(project->identifier(), row);
        }
    }
}

void TWProjectRows::updateInvoices()
{
    forgetFigures();
    if (!m_business)
        return;
    const std::optional<QSet<qint32>> paid = m_paidSince.projectsToReadAgain(*m_business);
    if (paid && !m_listedTwice) {
        for (const qint32 identifier : *paid)
            if (const int row = m_rowIndex.value(identifier, -1); row >= 0)
                twUpdateInvoices(*m_projects.at(row), *m_business);
        return;
    }
    for (const TWProjectPtr &project : m_projects)
        if (project)
            twUpdateInvoices(*project, *m_business);
}

qint64 TWClientsOwing::homeOwing(TWBusiness &business, const TWClientList &clients)
{
    const std::optional<QSet<qint32>> paid = m_paidSince.projectsToReadAgain(business);
    if (!paid || clients != m_clients) {
        m_clients = clients;
        m_owings = business.projectHomeOwingsWithClients(clients);
        m_at.clear();
        for (qsizetype at = 0; at < m_owings.size(); ++at)
            m_at.insert(m_owings.at(at).project->identifier(), at);
    } else {
        for (const qint32 identifier : *paid) {
            for (auto at = m_at.constFind(identifier);
                 at != m_at.constEnd() && at.key() == identifier; ++at) {
                TWBusiness::ProjectOwing &owing = m_owings[*at];
                twUpdateInvoices(*owing.project, business);
                owing.homeOwe = twHomeOwe(*owing.project, business);
            }
        }
    }
    return TWBusiness::sumOwings(m_owings);
}

int TWProjectRows::row(const TWProject &project) const
{
    return m_rowIndex.value(project.identifier(), -1);
}

QString TWProjectRows::money(qint64 value, const TWUnit *unit) const
{
    return TWWorkList::money(value, unit);
}

QString TWProjectRows::text(const TWProject &project, int tag) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const TWUnit *unit = project.unit().get();
    switch (tag) {
    case TWProjectColumnDate:
        return formatter.shortDateString(project.date());
    case TWProjectColumnClient: {
        const TWClientPtr client =
            m_business ? m_business->clientWithIdentifier(project.clientIdentifier()) : nullptr;
        return client ? client->name() : QString();
    }
    case TWProjectColumnName:
        return project.name();
    case TWProjectColumnType:
        return formatter.projectTypeString(project.type());
    case TWProjectColumnStartDate:
        return project.startDate().isValid() ? formatter.shortDateString(project.startDate())
                                             : QString();
    case TWProjectColumnEndDate:
        return project.endDate().isValid() ? formatter.shortDateString(project.endDate())
                                           : QString();
    case TWProjectColumnRate:
        return formatter.valueString(project.rate(), unit, false, false, false, true, true);
    case TWProjectColumnUnit:
        return unit ? unit->code() : QString();
    case TWProjectColumnTaxRate:
        return formatter.numberString(float(project.taxRate())) + QLatin1Char('%');
    case TWProjectColumnTotalUninvoiced:
        return m_business ? money(twUninvoicedTotal(project, *m_business), unit) : QString();
    case TWProjectColumnTotalInvoiced:
        return m_business ? money(twTotal(project, *m_business), unit) : QString();
    case TWProjectColumnOwe:
        return m_business ? money(twOwe(project, *m_business), unit) : QString();
    case TWProjectColumnPercentPaid:
        return m_business ? formatter.percentValueString(twPercentPaid(project, *m_business), 0) +
                                QLatin1Char('%')
                          : QString();
    case TWProjectColumnOverdue: {
        QDateTime due;
        if (m_business && twOverdue(project, *m_business, &due))
            return formatter.overdueDateString(due);
        return {};
    }
    case TWProjectColumnNotes:
        return project.notes();
    default:
        return {};
    }
}

QString TWProjectRows::toolTip(const TWProject &project, int tag) const
{
    if (!m_business)
        return {};
    qint64 amount = 0;
    switch (tag) {
    case TWProjectColumnTotalUninvoiced:
        amount = twUninvoicedTotal(project, *m_business);
        break;
    case TWProjectColumnTotalInvoiced:
        amount = twTotal(project, *m_business);
        break;
    case TWProjectColumnOwe:
        amount = twOwe(project, *m_business);
        break;
    default:
        return {};
    }
    return money(m_business->totalInHomeCurrency(amount, project.unit()),
                 m_business->homeUnit().get());
}

QColor TWProjectRows::rowColour(const TWProject &project) const
{
    const TWPreferences &preferences = TWPreferences::preferences();
    if (m_business) {
        if (twOverdue(project, *m_business, nullptr))
            return preferences.overdueColour();
        if (twOwe(project, *m_business) >= 1)
            return preferences.oweColour();
    }
    if (project.completed())
        return preferences.completedColour();
    return project.type() == TWProjectTypeProject ? preferences.projectColour()
                                                  : preferences.estimateColour();
}

QColor TWProjectRows::cellColour(const TWProject &project, int tag) const
{
    switch (tag) {
    case TWProjectColumnPercentPaid:
    case TWProjectColumnNotes:
        return {};
    case TWProjectColumnOverdue:
        return QColor(Qt::red);
    default:
        return rowColour(project);
    }
}

// ---- Sorting ----

TWProjectRows::SortKey TWProjectRows::sortKey(const TWProject &project, int tag) const
{
    SortKey key;
    switch (tag) {
    case TWProjectColumnDate:
        key.missing = !project.date().isValid();
        key.number = msecs(project.date());
        break;
    case TWProjectColumnClient: {
        const TWClientPtr client =
            m_business ? m_business->clientWithIdentifier(project.clientIdentifier()) : nullptr;
        key.missing = !client;
        key.text = client ? client->name() : QString();
        break;
    }
    case TWProjectColumnCompleted:
        key.number = project.completed() ? 1 : 0;
        break;
    case TWProjectColumnName:
        key.missing = project.name().isNull();
        key.text = project.name();
        break;
    case TWProjectColumnNotes:
        key.missing = project.notes().isNull();
        key.text = project.notes();
        break;
    case TWProjectColumnType:
        key.text = TWFormatter::formatter().projectTypeString(project.type());
        break;
    case TWProjectColumnStartDate:
        key.missing = !project.startDate().isValid();
        key.number = msecs(project.startDate());
        break;
    case TWProjectColumnEndDate:
        key.missing = !project.endDate().isValid();
        key.number = msecs(project.endDate());
        break;
    case TWProjectColumnRate:
        key.number = project.rate();
        break;
    case TWProjectColumnUnit:
        key.missing = !project.unit();
        key.text = project.unit() ? project.unit()->code() : QString();
        break;
    case TWProjectColumnTaxRate:
        key.real = project.taxRate();
        break;
    case TWProjectColumnTotalUninvoiced:
        key.number = m_business ? twUninvoicedTotal(project, *m_business) : 0;
        break;
    case TWProjectColumnTotalInvoiced:
        key.number = m_business ? twTotal(project, *m_business) : 0;
        break;
    case TWProjectColumnOwe:
        key.number = m_business ? twOwe(project, *m_business) : 0;
        break;
    case TWProjectColumnPercentPaid:
        key.real = m_business ? double(twPercentPaid(project, *m_business)) : 0.0;
        break;
    case TWProjectColumnOverdue: {
        QDateTime due;
        const bool overdue = m_business && twOverdue(project, *m_business, &due);
        key.missing = !overdue;
        key.number = overdue ? msecs(due) : 0;
        break;
    }
    default:
        break;
    }
    return key;
}

int TWProjectRows::compareKeys(const SortKey &a, const SortKey &b, int tag)
{
    switch (tag) {
    case TWProjectColumnDate:
    case TWProjectColumnClient:
    case TWProjectColumnName:
    case TWProjectColumnNotes:
    case TWProjectColumnUnit:
        // What is missing sorts first.
        if (a.missing || b.missing)
            return a.missing == b.missing ? 0 : (a.missing ? -1 : 1);
        return tag == TWProjectColumnDate ? threeWay(a.number, b.number)
                                          : plainText(a.text, b.text);
    case TWProjectColumnType:
        return plainText(a.text, b.text);
    case TWProjectColumnStartDate:
    case TWProjectColumnEndDate:
        // A project with the date sorts before one without.
        if (a.missing || b.missing)
            return a.missing == b.missing ? 0 : (a.missing ? 1 : -1);
        return threeWay(a.number, b.number);
    case TWProjectColumnCompleted:
    case TWProjectColumnRate:
    case TWProjectColumnTotalUninvoiced:
    case TWProjectColumnTotalInvoiced:
    case TWProjectColumnOwe:
        return threeWay(a.number, b.number);
    case TWProjectColumnTaxRate:
        return threeWay(a.real, b.real);
    case TWProjectColumnPercentPaid:
        return threeWay(double(float(a.real)), double(float(b.real)));
    case TWProjectColumnOverdue:
        // Overdue first, the later due date (fewer days overdue) before the earlier.
        if (a.missing || b.missing)
            return a.missing == b.missing ? 0 : (a.missing ? 1 : -1);
        return threeWay(b.number, a.number);
    default:
        return 0;
    }
}

bool TWProjectRows::isFigure(int tag)
{
    return tag == TWProjectColumnTotalUninvoiced || tag == TWProjectColumnTotalInvoiced ||
           tag == TWProjectColumnOwe || tag == TWProjectColumnPercentPaid ||
           tag == TWProjectColumnOverdue;
}

void TWProjectRows::sort(int tag, bool ascending)
{
    // Each key is computed once: the money columns walk the invoices, and keep their keys
    // until the figures change.
    const bool figure = isFigure(tag);
    std::vector<std::pair<SortKey, TWProjectPtr>> keyed;
    keyed.reserve(size_t(m_projects.size()));
    for (const TWProjectPtr &project : m_projects) {
        if (!project) {
            keyed.emplace_back(SortKey(), project);
            continue;
        }
        if (!figure) {
            keyed.emplace_back(sortKey(*project, tag), project);
            continue;
        }
        const quint64 slot = (quint64(quint32(tag)) << 32) | quint32(project->identifier());
        auto known = m_figureKeys.constFind(slot);
        if (known == m_figureKeys.constEnd())
            known = m_figureKeys.insert(slot, sortKey(*project, tag));
        keyed.emplace_back(*known, project);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [tag, ascending](const auto &a, const auto &b) {
        const int order = compareKeys(a.first, b.first, tag);
        return ascending ? order < 0 : order > 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        m_projects[qsizetype(i)] = keyed[i].second;
    rebuildRowIndex();
}
