#pragma once
// A client's project, or an estimate of one: its dates, rate, unit and tax
// rate, and the invoices made for it. Its tasks and expenses hang off its
// identifier; all its amounts are in its own unit.

#include "model/TWExpense.h"
#include "model/TWInvoice.h"
#include "model/TWTask.h"
#include "model/TWUnit.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

enum TWProjectType : int {
    TWProjectTypeEstimate = 0, // its tasks count their estimates
    TWProjectTypeProject = 1,  // its tasks count the work done
};

class TWProject;
using TWProjectPtr = std::shared_ptr<TWProject>;
using TWProjectList = QList<TWProjectPtr>;

class TWProject
{
public:
    TWProject() = default;
    TWProject(QDateTime date, bool completed, QString name, std::uint32_t type, QDateTime startDate,
              QDateTime endDate, qint64 rate, TWUnitPtr unit, double taxRate, QString notes,
              qint32 clientIdentifier, qint32 identifier);

    static TWProjectPtr projectWithDate(const QDateTime &date, bool completed, const QString &name,
                                        std::uint32_t type, const QDateTime &startDate,
                                        const QDateTime &endDate, qint64 rate,
                                        const TWUnitPtr &unit, double taxRate, const QString &notes,
                                        qint32 clientIdentifier, qint32 identifier);

    // Every field but the invoices (the copy has none); the unit is shared.
    TWProjectPtr copy() const;

    const QDateTime &date() const { return m_date; }
    void setDate(const QDateTime &v) { m_date = v; }
    bool completed() const { return m_completed; }
    void setCompleted(bool v) { m_completed = v; }
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    // TWProjectType.
    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t v) { m_type = v; }
    // Either may be invalid (none).
    const QDateTime &startDate() const { return m_startDate; }
    void setStartDate(const QDateTime &v) { m_startDate = v; }
    const QDateTime &endDate() const { return m_endDate; }
    void setEndDate(const QDateTime &v) { m_endDate = v; }
    qint64 rate() const { return m_rate; }
    void setRate(qint64 v) { m_rate = v; }
    // The unit of every amount of the project.
    const TWUnitPtr &unit() const { return m_unit; }
    void setUnit(const TWUnitPtr &v) { m_unit = v; }
    // Percent (5.0 is five percent).
    double taxRate() const { return m_taxRate; }
    void setTaxRate(double v) { m_taxRate = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }
    // As last filled in (updateInvoicesWithBusiness).
    const TWInvoiceList &invoices() const { return m_invoices; }
    void setInvoices(const TWInvoiceList &v) { m_invoices = v; }
    qint32 clientIdentifier() const { return m_clientIdentifier; }
    void setClientIdentifier(qint32 v) { m_clientIdentifier = v; }
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }

    bool isEqual(const TWProject &other) const { return m_identifier == other.m_identifier; }
    // By name, case-sensitively: -1, 0 or 1.
    int compare(const TWProject &other) const;

    // --- Over the invoices, each asked through the function passed ---

    // The sum of an amount of every invoice.
    qint64 sumOverInvoices(const std::function<qint64(const TWInvoice &)> &amount) const;
    // True when some invoice is overdue; `dueDate` (optional) receives the
    // earliest due date among the overdue invoices, or none.
    bool overdueOverInvoices(const std::function<bool(const TWInvoice &)> &overdue,
                             QDateTime *dueDate) const;
    // (total - owe) / total in single precision (1.0 fully paid); 0 when the
    // total is 0.
    static float percentPaid(qint64 total, qint64 owe);

    // --- Work still to invoice, in the project's unit ---

    // The sum of what the functions passed say is left to invoice of each of
    // `tasks` and then `expenses`.
    static qint64
    uninvoicedTotal(const TWTaskList &tasks, const TWExpenseList &expenses,
                    const std::function<qint64(const TWTask &)> &taskUninvoiced,
                    const std::function<qint64(const TWExpense &)> &expenseUninvoiced);
    // The same over the tasks and expenses dated from `fromDate` to `toDate`
    // (by day, both included; a missing bound is open), converted from the
    // project's unit into `homeUnit` (unconverted when either unit or the
    // converter is missing).
    qint64 uninvoicedTotal(const TWTaskList &tasks, const TWExpenseList &expenses,
                           const std::function<qint64(const TWTask &)> &taskUninvoiced,
                           const std::function<qint64(const TWExpense &)> &expenseUninvoiced,
                           const QDateTime &fromDate, const QDateTime &toDate,
                           const TWUnitPtr &homeUnit, const TWUnitConverter &convert) const;

private:
    QDateTime m_date;
    bool m_completed = false;
    QString m_name;
    std::uint32_t m_type = TWProjectTypeProject;
    QDateTime m_startDate;
    QDateTime m_endDate;
    qint64 m_rate = 0;
    TWUnitPtr m_unit;
    double m_taxRate = 0.0;
    QString m_notes;
    TWInvoiceList m_invoices;
    qint32 m_clientIdentifier = 0;
    qint32 m_identifier = 0;
};
