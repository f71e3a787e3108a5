#pragma once
// The keystroke filter of editable number fields: an edit that types anything
// but digits (ASCII or the locale's own), "," "." "-" and the locale's marks is
// refused (with a beep) before it reaches the field. Whether the finished text
// is a number is the formatter's business.

#include <QString>
#include <QValidator>

#include <functional>

class TWNumberFormatter : public QValidator
{
    Q_OBJECT
public:
    explicit TWNumberFormatter(QObject *parent = nullptr);

    // The edit check: the characters typed are those between the start of the
    // selection before the edit and the caret after it; an edit that typed a
    // character outside the allowed set is refused (false, beep, the text of
    // "invalidInput" in *errorDescription). A deletion types nothing and passes.
    bool isPartialStringValid(const QString &partialString, int proposedSelectionStart,
                              const QString &originalString, int originalSelectionStart,
                              QString *errorDescription = nullptr) const;

    // QValidator: the field's whole new text must consist of allowed
    // characters; otherwise Invalid and a beep.
    State validate(QString &input, int &pos) const override;

    // Whether one character may be typed into a number field: ASCII digits,
    // "," "." "-", and (so that a number the formatter wrote stays editable)
    // the validator locale's digits, grouping and decimal separators, minus
    // sign and brackets, and the space or apostrophe typed for a locale's
    // space or right quote.
    bool isAllowed(QChar c) const;

    // A field that takes a duration ("1:30") also takes the colon.
    void setAllowsTimeSeparator(bool allows) { m_allowsTimeSeparator = allows; }
    bool allowsTimeSeparator() const { return m_allowsTimeSeparator; }

    // The beep: the user interface installs QApplication::beep here (this
    // library does not link the widgets module). Empty means silent.
    static void setBeepHandler(std::function<void()> handler);
    static void beep();

private:
    bool m_allowsTimeSeparator = false;
};
