#include "app/TWTypedNumberField.h"

#include "app/TWAlert.h"
#include "app/TWDateEdit.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace
{

constexpr const char *kRefusedProperty = "twRefused";
constexpr const char *kPaletteProperty = "twPaletteBeforeRefusal";
constexpr const char *kWatchedProperty = "twRefusalWatched";

void focusField(QWidget *field)
{
    if (!field->isEnabled())
        return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto *line = qobject_cast<QLineEdit *>(field))
        line->selectAll();
    else if (auto *edit = qobject_cast<QDateTimeEdit *>(field))
        edit->selectAll();
}

QString fieldText(const QWidget *field)
{
    if (auto *line = qobject_cast<const QLineEdit *>(field))
        return line->text().trimmed();
    if (auto *edit = qobject_cast<const QDateTimeEdit *>(field))
        return edit->text().trimmed();
    return {};
}

QString dateExample(const QDateTimeEdit *field, const QString &typed)
{
    const QLocale locale = field->locale();
    for (const QDateTime &example : {QDateTime(QDate(2026, 10, 5), QTime(14, 30)),
                                     QDateTime(QDate(2027, 3, 21), QTime(9, 15))}) {
        const QString text = locale.toString(example, field->displayFormat());
        if (text != typed)
            return text;
    }
    return {};
}

} // namespace

QString twDateRefusal(const QString &example)
{
    // One line: the example's spaces do not break ("14 h 30", "2:30 Μ.Μ.").
    const QString unbroken = QString(example).replace(QLatin1Char(' '), QChar(0x00A0));
    QString message = TWLocalized("dateNotAsWritten").arg(unbroken);
    // An example that ends in a full stop ends the sentence too.
    if (unbroken.endsWith(QLatin1Char('.')) && message.endsWith(unbroken + QLatin1Char('.')))
        message.chop(1);
    return message;
}

namespace
{

QString namedRefusal(const QWidget *field, const QString &why)
{
    const QString name = twFieldName(field);
    return name.isEmpty() ? why : TWLocalized("refusedFieldMessage").arg(name, why);
}

void explain(QWidget *field, const QString &why)
{
    QApplication::beep();
    TWAlert alert;
    alert.message = namedRefusal(field, why);
    alert.buttons = {TWLocalized("ok")};
    alert.window = field ? field->window() : nullptr;
    const QPointer<QWidget> guarded(field);
    twRunAlert(alert, [guarded](int) {
        if (guarded)
            focusField(guarded);
    });
    if (guarded)
        focusField(guarded);
}

} // namespace

void twExplainFieldRefusal(QWidget *field, const QString &why)
{
    explain(field, why);
}

namespace
{

QString wholeNumberWanted(qint64 minimum, qint64 maximum, const QString &typed)
{
    const QLocale locale = TWFormatter::formatter().locale();
    // The example lies in the range and differs from what was typed.
    qint64 example = std::clamp<qint64>(3, minimum, maximum);
    if (locale.toString(example) == typed.trimmed() && example < maximum)
        ++example;
    return TWLocalized("wholeNumberWanted")
        .arg(locale.toString(minimum), locale.toString(maximum), locale.toString(example));
}

} // namespace

std::optional<qint64> twTypedWholeNumber(const QString &text, qint64 minimum, qint64 maximum)
{
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const std::optional<double> number = TWFormatter::formatter().typedNumber(text);
    if (!number || *number != std::trunc(*number) || *number < double(minimum) ||
        *number > double(maximum))
        return std::nullopt;
    return qint64(*number);
}

std::optional<qint64> twReadWholeNumber(QLineEdit *field, qint64 minimum, qint64 maximum)
{
    if (!field)
        return std::nullopt;
    const std::optional<qint64> number = twTypedWholeNumber(field->text(), minimum, maximum);
    if (number)
        return number;
    twMarkRefused(field, true);
    explain(field, wholeNumberWanted(minimum, maximum, field->text()));
    return std::nullopt;
}

void twMarkRefused(QWidget *field, bool refused)
{
    if (!field || twIsRefused(field) == refused)
        return;
    field->setProperty(kRefusedProperty, refused);
    // A text field's mark goes with the refused text: edited, the text is
    // read again when its editing ends (a date field clears its own).
    auto *line = qobject_cast<QLineEdit *>(field);
    if (refused && line && !line->property(kWatchedProperty).toBool()) {
        line->setProperty(kWatchedProperty, true);
        QObject::connect(line, &QLineEdit::textChanged, line,
                         [line] { twMarkRefused(line, false); });
    }
    if (refused) {
        // A pale red ground under the text the field keeps.
        field->setProperty(kPaletteProperty, field->palette());
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, QColor(255, 222, 222));
        palette.setColor(QPalette::Text, QColor(150, 0, 0));
        field->setPalette(palette);
    } else {
        field->setPalette(field->property(kPaletteProperty).value<QPalette>());
        field->setProperty(kPaletteProperty, QVariant());
    }
}

bool twIsRefused(const QWidget *field)
{
    return field && field->property(kRefusedProperty).toBool();
}

