#include "reports/ui/TWBudgetItemController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWControls.h"
#include "app/TWDateEdit.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWUnitMenu.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TWBudgetItemController::TWBudgetItemController(QObject *parent)
    : TWLazyViewController<TWEditorController>(parent)
{
}

TWBudgetItemController::~TWBudgetItemController()
{
    // The view is taken out of its sheet after each use and so has no parent.
    delete m_view.data();
}

void TWBudgetItemController::build()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("TWBudgetItem"));
    view->setWindowTitle(TWLocalized("budgetItemSheetTitle"));
    m_name = new QLabel(view);
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    m_budget = new QLineEdit(view);
    m_budget->setAlignment(Qt::AlignRight);
    m_budget->setProperty("tag", 1);
    m_unitPopUp = new TWPopUpButton(view);
    m_unitPopUp->setTag(2);
    m_startDate = new TWDateEdit(view);
    m_startDate->setCalendarPopup(false);
    m_startDate->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    m_startDate->setProperty("tag", 3);
    m_startDateButton = TWNewCalendarButton(view);
    m_startDateButton->setProperty("tag", 3);
    m_cycles = new QCheckBox(TWLocalized("budgetRepeatEvery"), view);
    m_cycles->setProperty("tag", 4);
    m_cycle = new QLineEdit(view);
    // A count from 1 to 999, in the locale's digits (Save checks it); a
    // refusal names it by its check box's title.
    m_cycle->setAccessibleName(TWLocalized("budgetRepeatEvery"));
    m_cycle->setAlignment(Qt::AlignRight);
    m_cycle->setMaximumWidth(60);
    m_cycle->setProperty("tag", 4);
    m_cycleUnitPopUp = new TWPopUpButton(view);
    m_cycleUnitPopUp->setTag(4);
    m_cycleUnitPopUp->addItem(TWLocalized("none"), int(TWBudgetCycleUnitNone));
    m_cycleUnitPopUp->insertSeparator(1);
    m_cycleUnitPopUp->addItem(TWLocalized("budgetCycleDays"), int(TWBudgetCycleUnitDay));
    m_cycleUnitPopUp->addItem(TWLocalized("budgetCycleWeeks"), int(TWBudgetCycleUnitWeek));
    m_cycleUnitPopUp->addItem(TWLocalized("budgetCycleMonths"), int(TWBudgetCycleUnitMonth));
    m_cycleUnitPopUp->addItem(TWLocalized("budgetCycleYears"), int(TWBudgetCycleUnitYear));
    m_rollover = new QCheckBox(TWLocalized("budgetRolloverLong"), view);
    m_rollover->setProperty("tag", 5);

    auto *amount = new QHBoxLayout;
    amount->setContentsMargins(0, 0, 0, 0);
    amount->addWidget(m_budget, 1);
    amount->addWidget(m_unitPopUp, 2);
    auto *start = new QHBoxLayout;
    start->setContentsMargins(0, 0, 0, 0);
    start->addWidget(m_startDate);
    start->addWidget(m_startDateButton);
    start->addStretch(1);
    auto *cycle = new QHBoxLayout;
    cycle->setContentsMargins(0, 0, 0, 0);
    cycle->addWidget(m_cycles);
    cycle->addWidget(m_cycle);
    cycle->addWidget(m_cycleUnitPopUp);
    cycle->addStretch(1);
    auto *form = new QFormLayout;
    form->addRow(TWLocalized("name"), m_name);
    // Labels that name a refused field.
    auto *budgetLabel = new QLabel(TWLocalized("budget"), view);
    budgetLabel->setBuddy(m_budget);
    form->addRow(budgetLabel, amount);
    auto *startLabel = new QLabel(TWLocalized("startDate"), view);
    startLabel->setBuddy(m_startDate);
    form->addRow(startLabel, start);
    form->addRow(TWLocalized("budgetCycle"), cycle);
    form->addRow(QString(), m_rollover);

    m_cancel = new QPushButton(TWLocalized("cancel"), view);
    m_save = new QPushButton(TWLocalized("save"), view);
    m_save->setDefault(true);
    m_save->setProperty("tag", 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    auto *layout = new QVBoxLayout(view);
    layout->addLayout(form);
    layout->addLayout(buttons);
    view->setMinimumWidth(460);

    connect(m_budget, &QLineEdit::editingFinished, this, [this] {
        if (!commitBudgetField())
            twRefuseTypedNumber(m_budget);
    });
    connect(m_cycle, &QLineEdit::editingFinished, this, [this] { commitCycleField(); });
    connect(m_unitPopUp, &QComboBox::activated, this, [this] { doUnitPopUp(); });
    connect(m_cycleUnitPopUp, &QComboBox::activated, this, [this] { doCycleUnitPopUp(); });
    connect(m_startDate, &QDateEdit::dateChanged, this, [this] { doDatePicker(); });
    connect(m_startDateButton, &QToolButton::toggled, this,
            [this](bool on) { doStartDateButton(on); });
    connect(m_cycles, &QCheckBox::clicked, this, [this](bool on) { doCyclesCheckbox(on); });
    connect(m_rollover, &QCheckBox::clicked, this, [this](bool on) {
        if (m_editBudgetItem)
            m_editBudgetItem->setRollover(on);
    });
    connect(m_save, &QPushButton::clicked, this, [this] { doSave(1); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { doSave(0); });
    m_view = view;
}

void TWBudgetItemController::update()
{
    if (!m_view)
        return;
    m_saved = false;
    m_editBudgetItem = m_budgetItem ? m_budgetItem->copy() : nullptr;
    updateUI();
}

void TWBudgetItemController::fillUnitPopUp()
{
    m_unitPopUp->clear();
    m_units.clear();
    if (!m_business)
        return;
    for (const TWUnitMenuItem &entry : twUnitMenuItems(*m_business, false)) {
        if (entry.separator) {
            m_unitPopUp->insertSeparator(m_unitPopUp->count());
            continue;
        }
        m_unitPopUp->addItem(entry.title, int(m_units.size()));
        m_units.append(entry.unit);
    }
}

void TWBudgetItemController::updateUI()
{
    if (!m_view || !m_editBudgetItem)
        return;
    TWBudgetItem &line = *m_editBudgetItem;
    m_name->setText(m_item ? m_item->name() : QString());
    m_budget->setText(TWFormatter::formatter().valueString(line.total(), line.unit().get(), false,
                                                           false, false, true, true));

    const QSignalBlocker unitBlocker(m_unitPopUp);
    fillUnitPopUp();
    int chosen = -1;
    for (int i = 0; i < m_units.size() && chosen < 0; ++i)
        if (line.unit() && m_units.at(i) && m_units.at(i)->isEqual(*line.unit()))
            chosen = i;
    if (chosen < 0 && !line.unit() && !m_units.isEmpty()) {
        // A line without a unit takes the one the pop-up shows, so what is
        // saved is what the sheet showed.
        chosen = 0;
        line.setUnit(m_units.first());
    }
    if (chosen >= 0)
        m_unitPopUp->selectItemWithTag(chosen);
    else
        m_unitPopUp->setCurrentIndex(-1);

    {
        const QSignalBlocker dateBlocker(m_startDate);
        const QDateTime start = line.startDate().isValid() ? line.startDate() : TWClock::now();
        m_startDate->setDate(start.date());
    }
    {
        const QSignalBlocker buttonBlocker(m_startDateButton);
        m_startDateButton->setChecked(false);
    }
    updateCycleControls();
    m_rollover->setChecked(line.rollover());
    m_budget->setFocus();
    m_budget->selectAll();
}

void TWBudgetItemController::updateCycleControls()
{
    const TWBudgetItem &line = *m_editBudgetItem;
    const bool cycles = line.cycleUnit() != TWBudgetCycleUnitNone;
    m_cycles->setChecked(cycles);
    m_cycle->setText(cycles ? TWFormatter::formatter().locale().toString(line.cycle()) : QString());
    const QSignalBlocker blocker(m_cycleUnitPopUp);
    if (!cycles || !m_cycleUnitPopUp->selectItemWithTag(int(line.cycleUnit())))
        m_cycleUnitPopUp->selectItemWithTag(int(TWBudgetCycleUnitDay));
    m_cycle->setEnabled(cycles);
    m_cycleUnitPopUp->setEnabled(cycles);
    m_rollover->setEnabled(cycles);
}

// ---- Edits ----

bool TWBudgetItemController::commitBudgetField()
{
    if (!m_editBudgetItem)
        return true;
    // Text the locale does not write as an amount leaves the amount alone;
    // the field keeps it for the user to mend, and Save refuses it.
    const std::optional<qint64> total =
        TWFormatter::formatter().typedValue(m_budget->text(), m_editBudgetItem->unit().get());
    if (total)
        m_editBudgetItem->setTotal(*total);
    return total.has_value();
}

void TWBudgetItemController::commitCycleField()
{
    if (!m_editBudgetItem || m_editBudgetItem->cycleUnit() == TWBudgetCycleUnitNone)
        return;
    // Only a count that can be stored; Save refuses the field otherwise.
    if (const std::optional<qint64> cycle = twTypedWholeNumber(m_cycle->text(), 1, kMaximumCycle))
        m_editBudgetItem->setCycle(std::uint32_t(*cycle));
}

void TWBudgetItemController::doUnitPopUp()
{
    if (!m_editBudgetItem)
        return;
    const int index = m_unitPopUp->selectedTag();
    if (m_unitPopUp->currentIndex() < 0 || index < 0 || index >= m_units.size())
        return;
    m_editBudgetItem->setUnit(m_units.at(index));
    // The typed amount now counts in the new unit's places.
    commitBudgetField();
}

void TWBudgetItemController::doCycleUnitPopUp()
{
    if (!m_editBudgetItem)
        return;
    const int cycleUnit = m_cycleUnitPopUp->selectedTag();
    if (cycleUnit == TWBudgetCycleUnitNone) {
        // No cycle: nothing rolls over, and the line has no count either.
        m_editBudgetItem->setCycleUnit(TWBudgetCycleUnitNone);
        m_editBudgetItem->setCycle(0);
        m_editBudgetItem->setRollover(false);
        m_rollover->setChecked(false);
    } else {
        m_editBudgetItem->setCycleUnit(std::uint32_t(cycleUnit));
    }
    updateCycleControls();
}

void TWBudgetItemController::doCyclesCheckbox(bool on)
{
    if (!m_editBudgetItem)
        return;
    // The rollover flag stays as it was; only its box is disabled.
    m_editBudgetItem->setCycle(on ? 1 : 0);
    m_editBudgetItem->setCycleUnit(on ? TWBudgetCycleUnitDay : TWBudgetCycleUnitNone);
    updateCycleControls();
}

void TWBudgetItemController::doDatePicker()
{
    if (m_editBudgetItem)
        m_editBudgetItem->setStartDate(m_startDate->date().startOfDay());
}

void TWBudgetItemController::doStartDateButton(bool on)
{
    if (!on || !m_editBudgetItem)
        return;
    if (!m_calendar)
        m_calendar = new TWCalendarController(this);
    const QDateTime start =
        m_editBudgetItem->startDate().isValid() ? m_editBudgetItem->startDate() : TWClock::now();
    m_calendar->setDate(start);
    m_calendar->setShowTime(false);
    m_calendar->setTag(3);
    m_calendar->setDelegate(this);
    m_calendar->showPopOver(m_startDateButton);
}

void TWBudgetItemController::calendarDidSelectDate(const QDateTime &date,
                                                   TWCalendarController *controller)
{
    if (!controller || controller->tag() != 3 || !m_editBudgetItem)
        return;
    if (date.isValid()) {
        m_editBudgetItem->setStartDate(date.date().startOfDay());
        const QSignalBlocker blocker(m_startDate);
        m_startDate->setDate(date.date());
    }
    const QSignalBlocker blocker(m_startDateButton);
    m_startDateButton->setChecked(false);
}

// ---- Save ----

void TWBudgetItemController::showAlert(const QString &key)
{
    twRunNotice(TWLocalized(key), m_view ? m_view->window() : nullptr);
}

void TWBudgetItemController::doSave(int tag)
{
    if (!m_view || !m_editBudgetItem)
        return;
    // What is still being typed counts.
    if (QWidget *focus = m_view->focusWidget())
        focus->clearFocus();
    const bool amountRead = commitBudgetField();
    commitCycleField();
    if (tag != 1) {
        end(TWSheetResult::Cancelled);
        return;
    }
    if (!amountRead) {
        twExplainTypedNumber(m_budget);
        return;
    }
    if (twExplainFirstRefusedField(m_view))
        return;
    if (m_editBudgetItem->cycleUnit() != TWBudgetCycleUnitNone &&
        !twReadWholeNumber(m_cycle, 1, kMaximumCycle))
        return;
    if (m_business) {
        const TWErrorResult error = m_mode == TWEditorMode::Existing
                                        ? m_business->updateBudgetItem(m_editBudgetItem, true)
                                        : m_business->addBudgetItem(m_editBudgetItem, true);
        if (error) {
            if (m_document)
                m_document->presentError(*error);
            return;
        }
    }
    m_saved = true;
    if (m_document)
        m_document->updateChangeCount(0);
    end(TWSheetResult::Confirmed);
}

void TWBudgetItemController::end(TWSheetResult result)
{
    if (m_document)
        m_document->endSheet(m_view, result);
    emit endRequested(sheetReturnCode(result));
}
