// The general pane: check boxes, pop-ups, and number fields with steppers, each stored at once
// and within bounds.

#include "app/TWPreferencesController.h"
#include "app/TWStepper.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace
{

// The values a check box stores when it is turned on.
constexpr qint64 kAutoSaveOn = 5;
constexpr qint64 kIdleTimeoutOn = 10;
constexpr qint64 kMinimumTaskTimeOn = 15;

qint64 minutesValue(int tag)
{
    const TWPreferences &preferences = TWPreferences::preferences();
    switch (tag) {
    case 2:
        return preferences.autoSave();
    case 6:
        return preferences.idleTimeout();
    case 8:
        return preferences.minimumTaskTime();
    }
    return 0;
}

void storeMinutes(int tag, qint64 minutes)
{
    TWPreferences &preferences = TWPreferences::preferences();
    switch (tag) {
    case 2:
        preferences.setAutoSave(minutes);
        break;
    case 6:
        preferences.setIdleTimeout(minutes);
        break;
    case 8:
        preferences.setMinimumTaskTime(minutes);
        break;
    }
}

// A typed whole number, read as every typed number and clamped into
// [minimum, maximum]; empty when the text is no whole number. More digits
// than a number holds are as large as allowed.
std::optional<qint64> boundedNumber(const QString &text, qint64 minimum, qint64 maximum)
{
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const std::optional<double> number = TWFormatter::formatter().typedNumber(text);
    static const QRegularExpression digits(QStringLiteral("^\\s*\\d{19,}\\s*$"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    if (!number && digits.match(text).hasMatch())
        return maximum;
    if (!number || *number != std::trunc(*number))
        return std::nullopt;
    return qint64(std::clamp(*number, double(minimum), double(maximum)));
}

// A whole number as the fields show it: the locale's digits, no grouping.
QString wholeNumberText(qint64 value)
{
    QLocale locale = TWFormatter::formatter().locale();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value);
}

} // namespace

QWidget *TWPreferencesController::makeGeneralPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("generalView"));
    auto *grid = new QGridLayout(pane);
    grid->setContentsMargins(24, 20, 24, 20);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    int row = 0;

    const auto addCheckBox = [&](int tag, const char *key) {
        auto *box = new QCheckBox(TWLocalized(key), pane);
        box->setObjectName(QStringLiteral("checkBox%1").arg(tag));
        connect(box, &QCheckBox::clicked, this, [this, tag] { doButton(tag); });
        m_checkBoxes.insert(tag, box);
        return box;
    };
    const auto addNumber = [&](int tag, qint64 minimum, qint64 maximum, int width) {
        auto *field = new QLineEdit(pane);
        field->setObjectName(QStringLiteral("numberField%1").arg(tag));
        field->setAlignment(Qt::AlignRight);
        field->setFixedWidth(width);
        auto *stepper = new TWStepper(pane);
        stepper->setObjectName(QStringLiteral("stepper%1").arg(tag));
        stepper->setRange(minimum, maximum);
        // Read whole when the typing ends, never key by key ("1,5" once
        // stored 1 on the way).
        connect(field, &QLineEdit::editingFinished, this,
                [this, tag] { controlTextDidEndEditing(tag); });
        connect(stepper, &TWStepper::stepped, this, [this, tag] { doStepper(tag); });
        m_numberFields.insert(tag, field);
        m_steppers.insert(tag, stepper);
        auto *box = new QHBoxLayout;
        box->setSpacing(2);
        box->addWidget(field);
        box->addWidget(stepper);
        return box;
    };
    const auto addPopUp = [&](int tag, const QList<QPair<const char *, int>> &items) {
        auto *popUp = new QComboBox(pane);
        popUp->setObjectName(QStringLiteral("popUp%1").arg(tag));
        for (const auto &[key, itemTag] : items)
            popUp->addItem(TWLocalized(key), itemTag);
        connect(popUp, &QComboBox::activated, this, [this, tag] { doPopUpButton(tag); });
        m_popUps.insert(tag, popUp);
        return popUp;
    };
    const auto label = [pane](const char *key) {
        auto *text = new QLabel(TWLocalized(key), pane);
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return text;
    };
    const auto minutesRow = [&](int tag, const char *key) {
        auto *box = new QHBoxLayout;
        box->addWidget(addCheckBox(tag, key));
        box->addLayout(addNumber(tag, kMinimumMinutes, kMaximumMinutes, 60));
        // Named by its check box when a refusal names it.
        m_numberFields.value(tag)->setAccessibleName(TWLocalized(key));
        box->addWidget(new QLabel(TWLocalized("minutes"), pane));
        box->addStretch();
        grid->addLayout(box, row++, 1);
    };

    grid->addWidget(label("prefsStartUp"), row, 0);
    grid->addWidget(addCheckBox(0, "prefsOpenLastBusiness"), row++, 1);
    grid->addWidget(addCheckBox(1, "prefsAutoComplete"), row++, 1);
    minutesRow(2, "prefsAutoSave");
    grid->setRowMinimumHeight(row++, 6);

    grid->addWidget(label("prefsTimeFormat"), row, 0);
    grid->addWidget(addPopUp(3, {{"prefsTimeClock", 0}, {"prefsTimeDecimal", 1}}), row++, 1,
                    Qt::AlignLeft);
    QLabel *identifierLabel = label("prefsStartingIdentifier");
    grid->addWidget(identifierLabel, row, 0);
    {
        auto *box = addNumber(4, kMinimumIdentifier, kMaximumIdentifier, 110);
        identifierLabel->setBuddy(m_numberFields.value(4));
        box->addStretch();
        grid->addLayout(box, row++, 1);
    }
    grid->addWidget(label("prefsDates"), row, 0);
    grid->addWidget(addCheckBox(5, "prefsDefaultLastDateUnit"), row++, 1);
    grid->setRowMinimumHeight(row++, 6);

    grid->addWidget(label("prefsTaskTimer"), row, 0);
    minutesRow(6, "prefsIdleTimeout");
    grid->addWidget(addCheckBox(7, "prefsShowTaskTimer"), row++, 1);
    minutesRow(8, "prefsMinimumTaskTime");
    {
        auto *box = new QHBoxLayout;
        box->addWidget(addCheckBox(9, "prefsRoundInvoiceTaskTime"));
        box->addWidget(addPopUp(9, {{"prefsRound1", 1},
                                    {"prefsRound5", 5},
                                    {"prefsRound6", 6},
                                    {"prefsRound10", 10},
                                    {"prefsRound15", 15},
                                    {"prefsRound30", 30},
                                    {"prefsRound60", 60}}));
        box->addStretch();
        grid->addLayout(box, row++, 1);
    }
    grid->setRowMinimumHeight(row++, 6);

    const QList<QPair<const char *, int>> sortItems = {{"prefsSortOwnOrder", 0},
                                                       {"prefsSortNumber", 1},
                                                       {"prefsSortTotal", 2},
                                                       {"prefsSortListOrder", 3}};
    grid->addWidget(label("prefsSortAccounts"), row, 0);
    grid->addWidget(addPopUp(10, sortItems), row++, 1, Qt::AlignLeft);
    grid->addWidget(label("prefsSortClients"), row, 0);
    grid->addWidget(addPopUp(11, sortItems), row++, 1, Qt::AlignLeft);
    grid->addWidget(label("prefsSortMerchants"), row, 0);
    grid->addWidget(addPopUp(12, sortItems), row++, 1, Qt::AlignLeft);
    grid->setRowMinimumHeight(row++, 6);

    grid->addWidget(label("prefsUpdates"), row, 0);
    {
        auto *box = new QHBoxLayout;
        box->addWidget(addCheckBox(13, "prefsCheckForUpdate"));
        m_checkForUpdateButton = new QPushButton(TWLocalized("prefsCheckNow"), pane);
        m_checkForUpdateButton->setObjectName(QStringLiteral("checkForUpdateButton"));
        connect(m_checkForUpdateButton, &QPushButton::clicked, this,
                [this] { doCheckForUpdate(); });
        box->addWidget(m_checkForUpdateButton);
        box->addStretch();
        grid->addLayout(box, row++, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return pane;
}

void TWPreferencesController::doButton(int tag)
{
    if (m_currentPane == Layouts) {
        if (tag == 0)
            tableViewDelete();
        return;
    }
    if (m_currentPane != General || !m_checkBoxes.contains(tag))
        return;
    TWPreferences &preferences = TWPreferences::preferences();
    const bool on = m_checkBoxes.value(tag)->isChecked();
    switch (tag) {
    case 0:
        preferences.setOpenLastBusiness(on);
        break;
    case 1:
        preferences.setAutoCompleteTextFields(on);
        break;
    case 2:
        storeMinutes(tag, on ? kAutoSaveOn : 0);
        break;
    case 5:
        preferences.setDefaultLastDateUnit(on);
        break;
    case 6:
        storeMinutes(tag, on ? kIdleTimeoutOn : 0);
        break;
    case 7:
        preferences.setShowTaskTimerInMenuBar(on);
        break;
    case 8:
        storeMinutes(tag, on ? kMinimumTaskTimeOn : 0);
        break;
    case 9: {
        QComboBox *popUp = m_popUps.value(9);
        if (on) {
            preferences.setRoundInvoiceTaskTime(popUp->currentData().toLongLong());
        } else {
            preferences.setRoundInvoiceTaskTime(0);
            popUp->setCurrentIndex(popUp->findData(1));
        }
        break;
    }
    case 13:
        preferences.setCheckForUpdate(on);
        break;
    }
    updateGeneral();
}

void TWPreferencesController::doPopUpButton(int tag)
{
    if (m_currentPane == Layouts) {
        // The import and export items act through their own actions.
        return;
    }
    if (m_currentPane != General || !m_popUps.contains(tag))
        return;
    TWPreferences &preferences = TWPreferences::preferences();
    const qint64 value = m_popUps.value(tag)->currentData().toLongLong();
    switch (tag) {
    case 3:
        preferences.setTimeFormat(std::uint32_t(value));
        break;
    case 9:
        preferences.setRoundInvoiceTaskTime(value);
        break;
    case 10:
        preferences.setSortReportsAccounts(std::uint32_t(value));
        break;
    case 11:
        preferences.setSortReportsClients(std::uint32_t(value));
        break;
    case 12:
        preferences.setSortReportsMerchants(std::uint32_t(value));
        break;
    }
}

void TWPreferencesController::doStepper(int tag)
{
    TWStepper *stepper = m_steppers.value(tag);
    if (!stepper)
        return;
    const qint64 value = stepper->value();
    m_numberFields.value(tag)->setText(wholeNumberText(value));
    if (tag == 4)
        TWPreferences::preferences().setStartingIdentifier(std::uint32_t(value));
    else
        storeMinutes(tag, value);
}

void TWPreferencesController::controlTextDidEndEditing(int tag)
{
    // The field belongs to the general pane whichever pane is shown now (a
    // pane switch takes the focus out of it).
    QLineEdit *field = m_numberFields.value(tag);
    if (!field || !field->isModified())
        return;
    const bool identifier = tag == 4;
    const qint64 minimum = identifier ? kMinimumIdentifier : kMinimumMinutes;
    const qint64 maximum = identifier ? kMaximumIdentifier : kMaximumMinutes;
    const std::optional<qint64> value = boundedNumber(field->text(), minimum, maximum);
    if (!value) {
        // Said once; the mark goes when the text is edited again. Nothing is
        // stored: the setting stays as it was.
        if (!twIsRefused(field))
            twReadWholeNumber(field, minimum, maximum);
        return;
    }
    field->setModified(false);
    m_steppers.value(tag)->setValue(*value);
    if (identifier)
        TWPreferences::preferences().setStartingIdentifier(std::uint32_t(*value));
    else
        storeMinutes(tag, *value);
    updateGeneral();
}

void TWPreferencesController::updateGeneral()
{
    const TWPreferences &preferences = TWPreferences::preferences();
    m_checkBoxes.value(0)->setChecked(preferences.openLastBusiness());
    m_checkBoxes.value(1)->setChecked(preferences.autoCompleteTextFields());
    m_checkBoxes.value(5)->setChecked(preferences.defaultLastDateUnit());
    m_checkBoxes.value(7)->setChecked(preferences.showTaskTimerInMenuBar());
    m_checkBoxes.value(13)->setChecked(preferences.checkForUpdate());

    for (int tag : {2, 6, 8}) {
        const qint64 value = minutesValue(tag);
        const bool on = value != 0;
        m_checkBoxes.value(tag)->setChecked(on);
        m_numberFields.value(tag)->setText(on ? wholeNumberText(value) : QString());
        m_numberFields.value(tag)->setEnabled(on);
        m_steppers.value(tag)->setValue(value);
        m_steppers.value(tag)->setEnabled(on);
    }
    m_numberFields.value(4)->setText(wholeNumberText(preferences.startingIdentifier()));
    m_steppers.value(4)->setValue(preferences.startingIdentifier());

    const auto select = [this](int tag, qint64 value) {
        QComboBox *popUp = m_popUps.value(tag);
        const int index = popUp->findData(value);
        if (index >= 0)
            popUp->setCurrentIndex(index);
    };
    select(3, preferences.timeFormat());
    const qint64 round = preferences.roundInvoiceTaskTime();
    m_checkBoxes.value(9)->setChecked(round != 0);
    select(9, round != 0 ? round : 1);
    m_popUps.value(9)->setEnabled(round != 0);
    select(10, preferences.sortReportsAccounts());
    select(11, preferences.sortReportsClients());
    select(12, preferences.sortReportsMerchants());
}
