#pragma once
// Number, amount and date fields refuse text they cannot read where it was
// typed: the beep, and the field keeps its text and is marked (tinted) until
// it is mended, so that nothing else is stored in its place. The focus goes
// where the user takes it; Save or OK names the refused field and says how
// the value is written here.

#include "foundation/TWError.h"

#include <QSpinBox>
#include <QString>

#include <optional>

class QDateTimeEdit;
class QLineEdit;
class QWidget;

// Marks a field whose text was refused, or takes the mark away.
void twMarkRefused(QWidget *field, bool refused);
bool twIsRefused(const QWidget *field);
// The first field of `form` in Tab order marked refused, after the date
// fields still being typed in are read; none when every field reads.
QWidget *twFirstRefusedField(QWidget *form);

// The beep; the field keeps its text and is marked until it is edited.
void twRefuseTypedNumber(QLineEdit *field);
// For Save or OK: an alert on the field's window naming the field and saying
// how a number is written here, then the focus in the field.
void twExplainTypedNumber(QLineEdit *field);
// The same for a date field (or a field found by twFirstRefusedField).
void twExplainRefusedField(QWidget *field);
// For Save or OK: an alert on the field's window naming the field and saying
// `why` it was refused, then the focus in the field.
void twExplainFieldRefusal(QWidget *field, const QString &why);

// A whole number as a user types it, read as every typed number is (the
// locale's digits and marks); none for a fraction, unreadable or blank text,
// or a number outside [minimum, maximum].
std::optional<qint64> twTypedWholeNumber(const QString &text, qint64 minimum, qint64 maximum);
// Reads `field` with twTypedWholeNumber; when it cannot, marks the field and
// explains, naming it, that a whole number in the range is wanted, with an
// example. None then.
std::optional<qint64> twReadWholeNumber(QLineEdit *field, qint64 minimum, qint64 maximum);
// What a refused date field says, with an example of the field's own form,
// kept on one line and ending the sentence once ("… like 5/10/26 2:30 Μ.Μ.").
QString twDateRefusal(const QString &example);
// For Save: explains the first refused field of `form` (twFirstRefusedField)
// and answers true; false when every field reads.
bool twExplainFirstRefusedField(QWidget *form);

// The name a form gives the field: its label's text (the label whose buddy is
// the field or holds it) without the colon and as written, its shortcut
// marks read ("&&" is "&"); without a label, the field's accessible name
// (empty when it has none).
QString twFieldName(const QWidget *field);

// A refusal of what the field holds that came from the store (a date in a
// closed accounting period), named as every refused field is ("Date: …");
// the focus goes to the field.
TWError twFieldRefusal(const TWError &error, QWidget *field);

// A user's text for a label, button or menu item with a buddy or shortcut:
// each "&" doubled, so that "R&D hours" shows as written and never makes
// Alt+D a shortcut.
QString twShownAsWritten(const QString &text);

// A count typed or stepped: a spin box whose text is read by the one reader
// of typed numbers (the locale's digits and marks), whole, when its typing
// ends (Return, the field left, or a sheet's Save), never key by key: text
// that is no whole number in its range is refused, marked and kept, and
// the value stays as it was.
class TWWholeNumberSpinBox final : public QSpinBox
{
    Q_OBJECT
public:
    explicit TWWholeNumberSpinBox(QWidget *parent = nullptr);

    // Reads typed text into the value; false (the text marked, beeped once)
    // when it does not read.
    bool commit();

    QValidator::State validate(QString &input, int &pos) const override;
    int valueFromText(const QString &text) const override;
    void fixup(QString &input) const override;

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::optional<qint64> read(const QString &text) const;
    bool typed() const;
};
