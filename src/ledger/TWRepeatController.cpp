#include "ledger/TWRepeatController.h"

#include "app/TWControls.h"
#include "app/TWDateEdit.h"
#include "app/TWTypedNumberField.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QPalette>
#include <QSpinBox>
#include <QWidget>

TWRepeatController::TWRepeatController(QObject *parent) : QObject(parent)
{
    buildView();
}

TWRepeatController::~TWRepeatController()
{
    // The view goes with its controller wherever it was embedded.
    delete m_view.data();
}

QWidget *TWRepeatController::view() const
{
    return m_view;
}

void TWRepeatController::buildView()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWRepeatView"));
    auto *layout = new QHBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_repeatsCheckbox = new QCheckBox(TWLocalized("repeatEvery"), m_view);
    // Without a schedule the count shows nothing: the minimum below the
    // allowed range stands for "no count" and is shown as empty text.
    // The count is read as every typed number, when its typing ends.
    m_intervalSpinBox = new TWWholeNumberSpinBox(m_view);
    m_intervalSpinBox->setMinimumWidth(60);
    // A refusal names it by the check box beside it.
    m_intervalSpinBox->setAccessibleName(TWLocalized("repeatEvery").remove(u'&').trimmed());

    m_intervalUnitPopUpButton = new TWPopUpButton(m_view);
    const char *units[] = {"repeatUnitDays", "repeatUnitWeeks", "repeatUnitMonths",
                           "repeatUnitYears"};
    for (int tag = 0; tag < 4; ++tag)
        m_intervalUnitPopUpButton->addItem(TWLocalized(units[tag]), tag);

    m_endDatePopUpButton = new TWPopUpButton(m_view);
    m_endDatePopUpButton->addItem(TWLocalized("repeatEndsNever"), 0);
    m_endDatePopUpButton->addItem(TWLocalized("repeatEndsOnDate"), 1);

    m_endDateDatePicker = new TWDateEdit(m_view);
    m_endDateDatePicker->setCalendarPopup(true);

    layout->addWidget(m_repeatsCheckbox);
    layout->addWidget(m_intervalSpinBox);
    layout->addWidget(m_intervalUnitPopUpButton);
    layout->addWidget(m_endDatePopUpButton);
    layout->addWidget(m_endDateDatePicker);
    layout->addStretch(1);

    showInterval();
    updateEnabling();

    connect(m_repeatsCheckbox, &QCheckBox::clicked, this, [this](bool on) {
        if (!m_filling)
            doRepeats(on);
    });
    connect(m_intervalSpinBox, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_filling)
            doInterval(value);
    });
    connect(m_intervalUnitPopUpButton, &QComboBox::activated, this, [this](int) {
        if (!m_filling)
            doIntervalUnit(m_intervalUnitPopUpButton->selectedTag());
    });
    connect(m_endDatePopUpButton, &QComboBox::activated, this, [this](int) {
        if (!m_filling)
            doEnds(m_endDatePopUpButton->selectedTag());
    });
    connect(m_endDateDatePicker, &QDateEdit::dateChanged, this, [this](const QDate &date) {
        if (!m_filling)
            doEndDate(date);
    });
}

void TWRepeatController::showInterval()
{
    m_filling = true;
    if (m_repeat) {
        // The special text stands for the minimum; with a schedule 1 is a count.
        m_intervalSpinBox->setSpecialValueText(QString());
        m_intervalSpinBox->setRange(kMinimumInterval, kMaximumInterval);
        // A stored count outside the range shows clamped; it is stored only
        // when the user changes it.
        m_intervalSpinBox->setValue(
            int(qBound<std::uint32_t>(kMinimumInterval, m_repeat->interval(), kMaximumInterval)));
    } else {
        m_intervalSpinBox->setSpecialValueText(QStringLiteral(" "));
        m_intervalSpinBox->setRange(kMinimumInterval - 1, kMaximumInterval);
        m_intervalSpinBox->setValue(kMinimumInterval - 1);
    }
    m_filling = false;
}

