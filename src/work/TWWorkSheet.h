#pragma once
// What the small editor sheets of the work side share (task, time item,
// project, expense): a form of fixed-height rows, Save and Cancel ending the
// sheet with Confirmed or Cancelled, date fields with the calendar popover, number,
// money, time and date fields that refuse text the locale does not write as a
// number or a date (keeping it, marked, until Save names the field) instead of
// storing something else, and name completion from the remembered values.

#include "app/TWAppRegistry.h"
#include "app/TWCalendarController.h"
#include "app/TWLazyViewController.h"
#include "app/TWPopover.h"

#include <QAbstractButton>

#include "foundation/TWError.h"
#include "model/TWUnit.h"

#include <QDateTime>
#include <QPointer>

#include <functional>
#include <optional>

class QAbstractButton;
class QDateTimeEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TWValueCompleter;

class TWWorkSheet : public TWLazyViewController<TWEditorController>,
                    public TWCalendarControllerDelegate
{
    Q_OBJECT
public:
    // Every form row is this tall, spacing included.
    static constexpr int kRowHeight = 30;

    explicit TWWorkSheet(QObject *parent = nullptr);
    ~TWWorkSheet() override;

    bool saved() const { return m_saved; }
    bool isImport() const { return m_isImport; }
    void setIsImport(bool isImport) { m_isImport = isImport; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    TWCalendarController *calendarController() const { return m_calendar; }

    // Save (tag 1) or Cancel (any other tag).
    void doSave(int tag);

    // ---- Reading typed text ----
    // Reads the field's text; text that is not a number as the locale writes
    // it is refused in its own field (an alert names the field and says why;
    // the field keeps its text, marked, and gets the focus) and the answer is
    // false. Empty text is 0.
    bool readNumber(QLineEdit *field, double *value);
    // As readNumber, for a field that showed a stored value as `shown`: while
    // its text is still that, `value` keeps the stored value (a value shown
    // shorter than it is stored, say a tax rate of 8.3333333333 shown as
    // 8.333333, is not stored again as shown), so a save that edits nothing
    // changes nothing.
    bool readEditedNumber(QLineEdit *field, const QString &shown, double *value);
    // A tax rate as the sheets show it.
    static QString taxRateText(double taxRate);
    bool readMoney(QLineEdit *field, const TWUnit *unit, qint64 *value);
    // "h:mm", "h:mm:ss" or decimal hours, into seconds.
    bool readTime(QLineEdit *field, double *seconds);
    static std::optional<double> numberFromText(const QString &text);
    static std::optional<double> timeFromText(const QString &text);
    static std::optional<qint64> moneyFromText(const QString &text, const TWUnit *unit);

    // ---- TWCalendarControllerDelegate ----
    void calendarDidSelectDate(const QDateTime &date, TWCalendarController *controller) override;

    // The names offered for the text (from the fourth character), in order.
    QStringList completions(qint32 valueList, const QString &text) const;

protected:
    // Builds the controls into `grid` (row by row with addRow) once.
    virtual void buildForm() = 0;
    // Fills the controls from the working copy.
    virtual void updateUI() = 0;
    // Reads every field into the working copy; false keeps the sheet open.
    virtual bool commitFields() { return true; }
    // Stores the working copy (mode New adds, mode Existing updates).
    virtual TWErrorResult store() = 0;
    // Before storing: may ask, then calls `proceed` (or not, to keep the sheet).
    virtual void confirmSave(std::function<void()> proceed) { proceed(); }
    // A date chosen in the popover for the field of `tag`.
    virtual void dateSelected(int /*tag*/, const QDateTime &) {}

    // A label and a control on a new row of the form; returns the row.
    int addRow(const char *labelKey, QWidget *field, QLabel **label = nullptr);
    // A number field filters keystrokes; with `readable`, text it does not
    // read is refused when its editing ends (the beep, the text kept and
    // marked; the focus goes where the user takes it).
    QLineEdit *makeLineEdit(bool number, std::function<bool(const QString &)> readable = nullptr);
    // A number field (quantity, tax rate) and a money field in `unit()`'s
    // places, each refusing what it cannot read.
    QLineEdit *makeNumberField();
    QLineEdit *makeMoneyField(std::function<const TWUnit *()> unit);
    // A date (or date-time) picker with its disclosure button opening the calendar.
    QWidget *makeDateField(int tag, bool showTime, QDateTimeEdit **picker, QToolButton **button);
    void openCalendar(int tag, QToolButton *button, const QDateTime &date, bool showTime);
    // Name completion for a line edit from a remembered-values list.
    void completeNames(QLineEdit *field, qint32 valueList);
    // Refuses the field's text: the alert, then the field has the focus.
    bool refuseField(QLineEdit *field);
    void end(TWSheetResult result);

    QGridLayout *m_grid = nullptr;
    bool m_saved = false;
    bool m_isImport = false;
    bool m_textFieldCompleting = false;

private:
    void build() override;

    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    TWCalendarController *m_calendar = nullptr;
    QPointer<QToolButton> m_calendarButton;
    TWValueCompleter *m_completer = nullptr;
    int m_rows = 0;
};
