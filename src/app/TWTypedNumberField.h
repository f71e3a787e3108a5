#pragma once
// Number and amount fields refuse text the locale cannot read as a number
// where it was typed: the beep, and the field keeps its text and the keyboard
// focus, so that nothing else is stored in its place.

class QLineEdit;

// The beep; the field keeps its text and gets the focus back once the focus
// change that ended its editing is over.
void twRefuseTypedNumber(QLineEdit *field);
// For Save or OK: an alert on the field's window that says the number is not
// written as numbers are written here, then the focus back in the field.
void twExplainTypedNumber(QLineEdit *field);