void TWRepeatController::updateEnabling()
{
    const bool has = m_repeat != nullptr;
    m_repeatsCheckbox->setEnabled(m_enabled);
    m_intervalSpinBox->setEnabled(has && m_enabled);
    m_intervalUnitPopUpButton->setEnabled(has && m_enabled);
    m_endDatePopUpButton->setEnabled(has && m_enabled);
    const bool picker = has && m_repeat->endDate().isValid() && m_enabled;
    m_endDateDatePicker->setEnabled(picker);
    // The date reads grey while it does not count.
    QPalette palette = m_endDateDatePicker->palette();
    palette.setColor(QPalette::Text, picker ? QColor(Qt::black) : QColor(Qt::gray));
    m_endDateDatePicker->setPalette(palette);
}

void TWRepeatController::update()
{
    if (!m_view)
        return;
    m_filling = true;
    m_repeatsCheckbox->setChecked(m_repeat != nullptr);
    if (m_repeat) {
        m_intervalUnitPopUpButton->selectItemWithTag(int(m_repeat->intervalUnit()));
        m_endDatePopUpButton->selectItemWithTag(m_repeat->endDate().isValid() ? 1 : 0);
        m_endDateDatePicker->setDate(m_repeat->endDate().isValid() ? m_repeat->endDate().date()
                                                                   : TWClock::today());
    } else {
        m_intervalUnitPopUpButton->selectItemWithTag(0);
        m_endDatePopUpButton->selectItemWithTag(0);
        m_endDateDatePicker->setDate(TWClock::today());
    }
    m_filling = false;
    showInterval();
    updateEnabling();
}

void TWRepeatController::doRepeats(bool on)
{
    if (on)
        m_repeat = TWRepeat::repeatWithType(m_type, kMinimumInterval, TWRepeatIntervalUnitDay,
                                            QDateTime());
    else
        m_repeat = nullptr;
    m_filling = true;
    m_repeatsCheckbox->setChecked(on);
    m_intervalUnitPopUpButton->selectItemWithTag(m_repeat ? int(m_repeat->intervalUnit()) : 0);
    m_endDatePopUpButton->selectItemWithTag(0);
    m_endDateDatePicker->setDate(TWClock::today());
    m_filling = false;
    showInterval();
    updateEnabling();
    emit updated(this);
}

void TWRepeatController::doInterval(int count)
{
    if (!m_repeat)
        return;
    // Only 1 to 999 are schedules that make items; anything else keeps the
    // count the schedule had.
    if (count < kMinimumInterval || count > kMaximumInterval) {
        showInterval();
        return;
    }
    m_repeat->setInterval(std::uint32_t(count));
    emit updated(this);
}

void TWRepeatController::doIntervalUnit(int tag)
{
    if (!m_repeat || tag < TWRepeatIntervalUnitDay || tag > TWRepeatIntervalUnitYear)
        return;
    m_repeat->setIntervalUnit(std::uint32_t(tag));
    emit updated(this);
}

void TWRepeatController::doEnds(int tag)
{
    if (!m_repeat)
        return;
    m_filling = true;
    m_endDatePopUpButton->selectItemWithTag(tag == 1 ? 1 : 0);
    m_filling = false;
    if (tag == 1)
        m_repeat->setEndDate(m_endDateDatePicker->date().startOfDay());
    else
        m_repeat->setEndDate(QDateTime());
    updateEnabling();
    emit updated(this);
}

void TWRepeatController::doEndDate(const QDate &date)
{
    if (!m_repeat || !date.isValid())
        return;
    m_filling = true;
    m_endDateDatePicker->setDate(date);
    m_filling = false;
    // Without an end the picker only shows a date; the schedule stays open.
    if (!m_repeat->endDate().isValid() && m_endDatePopUpButton->selectedTag() != 1)
        return;
    m_filling = true;
    m_endDateDatePicker->setDate(date);
    m_filling = false;
    m_repeat->setEndDate(date.startOfDay());
    emit updated(this);
}
