#include "app/TWDateRangeController.h"

#include "app/TWDateEdit.h"
#include "app/TWPopover.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"

#include <QDateEdit>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
const char *const kTagProperty = "tag";
} // namespace

TWDateRangeController::TWDateRangeController(QObject *parent)
    : TWLazyViewController<QObject>(parent)
{
}

TWDateRangeController::~TWDateRangeController()
{
    delete m_popover;
    delete m_view;
}

void TWDateRangeController::build()
{
    m_view = new QWidget();
    m_from = new TWDateEdit(m_view);
    m_from->setObjectName(QStringLiteral("fromDatePicker"));
    m_from->setProperty(kTagProperty, 0);
    m_to = new TWDateEdit(m_view);
    m_to->setObjectName(QStringLiteral("toDatePicker"));
    m_to->setProperty(kTagProperty, 1);
    for (QDateEdit *picker : {m_from, m_to}) {
        picker->setCalendarPopup(true);
        picker->setMinimumWidth(140);
        connect(picker, &QDateEdit::dateChanged, this, [this, picker] { doDate(picker); });
    }
    m_done = new QPushButton(TWLocalized("dateRangeDone"), m_view);
    m_done->setDefault(true);
    connect(m_done, &QPushButton::clicked, this, [this] { doDone(); });
    auto *form = new QFormLayout();
    form->addRow(TWLocalized("dateRangeFrom"), m_from);
    form->addRow(TWLocalized("dateRangeTo"), m_to);
    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(form);
    layout->addWidget(m_done, 0, Qt::AlignRight);
}

void TWDateRangeController::update()
{
    if (!m_view)
        return;
    // Loading the pickers must not write back into the dates.
    const QDateTime from = m_fromDate;
    const QDateTime to = m_toDate;
    m_from->setDate(from.isValid() ? from.date() : TWClock::today());
    m_to->setDate(to.isValid() ? to.date() : TWClock::today());
    m_fromDate = from;
    m_toDate = to;
    m_from->setFocus();
}

void TWDateRangeController::showPopOver(QWidget *control)
{
    if (m_popover && m_popover->isShown())
        return;
    view();
    update();
    m_button = control;
    QWidget *window = control ? control->window() : nullptr;
    if (!m_popover) {
        m_popover = new TWPopover(window);
        connect(m_popover, &TWPopover::closed, this, [this] { popoverDidClose(); });
    } else {
        m_popover->setContentWidget(nullptr);
        if (window && m_popover->parentWidget() != window)
            m_popover->setParent(window, m_popover->windowFlags());
    }
    m_popover->setContentWidget(m_view);
    m_popover->showRelativeToRect(control ? control->rect() : QRect(), control,
                                  TWPopover::MaxYEdge);
}

void TWDateRangeController::doDate(QDateEdit *picker)
{
    if (!picker)
        return;
    const int tag = picker->property(kTagProperty).toInt();
    if (tag == 0)
        m_fromDate = picker->date().startOfDay();
    else if (tag == 1)
        m_toDate = picker->date().startOfDay();
}

void TWDateRangeController::doDone()
{
    // A date whose text was refused is named, and the popover stays open
    // with what was typed.
    if (twExplainFirstRefusedField(m_view))
        return;
    if (m_popover)
        m_popover->performClose();
}

void TWDateRangeController::popoverDidClose()
{
    // Closed by a click outside with a refused date, the range is not
    // applied at all: the date shown before is not the one typed.
    if (m_delegate && !twFirstRefusedField(m_view))
        m_delegate->dateRangeDidSelectFromDate(m_fromDate, m_toDate, this);
}
