#pragma once
// What tasks and expenses share as the billable lines of a project: a date, a
// name, the project and the tax arithmetic of one line. Tax rates are
// percentages (7.5 is seven and a half percent); money is in minor units of
// the project's unit.

#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

class TWInvoice;
class TWProject;

enum TWInvoiceItemType : int {
    TWInvoiceItemTypeTask = 0,
    TWInvoiceItemTypeExpense = 1,
};

class TWInvoiceItem
{
public:
    virtual ~TWInvoiceItem() = default;
    TWInvoiceItem &operator=(const TWInvoiceItem &) = delete;

    const QDateTime &date() const { return m_date; }
    void setDate(const QDateTime &v) { m_date = v; }
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    qint32 projectIdentifier() const { return m_projectIdentifier; }
    void setProjectIdentifier(qint32 v) { m_projectIdentifier = v; }
    // Tasks and expenses are numbered separately.
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }
    // TWInvoiceItemType; set by the subclass.
    std::uint32_t type() const { return m_type; }

    bool isEqual(const TWInvoiceItem &other) const { return m_identifier == other.m_identifier; }
    // By date; on the same moment an expense before a task, then identifier
    // ascending: -1, 0 or 1.
    int compare(const TWInvoiceItem &other) const;

    // The tax on a subtotal at a percentage rate, rounded half away from zero;
    // 0 at rate 0.
    static qint64 taxWithSubtotal(qint64 subtotal, double taxRate);
    // Subtotal and tax together, rounded once from (rate + 100) x subtotal / 100
    // (which may differ by one from subtotal + tax); the subtotal at rate 0.
    static qint64 totalWithSubtotal(qint64 subtotal, double taxRate);

protected:
    TWInvoiceItem(QDateTime date, QString name, qint32 projectIdentifier, qint32 identifier,
                  std::uint32_t type);
    TWInvoiceItem(const TWInvoiceItem &) = default;

private:
    QDateTime m_date;
    QString m_name;
    qint32 m_projectIdentifier = 0;
    qint32 m_identifier = 0;
    std::uint32_t m_type = TWInvoiceItemTypeTask;
};