QWidget *twFirstRefusedField(QWidget *form)
{
    if (!form)
        return nullptr;
    for (TWDateTyping *typing : form->findChildren<TWDateTyping *>())
        typing->commit();
    for (TWWholeNumberSpinBox *count : form->findChildren<TWWholeNumberSpinBox *>())
        count->commit();
    // In Tab order from the form's first field.
    for (QWidget *step = form->nextInFocusChain(); step && step != form;
         step = step->nextInFocusChain())
        if (twIsRefused(step) && form->isAncestorOf(step))
            return step;
    for (QWidget *field : form->findChildren<QWidget *>())
        if (twIsRefused(field))
            return field;
    return nullptr;
}

void twRefuseTypedNumber(QLineEdit *field)
{
    QApplication::beep();
    if (!field)
        return;
    twMarkRefused(field, true);
}

void twExplainTypedNumber(QLineEdit *field)
{
    if (field)
        twMarkRefused(field, true);
    explain(field, TWFormatter::formatter().typedNumberError(fieldText(field)));
}

void twExplainRefusedField(QWidget *field)
{
    if (auto *line = qobject_cast<QLineEdit *>(field)) {
        twExplainTypedNumber(line);
        return;
    }
    if (auto *count = qobject_cast<TWWholeNumberSpinBox *>(field)) {
        explain(field, wholeNumberWanted(count->minimum(), count->maximum(), count->text()));
        return;
    }
    const auto *edit = qobject_cast<const QDateTimeEdit *>(field);
    const auto *typing = edit ? edit->findChild<TWDateTyping *>() : nullptr;
    if (typing && typing->refusedSkippedTime()) {
        explain(field, TWLocalized("timeSkippedByClock"));
        return;
    }
    explain(field, twDateRefusal(edit ? dateExample(edit, fieldText(edit)) : QString()));
}

bool twExplainFirstRefusedField(QWidget *form)
{
    QWidget *refused = twFirstRefusedField(form);
    if (refused)
        twExplainRefusedField(refused);
    return refused != nullptr;
}

QString twFieldName(const QWidget *field)
{
    if (!field)
        return {};
    for (const QLabel *label : field->window()->findChildren<QLabel *>()) {
        const QWidget *buddy = label->buddy();
        if (!buddy || (buddy != field && !buddy->isAncestorOf(field)))
            continue;
        QString name;
        // A lone "&" marks the shortcut; "&&" is the "&" the user wrote.
        const QString text = label->text().trimmed();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == QLatin1Char('&') && ++i == text.size())
                break;
            name.append(text.at(i));
        }
        if (name.endsWith(QLatin1Char(':')))
            name.chop(1);
        return name.trimmed();
    }
    // A field without a label of its own (a rule's date in a filter) is
    // named by what its row compares.
    return field->accessibleName();
}

QString twShownAsWritten(const QString &text)
{
    return QString(text).replace(QLatin1Char('&'), QLatin1String("&&"));
}

TWError twFieldRefusal(const TWError &error, QWidget *field)
{
    if (field && field->isEnabled())
        focusField(field);
    return TWError(error.domain(), error.code(), namedRefusal(field, error.localizedDescription()));
}

// ---- Counts ----

TWWholeNumberSpinBox::TWWholeNumberSpinBox(QWidget *parent) : QSpinBox(parent)
{
    // Read when the typing ends, never half-typed text.
    setKeyboardTracking(false);
    // Text typed again is judged again when it is read.
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { twMarkRefused(this, false); });
}

std::optional<qint64> TWWholeNumberSpinBox::read(const QString &text) const
{
    if (!specialValueText().isEmpty() && text == specialValueText())
        return minimum();
    return twTypedWholeNumber(text, minimum(), maximum());
}

bool TWWholeNumberSpinBox::typed() const
{
    // The spin box sets its own text unmodified; a user's typing modifies it.
    return lineEdit()->isModified();
}

bool TWWholeNumberSpinBox::commit()
{
    if (!typed())
        return true;
    if (!read(lineEdit()->text())) {
        if (!twIsRefused(this))
            QApplication::beep();
        twMarkRefused(this, true);
        return false;
    }
    interpretText();
    lineEdit()->setModified(false);
    twMarkRefused(this, false);
    return true;
}

QValidator::State TWWholeNumberSpinBox::validate(QString &input, int &) const
{
    // Anything may be typed; only what reads is a value.
    return read(input) ? QValidator::Acceptable : QValidator::Intermediate;
}

int TWWholeNumberSpinBox::valueFromText(const QString &text) const
{
    const std::optional<qint64> number = read(text);
    return number ? int(*number) : value();
}

void TWWholeNumberSpinBox::fixup(QString &) const
{
    // Refused text stays as typed (Qt's fix-up would put the old value back
    // in its place, as if it had been read).
}

void TWWholeNumberSpinBox::focusOutEvent(QFocusEvent *event)
{
    const bool refused = typed() && !read(lineEdit()->text());
    const QString text = lineEdit()->text();
    if (!refused)
        commit();
    QSpinBox::focusOutEvent(event);
    if (refused) {
        // The editor showed its value again on leaving: the text comes back,
        // marked, for mending (a sheet's Save names the field).
        const QSignalBlocker block(lineEdit());
        lineEdit()->setText(text);
        lineEdit()->setModified(true);
        commit();
    }
}

void TWWholeNumberSpinBox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Text that does not read keeps the field (and its sheet) open, and
        // is never stepped from the old value.
        if (!commit()) {
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QSpinBox::keyPressEvent(event);
}
