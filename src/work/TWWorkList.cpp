#include "work/TWWorkList.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"
#include "store/TWDocumentNames.h"
#include "store/TWOwing.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QToolButton>

#include <algorithm>

namespace TWWorkList
{

TWWorkColumn column(int tag, const char *identifier, TWWorkColumn::Kind kind, bool right,
                    int minimumFit, const char *titleKey, const char *menuKey)
{
    TWWorkColumn result;
    result.tag = tag;
    result.identifier = QString::fromLatin1(identifier);
    result.titleKey = titleKey ? titleKey : identifier;
    result.menuKey = menuKey;
    result.kind = kind;
    result.rightAligned = right;
    result.minimumFit = minimumFit;
    return result;
}

Bar makeBar(QWidget *parent, const QString &countName, const QString &totalName)
{
    Bar bar;
    bar.widget = new QWidget(parent);
    auto *layout = new QHBoxLayout(bar.widget);
    layout->setContentsMargins(8, 4, 8, 4);
    bar.add = new QToolButton(bar.widget);
    bar.add->setIcon(QIcon(QStringLiteral(":/icons/Add.png")));
    bar.remove =
        new QPushButton(QIcon(QStringLiteral(":/icons/Remove.png")), QString(), bar.widget);
    bar.remove->setFlat(true);
    bar.count = new QLabel(bar.widget);
    bar.count->setObjectName(countName);
    bar.total = new QLabel(bar.widget);
    bar.total->setObjectName(totalName);
    layout->addWidget(bar.add);
    layout->addWidget(bar.remove);
    layout->addStretch(1);
    layout->addWidget(bar.count);
    layout->addStretch(1);
    layout->addWidget(bar.total);
    return bar;
}

void showCountTotal(QLabel *count, QLabel *total, qsizetype listed, const QString &noun,
                    qsizetype selected, const QString &allTotal,
                    const std::function<QString()> &selectedTotal)
{
    if (selected == 0) {
        count->setText(QStringLiteral("%1 %2").arg(listed).arg(noun));
        total->setText(allTotal);
    } else {
        count->setText(QStringLiteral("%1 / %2 %3").arg(selected).arg(listed).arg(noun));
        total->setText(QStringLiteral("%1 / %2").arg(selectedTotal(), allTotal));
    }
}

QMenu *shownOrNone(QMenu *menu)
{
    if (menu && menu->isEmpty()) {
        delete menu;
        return nullptr;
    }
    return menu;
}

void confirmDeletion(QObject *owner, qsizetype count, const char *title, const char *titlePlural,
                     const char *button, const char *buttonPlural, QWidget *window,
                     std::function<void()> confirmed, const QString &informative)
{
    TWAlert alert;
    alert.message = TWLocalized(count < 2 ? title : titlePlural);
    alert.informativeText = informative;
    alert.buttons = {TWLocalized(count < 2 ? button : buttonPlural), TWLocalized("cancel")};
    alert.window = window;
    QPointer<QObject> guarded(owner);
    twRunAlert(alert, [guarded, confirmed = std::move(confirmed)](int code) {
        if (guarded && code == 1000)
            confirmed();
    });
}

namespace
{

// Of the documents, the invoices of projects (not an estimate's).
TWInvoiceList invoicesOfProjects(const TWBusiness &business, const TWInvoiceList &invoices)
{
    TWInvoiceList result;
    for (const TWInvoicePtr &invoice : invoices) {
        const TWProjectPtr project = business.projectWithIdentifier(invoice->projectIdentifier());
        if (project && project->type() == TWProjectTypeProject)
            result.append(invoice);
    }
    return result;
}

// One line for each sent or paid invoice: what the client will then be owed
// on it, by `owe`.
QStringList owingLines(const TWBusiness &business, const TWInvoiceList &invoices,
                       const std::function<qint64(const TWInvoice &)> &owe)
{
    QStringList lines;
    // An invoice the client already has (or has paid) changes under them.
    for (const TWInvoicePtr &invoice : invoices) {
        if (!invoice->paid() && !invoice->sent())
            continue;
        const TWProjectPtr project = business.projectWithIdentifier(invoice->projectIdentifier());
        lines.append(
            TWLocalized(invoice->paid() ? "deleteBilledPaidInvoice" : "deleteBilledSentInvoice")
                .arg(twInvoiceNames({invoice}), money(owe(*invoice), unitOf(project))));
    }
    return lines;
}

} // namespace

bool confirmBilledDeletion(QObject *owner, TWBusiness &business, const TWInvoiceList &billed,
                           const TWTaskList &tasks, const TWExpenseList &expenses, qsizetype count,
                           const char *title, const char *titlePlural, const char *button,
                           const char *buttonPlural, QWidget *window,
                           std::function<void()> confirmed)
{
    TWInvoiceList closed;
    for (const TWInvoicePtr &invoice : billed) {
        if (business.invoiceOfClosedPeriod(*invoice))
            closed.append(invoice);
    }
    if (!closed.isEmpty()) {
        twRunNotice(
            TWLocalized(closed.size() < 2 ? "deleteBilledClosedWorkOne" : "deleteBilledClosedWork")
                .arg(twInvoiceNames(closed)),
            window);
        return false;
    }
    // An estimate's documents book nothing and are owed nothing: only
    // invoices are named.
    const TWInvoiceList invoices = invoicesOfProjects(business, billed);
    QStringList informative;
    if (!invoices.isEmpty())
        informative.append(TWLocalized(invoices.size() < 2 ? "deleteBilledWorkInformativeOne"
                                                           : "deleteBilledWorkInformative")
                               .arg(twInvoiceNames(invoices)));
    informative.append(owingLines(business, invoices, [&](const TWInvoice &invoice) {
        return twOweWithoutWork(invoice, tasks, expenses, business);
    }));
    confirmDeletion(owner, count, title, titlePlural, button, buttonPlural, window,
                    std::move(confirmed), informative.join(QStringLiteral("\n\n")));
    return true;
}

void confirmBilledEdit(QObject *owner, TWBusiness &business, const TWTaskList &tasks,
                       const TWExpenseList &expenses, QWidget *window, std::function<void()> save)
{
    // The invoices whose lines the edit changes, each once.
    TWInvoiceList rebilled;
    QSet<qint32> seen;
    const auto add = [&rebilled, &seen](const TWInvoiceList &found) {
        for (const TWInvoicePtr &invoice : found)
            if (!seen.contains(invoice->identifier())) {
                seen.insert(invoice->identifier());
                rebilled.append(invoice);
            }
    };
    for (const TWTaskPtr &task : tasks)
        add(business.invoicesRebilledByTask(*task));
    for (const TWExpensePtr &expense : expenses)
        add(business.invoicesRebilledByExpense(*expense));
    const TWInvoiceList invoices = invoicesOfProjects(business, rebilled);
    TWInvoiceList given;
    for (const TWInvoicePtr &invoice : invoices)
        if (invoice->sent() || invoice->paid())
            given.append(invoice);
    // Nothing the client has changes; an invoice of closed books refuses the
    // save itself, naming it.
    const bool closed = std::any_of(invoices.cbegin(), invoices.cend(), [&](const auto &invoice) {
        return business.invoiceOfClosedPeriod(*invoice);
    });
    if (given.isEmpty() || closed) {
        save();
        return;
    }
    TWAlert alert;
    alert.message =
        TWLocalized(given.size() < 2 ? "editBilledWorkTitle" : "editBilledWorkTitlePlural")
            .arg(twInvoiceNames(given));
    alert.informativeText = owingLines(business, given, [&](const TWInvoice &invoice) {
                                return twOweWithEditedWork(invoice, tasks, expenses, business);
                            }).join(QStringLiteral("\n\n"));
    alert.buttons = {TWLocalized("save"), TWLocalized("cancel")};
    alert.window = window;
    QPointer<QObject> guarded(owner);
    twRunAlert(alert, [guarded, save = std::move(save)](int code) {
        if (guarded && code == 1000)
            save();
    });
}

TWProjectPtr projectOf(const TWBusiness *business, qint32 projectIdentifier)
{
    return business ? business->projectWithIdentifier(projectIdentifier) : nullptr;
}

TWClientPtr clientOf(const TWBusiness *business, const TWProjectPtr &project)
{
    return project && business ? business->clientWithIdentifier(project->clientIdentifier())
                               : nullptr;
}

const TWUnit *unitOf(const TWProjectPtr &project)
{
    return project && project->unit() ? project->unit().get() : nullptr;
}

QString money(qint64 value, const TWUnit *unit)
{
    return TWFormatter::formatter().valueString(value, unit, true, true, false, true, true);
}

} // namespace TWWorkList
