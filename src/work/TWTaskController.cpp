#include "work/TWTaskController.h"

#include "app/TWAlert.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWNumberFormatter.h"
#include "model/TWValue.h"
#include "store/TWBusiness.h"
#include "store/TWWorkTotals.h"
#include "work/TWWorkList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

void TWTaskController::buildForm()
{
    m_view->setWindowTitle(TWLocalized("taskSheetTitle"));
    addRow("date", makeDateField(0, false, &m_date, &m_dateButton));
    connect(m_date, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime &date) {
        if (m_editTask)
            m_editTask->setDate(date);
    });
    m_completed = new QCheckBox(TWLocalized("completed"), m_view);
    addRow(nullptr, m_completed);
    connect(m_completed, &QCheckBox::toggled, this, [this](bool on) {
        if (m_editTask)
            m_editTask->setCompleted(on);
    });
    m_name = makeLineEdit(false);
    addRow("name", m_name);
    completeNames(m_name, TWValueListTaskNames);
    m_type = new QComboBox(m_view);
    for (int type = TWTaskTypeTimed; type <= TWTaskTypeYear; ++type)
        m_type->addItem(TWFormatter::formatter().taskTypeString(std::uint32_t(type)), type);
    addRow("type", m_type);
    connect(m_type, &QComboBox::activated, this,
            [this](int index) { doPopUpButton(m_type->itemData(index).toInt()); });
    m_estimate = makeLineEdit(false, [this](const QString &text) {
        return (estimateIsTime() ? timeFromText(text) : numberFromText(text)).has_value();
    });
    m_estimateValidator = new TWNumberFormatter(m_estimate);
    m_estimate->setValidator(m_estimateValidator);
    addRow("estimate", m_estimate);
    m_quantity = makeNumberField();
    addRow("quantity", m_quantity, &m_quantityLabel);
    m_rate = makeMoneyField([this] { return unit(); });
    addRow("rate", m_rate);
    m_taxRate = makeNumberField();
    addRow("taxRate", m_taxRate);
    m_notes = makeLineEdit(false);
    addRow("notes", m_notes);
}

TWProjectPtr TWTaskController::project() const
{
    return m_business && m_editTask
               ? m_business->projectWithIdentifier(m_editTask->projectIdentifier())
               : nullptr;
}

const TWUnit *TWTaskController::unit() const
{
    const TWProjectPtr owner = project();
    return owner && owner->unit() ? owner->unit().get() : nullptr;
}

bool TWTaskController::estimateIsTime() const
{
    return m_editTask && m_editTask->taskType() == TWTaskTypeTimed;
}

void TWTaskController::update()
{
    view();
    m_saved = false;
    m_editTask = m_task ? m_task->copy() : nullptr;
    updateUI();
}

void TWTaskController::fillEstimateAndQuantity()
{
    TWBusiness *business = m_business;
    if (!business || !m_editTask)
        return;
    // A timed task's estimate is a duration: the field takes "12:00" as it is
    // typed, and it is read back as time text.
    m_estimateValidator->setAllowsTimeSeparator(estimateIsTime());
    m_shownEstimate = m_editTask->quantityString(m_editTask->estimate());
    m_estimate->setText(m_shownEstimate);
    // The quantity of a file's task (never stored) comes from what it carries.
    const double quantity =
        m_isImport ? m_editTask->quantityWithProject(project().get(), m_editTask->taskItems())
                   : twQuantity(*m_editTask, *business);
    m_shownQuantity = m_editTask->quantityString(quantity);
    m_quantity->setText(m_shownQuantity);
}

void TWTaskController::updateUI()
{
    if (!m_editTask)
        return;
    {
        QSignalBlocker block(m_date);
        m_date->setDateTime(m_editTask->date().isValid() ? m_editTask->date() : TWClock::now());
    }
    {
        QSignalBlocker block(m_completed);
        m_completed->setChecked(m_editTask->completed());
    }
    m_name->setText(m_editTask->name());
    m_type->setCurrentIndex(m_type->findData(int(m_editTask->taskType())));
    fillEstimateAndQuantity();
    m_rate->setText(TWFormatter::formatter().valueString(m_editTask->rate(), unit(), false, false,
                                                         false, true, true));
    m_shownTaxRate = taxRateText(m_editTask->taxRate());
    m_taxRate->setText(m_shownTaxRate);
    m_notes->setText(m_editTask->notes());
    {
        QSignalBlocker block(m_dateButton);
        m_dateButton->setChecked(false);
    }
    const TWProjectPtr owner = project();
    showQuantityField(owner && owner->type() != 0 && m_editTask->taskType() != TWTaskTypeTimed);
}

bool TWTaskController::quantityFieldShown() const
{
    return m_quantityLabel && !m_quantityLabel->isHidden();
}

