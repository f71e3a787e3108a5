#pragma once
// The custom date range of the document's register: a from and a to date in
// a popover under the detail pop-up, with Done. The delegate hears the range
// on every close; no order between the dates is enforced.

#include "app/TWLazyViewController.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

class QDateEdit;
class QPushButton;
class QWidget;
class TWDateRangeController;
class TWPopover;

class TWDateRangeControllerDelegate
{
public:
    virtual ~TWDateRangeControllerDelegate() = default;
    virtual void dateRangeDidSelectFromDate(const QDateTime &fromDate, const QDateTime &toDate,
                                            TWDateRangeController *controller) = 0;
};

class TWDateRangeController final : public TWLazyViewController<QObject>
{
    Q_OBJECT
public:
    explicit TWDateRangeController(QObject *parent = nullptr);
    ~TWDateRangeController() override;

    QWidget *button() const { return m_button; }
    TWPopover *popover() const { return m_popover; }
    const QDateTime &fromDate() const { return m_fromDate; }
    void setFromDate(const QDateTime &date) { m_fromDate = date; }
    const QDateTime &toDate() const { return m_toDate; }
    void setToDate(const QDateTime &date) { m_toDate = date; }
    TWDateRangeControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(TWDateRangeControllerDelegate *delegate) { m_delegate = delegate; }
    // Tags 0 (from) and 1 (to).
    QDateEdit *fromDatePicker() const { return m_from; }
    QDateEdit *toDatePicker() const { return m_to; }
    QPushButton *doneButton() const { return m_done; }

    // Opens under the control (which stays enabled); nothing happens while
    // it is already open.
    void showPopOver(QWidget *control);
    void update();
    // A picker changed: tag 0 sets the from date, 1 the to date.
    void doDate(QDateEdit *picker);
    void doDone();
    void popoverDidClose();

private:
    void build() override;

    QPointer<QWidget> m_button;
    QPointer<TWPopover> m_popover;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QPushButton *m_done = nullptr;
    QDateTime m_fromDate;
    QDateTime m_toDate;
    TWDateRangeControllerDelegate *m_delegate = nullptr;
};
