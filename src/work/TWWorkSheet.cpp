#include "work/TWWorkSheet.h"

#include "app/TWBusinessController.h"
#include "app/TWDateEdit.h"
#include "app/TWTypedNumberField.h"
#include "ledger/TWValueCompleter.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWNumberFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWValue.h"
#include "store/TWBusiness.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

constexpr int kFieldHeight = 24;
constexpr int kRowSpacing = TWWorkSheet::kRowHeight - kFieldHeight;

} // namespace

TWWorkSheet::TWWorkSheet(QObject *parent) : TWLazyViewController<TWEditorController>(parent)
{
}

TWWorkSheet::~TWWorkSheet()
{
    delete m_view;
}

void TWWorkSheet::build()
{
    m_view = new QWidget;
    m_view->setMinimumWidth(420);
    auto *outer = new QVBoxLayout(m_view);
    outer->setContentsMargins(20, 20, 20, 16);
    outer->setSpacing(12);
    m_grid = new QGridLayout;
    m_grid->setVerticalSpacing(kRowSpacing);
    m_grid->setHorizontalSpacing(10);
    m_grid->setColumnStretch(1, 1);
    outer->addLayout(m_grid);
    buildForm();
    outer->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancelButton = new QPushButton(TWLocalized("cancel"), m_view);
    m_saveButton = new QPushButton(TWLocalized("save"), m_view);
    m_saveButton->setDefault(true);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);
    outer->addLayout(buttons);
    connect(m_saveButton, &QPushButton::clicked, this, [this] { doSave(1); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { doSave(0); });
}

int TWWorkSheet::addRow(const char *labelKey, QWidget *field, QLabel **labelOut)
{
    const int row = m_rows++;
    QLabel *label = nullptr;
    if (labelKey) {
        label = new QLabel(TWLocalized(labelKey), m_view);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setFixedHeight(kFieldHeight);
        // A refused field is named by its label.
        label->setBuddy(field);
        m_grid->addWidget(label, row, 0);
    }
    field->setFixedHeight(kFieldHeight);
    m_grid->addWidget(field, row, 1);
    if (labelOut)
        *labelOut = label;
    return row;
}

QLineEdit *TWWorkSheet::makeLineEdit(bool number, std::function<bool(const QString &)> readable)
{
    auto *field = new QLineEdit(m_view);
    if (number)
        field->setValidator(new TWNumberFormatter(field));
    if (readable)
        connect(field, &QLineEdit::editingFinished, this, [field, readable] {
            if (!readable(field->text()))
                twRefuseTypedNumber(field);
        });
    return field;
}

QLineEdit *TWWorkSheet::makeNumberField()
{
    return makeLineEdit(true, [](const QString &text) { return numberFromText(text).has_value(); });
}

QLineEdit *TWWorkSheet::makeMoneyField(std::function<const TWUnit *()> unit)
{
    return makeLineEdit(true, [unit = std::move(unit)](const QString &text) {
        return moneyFromText(text, unit()).has_value();
    });
}

QWidget *TWWorkSheet::makeDateField(int tag, bool showTime, QDateTimeEdit **pickerOut,
                                    QToolButton **buttonOut)
{
    auto *box = new QWidget(m_view);
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    QDateTimeEdit *picker =
        showTime ? static_cast<QDateTimeEdit *>(new TWDateTimeEdit(box)) : new TWDateEdit(box);
    picker->setDisplayFormat(showTime ? TWFormatter::formatter().shortDateTimeFormat()
                                      : TWFormatter::formatter().shortDateFormat());
    picker->setProperty("tag", tag);
    QToolButton *button = TWNewCalendarButton(box);
    button->setProperty("tag", tag);
    layout->addWidget(picker, 1);
    layout->addWidget(button);
    connect(button, &QToolButton::toggled, this, [this, tag, button, picker, showTime](bool on) {
        if (!on)
            return;
        // Any text being typed is finished first.
        if (!commitFields()) {
            button->setChecked(false);
            return;
        }
        openCalendar(tag, button, picker->dateTime(), showTime);
    });
    *pickerOut = picker;
    *buttonOut = button;
    return box;
}

