#include "work/TWProjectController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWUtilities.h"
#include "model/TWValue.h"
#include "store/TWBusiness.h"
#include "store/TWUnitMenu.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

namespace
{

enum Tag { DateTag = 0, StartTag = 3, EndTag = 4 };

} // namespace

void TWProjectController::buildForm()
{
    m_view->setWindowTitle(TWLocalized("projectSheetTitle"));
    addRow("date", makeDateField(DateTag, false, &m_date, &m_dateButton));
    m_completed = new QCheckBox(TWLocalized("completed"), m_view);
    addRow(nullptr, m_completed);
    m_name = makeLineEdit(false);
    addRow("name", m_name);
    completeNames(m_name, TWValueListProjectNames);
    m_type = new QLabel(m_view);
    addRow("type", m_type);
    const auto dateRow = [this](int tag, const char *key, QCheckBox **box, QDateTimeEdit **picker,
                                QToolButton **button) {
        auto *row = new QWidget(m_view);
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        *box = new QCheckBox(row);
        layout->addWidget(*box);
        layout->addWidget(makeDateField(tag, false, picker, button), 1);
        addRow(key, row);
        connect(*box, &QCheckBox::toggled, this, [this, tag](bool on) { setDateEnabled(tag, on); });
        connect(*picker, &QDateTimeEdit::dateTimeChanged, this, [this, tag](const QDateTime &date) {
            if (!m_editProject)
                return;
            if (tag == StartTag && m_startBox->isChecked())
                m_editProject->setStartDate(date);
            else if (tag == EndTag && m_endBox->isChecked())
                m_editProject->setEndDate(date);
        });
    };
    dateRow(StartTag, "startDate", &m_startBox, &m_start, &m_startButton);
    dateRow(EndTag, "endDate", &m_endBox, &m_end, &m_endButton);
    m_rate =
        makeMoneyField([this] { return m_editProject ? m_editProject->unit().get() : nullptr; });
    addRow("rate", m_rate);
    m_unit = new QComboBox(m_view);
    addRow("unit", m_unit);
    connect(m_unit, &QComboBox::activated, this, [this](int index) { unitChosen(index); });
    m_taxRate = makeNumberField();
    addRow("taxRate", m_taxRate);
    m_notes = makeLineEdit(false);
    addRow("notes", m_notes);
}

void TWProjectController::update()
{
    view();
    m_saved = false;
    m_editProject = m_project ? m_project->copy() : nullptr;
    updateUI();
}

void TWProjectController::setDateEnabled(int tag, bool on)
{
    QDateTimeEdit *picker = tag == StartTag ? m_start : m_end;
    QToolButton *button = tag == StartTag ? m_startButton : m_endButton;
    picker->setEnabled(on);
    button->setEnabled(on);
    if (!m_editProject)
        return;
    const QDateTime date = on ? picker->dateTime() : QDateTime();
    if (tag == StartTag)
        m_editProject->setStartDate(date);
    else
        m_editProject->setEndDate(date);
}

void TWProjectController::updateUI()
{
    if (!m_editProject)
        return;
    const QDateTime now = TWClock::now();
    {
        QSignalBlocker block(m_date);
        m_date->setDateTime(m_editProject->date().isValid() ? m_editProject->date() : now);
    }
    m_completed->setChecked(m_editProject->completed());
    m_name->setText(m_editProject->name());
    m_type->setText(TWFormatter::formatter().projectTypeString(m_editProject->type()));
    const QDateTime start = m_editProject->startDate();
    const QDateTime end = m_editProject->endDate();
    for (auto [box, picker, date, tag] : {std::tuple{m_startBox, m_start, start, int(StartTag)},
                                          std::tuple{m_endBox, m_end, end, int(EndTag)}}) {
        QSignalBlocker blockBox(box);
        QSignalBlocker blockPicker(picker);
        box->setChecked(date.isValid());
        picker->setDateTime(date.isValid() ? date : now);
        picker->setEnabled(date.isValid());
        (tag == StartTag ? m_startButton : m_endButton)->setEnabled(date.isValid());
    }
    {
        QSignalBlocker block(m_unit);
        m_unit->clear();
        if (m_business)
            for (const TWUnitMenuItem &item : twUnitMenuItems(*m_business, false)) {
                if (item.separator)
                    m_unit->insertSeparator(m_unit->count());
                else
                    m_unit->addItem(item.title, QVariant::fromValue(item.unit));
            }
        int index = -1;
        for (int i = 0; i < m_unit->count() && m_editProject->unit(); ++i) {
            const TWUnitPtr unit = m_unit->itemData(i).value<TWUnitPtr>();
            if (unit && unit->code() == m_editProject->unit()->code())
                index = i;
        }
        if (index < 0)
            for (int i = 0; i < m_unit->count() && index < 0; ++i)
                if (m_unit->itemData(i).value<TWUnitPtr>())
                    index = i;
        m_unit->setCurrentIndex(index);
        // What the pop-up shows is what gets stored.
        if (!m_editProject->unit() && index >= 0)
            m_editProject->setUnit(m_unit->itemData(index).value<TWUnitPtr>());
    }
    m_rate->setText(TWFormatter::formatter().valueString(
        m_editProject->rate(), m_editProject->unit().get(), false, false, false, true, true));
    m_taxRate->setText(TWFormatter::formatter().numberString(float(m_editProject->taxRate())));
    m_notes->setText(m_editProject->notes());
    for (QToolButton *button : {m_dateButton, m_startButton, m_endButton}) {
        QSignalBlocker block(button);
        button->setChecked(false);
    }
}

void TWProjectController::unitChosen(int index)
{
    const TWUnitPtr unit = m_unit->itemData(index).value<TWUnitPtr>();
    if (!m_editProject || !unit)
        return;
    m_editProject->setUnit(unit);
    // The typed rate means that much in the new unit.
    if (const std::optional<qint64> rate = moneyFromText(m_rate->text(), unit.get()))
        m_editProject->setRate(*rate);
}

bool TWProjectController::commitFields()
{
    if (!m_editProject)
        return false;
    qint64 rate = 0;
    double taxRate = 0;
    if (!readMoney(m_rate, m_editProject->unit().get(), &rate) || !readNumber(m_taxRate, &taxRate))
        return false;
    m_editProject->setRate(rate);
    m_editProject->setTaxRate(taxRate);
    m_editProject->setName(m_name->text());
    m_editProject->setNotes(m_notes->text());
    m_editProject->setCompleted(m_completed->isChecked());
    m_editProject->setDate(m_date->dateTime());
    m_editProject->setStartDate(m_startBox->isChecked() ? m_start->dateTime() : QDateTime());
    m_editProject->setEndDate(m_endBox->isChecked() ? m_end->dateTime() : QDateTime());
    return true;
}

TWErrorResult TWProjectController::store()
{
    if (!m_business || !m_editProject)
        return std::nullopt;
    return m_mode == TWEditorMode::New ? m_business->addProject(m_editProject, true)
                                       : m_business->updateProject(m_editProject, true);
}

void TWProjectController::dateSelected(int tag, const QDateTime &date)
{
    if (!m_editProject)
        return;
    QDateTimeEdit *picker = tag == StartTag ? m_start : (tag == EndTag ? m_end : m_date);
    if (tag == DateTag)
        m_editProject->setDate(date);
    else if (tag == StartTag)
        m_editProject->setStartDate(date);
    else if (tag == EndTag)
        m_editProject->setEndDate(date);
    QSignalBlocker block(picker);
    picker->setDateTime(date);
}