void TWTaskController::showQuantityField(bool show)
{
    view();
    if (quantityFieldShown() != show) {
        m_quantityLabel->setVisible(show);
        m_quantity->setVisible(show);
        // The row is kRowHeight tall with its spacing: the sheet grows or
        // shrinks by that much, its top edge staying where it is.
        const int delta = show ? kRowHeight : -kRowHeight;
        if (QWidget *window = m_view->window(); window && window != m_view && window->isVisible()) {
            const QRect frame = window->geometry();
            window->setGeometry(frame.x(), frame.y(), frame.width(), frame.height() + delta);
        } else {
            m_view->resize(m_view->width(), m_view->height() + delta);
        }
    }
    m_view->updateGeometry();
}

void TWTaskController::doPopUpButton(int taskType)
{
    if (!m_editTask)
        return;
    // What was typed as the estimate counts in the old type's terms.
    if (m_estimate->text() != m_shownEstimate)
        if (const std::optional<double> typed = estimateIsTime()
                                                    ? timeFromText(m_estimate->text())
                                                    : numberFromText(m_estimate->text()))
            m_editTask->setEstimate(*typed);
    const std::uint32_t old = m_editTask->taskType();
    m_editTask->setTaskType(std::uint32_t(taskType));
    const TWProjectPtr owner = project();
    if (!owner || owner->type() == 0) {
        showQuantityField(false);
    } else {
        const bool wasTimed = old == TWTaskTypeTimed;
        const bool timed = taskType == TWTaskTypeTimed;
        if (wasTimed != timed)
            m_editTask->setQuantity(timed ? 0.0 : 1.0);
        showQuantityField(!timed);
    }
    fillEstimateAndQuantity();
}

bool TWTaskController::commitFields()
{
    if (!m_editTask)
        return false;
    double estimate = m_editTask->estimate();
    double taxRate = m_editTask->taxRate();
    double quantity = m_editTask->quantity();
    qint64 rate = 0;
    // A field that cannot be read is refused on its own; nothing of it
    // reaches the copy, and what was typed in the others stays.
    const bool ok =
        (m_estimate->text() == m_shownEstimate ||
         (estimateIsTime() ? readTime(m_estimate, &estimate)
                           : readNumber(m_estimate, &estimate))) &&
        (!quantityFieldShown() || readEditedNumber(m_quantity, m_shownQuantity, &quantity)) &&
        readMoney(m_rate, unit(), &rate) && readEditedNumber(m_taxRate, m_shownTaxRate, &taxRate);
    if (!ok)
        return false;
    m_editTask->setEstimate(estimate);
    m_editTask->setQuantity(quantity);
    m_editTask->setRate(rate);
    m_editTask->setTaxRate(taxRate);
    m_editTask->setName(m_name->text());
    m_editTask->setNotes(m_notes->text());
    m_editTask->setCompleted(m_completed->isChecked());
    m_editTask->setDate(m_date->dateTime());
    return true;
}

void TWTaskController::confirmSave(std::function<void()> save)
{
    // A change of what a sent or paid invoice bills is asked about last,
    // just before the save.
    const auto proceed = [this, save = std::move(save)] {
        if (m_isImport || m_mode != TWEditorMode::Existing || !m_business || !m_editTask) {
            save();
            return;
        }
        TWWorkList::confirmBilledEdit(this, *m_business, {m_editTask}, {}, m_view->window(), save);
    };
    const bool dropsItems = !m_isImport && m_mode == TWEditorMode::Existing && m_business &&
                            m_task && m_task->taskType() == TWTaskTypeTimed &&
                            m_editTask->taskType() != TWTaskTypeTimed &&
                            !m_business->taskItemsWithTask(*m_task).isEmpty();
    if (!dropsItems) {
        proceed();
        return;
    }
    const qsizetype count = m_business->taskItemsWithTask(*m_task).size();
    TWAlert alert;
    alert.message = TWLocalized("changeTimedTaskTypeMessage").arg(count);
    alert.buttons = {TWLocalized("changeTimedTaskType"), TWLocalized("cancel")};
    alert.window = m_view->window();
    twRunAlert(alert, [proceed](int code) {
        if (code == 1000)
            proceed();
    });
}

TWErrorResult TWTaskController::store()
{
    if (!m_business || !m_editTask)
        return std::nullopt;
    return m_mode == TWEditorMode::New ? m_business->addTask(m_editTask, true)
                                       : m_business->updateTask(m_editTask, true);
}

void TWTaskController::dateSelected(int tag, const QDateTime &date)
{
    if (tag == 0 && m_editTask) {
        m_editTask->setDate(date);
        QSignalBlocker block(m_date);
        m_date->setDateTime(date);
    }
}