void TWWorkSheet::openCalendar(int tag, QToolButton *button, const QDateTime &date, bool)
{
    if (!m_calendar) {
        m_calendar = new TWCalendarController(this);
        m_calendar->setDelegate(this);
    }
    m_calendarButton = button;
    m_calendar->setTag(tag);
    m_calendar->setShowTime(false);
    m_calendar->setDate(date.isValid() ? date : QDateTime::currentDateTime());
    m_calendar->update();
    m_calendar->showPopOver(button);
}

void TWWorkSheet::calendarDidSelectDate(const QDateTime &date, TWCalendarController *controller)
{
    if (controller && date.isValid())
        dateSelected(int(controller->tag()), date);
    if (m_calendarButton) {
        QSignalBlocker block(m_calendarButton);
        m_calendarButton->setChecked(false);
    }
}

void TWWorkSheet::completeNames(QLineEdit *field, qint32 valueList)
{
    if (!m_completer)
        m_completer = new TWValueCompleter(this);
    connect(field, &QLineEdit::textEdited, this, [this, field, valueList](const QString &text) {
        if (m_textFieldCompleting || !TWPreferences::preferences().autoCompleteTextFields())
            return;
        m_textFieldCompleting = true;
        const QStringList names = completions(valueList, text);
        if (names.isEmpty())
            m_completer->hide();
        else
            m_completer->offer(field, names);
        m_textFieldCompleting = false;
    });
}

QStringList TWWorkSheet::completions(qint32 valueList, const QString &text) const
{
    if (!m_business || text.size() <= 3)
        return {};
    QStringList names;
    for (const TWValuePtr &value : m_business->values(valueList).value_or(TWValueList()))
        if (value)
            names.append(value->name());
    return twValueCompletions(names, text);
}

// ---- Reading ----

std::optional<double> TWWorkSheet::numberFromText(const QString &text)
{
    return TWFormatter::formatter().typedNumber(text);
}

std::optional<qint64> TWWorkSheet::moneyFromText(const QString &text, const TWUnit *unit)
{
    return TWFormatter::formatter().typedValue(text, unit);
}

std::optional<double> TWWorkSheet::timeFromText(const QString &text)
{
    return TWFormatter::formatter().typedTime(text);
}

bool TWWorkSheet::readNumber(QLineEdit *field, double *value)
{
    const std::optional<double> number = numberFromText(field->text());
    if (!number)
        return refuseField(field);
    *value = *number;
    return true;
}

bool TWWorkSheet::readEditedNumber(QLineEdit *field, const QString &shown, double *value)
{
    return field->text() == shown || readNumber(field, value);
}

QString TWWorkSheet::taxRateText(double taxRate)
{
    return TWFormatter::formatter().numberString(float(taxRate));
}

bool TWWorkSheet::readTime(QLineEdit *field, double *seconds)
{
    const std::optional<double> time = timeFromText(field->text());
    if (!time)
        return refuseField(field);
    *seconds = *time;
    return true;
}

bool TWWorkSheet::readMoney(QLineEdit *field, const TWUnit *unit, qint64 *value)
{
    const std::optional<qint64> amount = moneyFromText(field->text(), unit);
    if (!amount)
        return refuseField(field);
    *value = *amount;
    return true;
}

bool TWWorkSheet::refuseField(QLineEdit *field)
{
    twExplainTypedNumber(field);
    return false;
}

// ---- Saving ----

void TWWorkSheet::doSave(int tag)
{
    if (tag != 1) {
        end(TWSheetResult::Cancelled);
        return;
    }
    // A field whose text was refused is mended before anything is stored.
    if (twExplainFirstRefusedField(m_view))
        return;
    if (!commitFields())
        return;
    confirmSave([this] {
        // An import edit stores nothing: the import sheet takes the copy.
        if (!m_isImport) {
            if (m_mode == TWEditorMode::New || m_mode == TWEditorMode::Existing)
                if (TWErrorResult error = store()) {
                    if (m_document)
                        m_document->presentError(*error);
                    return;
                }
            if (m_document)
                m_document->updateChangeCount(0);
        }
        m_saved = true;
        end(TWSheetResult::Confirmed);
    });
}

void TWWorkSheet::end(TWSheetResult result)
{
    if (m_document && m_view)
        m_document->endSheet(m_view, result);
    emit endRequested(sheetReturnCode(result));
}
