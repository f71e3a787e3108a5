#include "app/TWTypedNumberField.h"

#include "app/TWAlert.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace
{

void focusField(QLineEdit *field)
{
    if (!field->isEnabled())
        return;
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

} // namespace

void twRefuseTypedNumber(QLineEdit *field)
{
    QApplication::beep();
    if (!field)
        return;
    // Taking the focus back inside the focus change that ended the editing
    // would fight it; right after it, the field simply has it again.
    const QPointer<QLineEdit> guarded(field);
    QTimer::singleShot(0, field, [guarded] {
        if (guarded)
            focusField(guarded);
    });
}

void twExplainTypedNumber(QLineEdit *field)
{
    QApplication::beep();
    TWAlert alert;
    alert.message = TWFormatter::formatter().typedNumberError();
    alert.buttons = {TWLocalized("ok")};
    alert.window = field ? field->window() : nullptr;
    const QPointer<QLineEdit> guarded(field);
    twRunAlert(alert, [guarded](int) {
        if (guarded)
            focusField(guarded);
    });
    if (guarded)
        focusField(guarded);
}
