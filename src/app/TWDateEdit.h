#pragma once
// The date fields of every window, sheet and table. Qt's date editors read
// typed text section by section, so a "/" typed after a month's two digits
// jumps over the day and "10/5/26" becomes a date in 2052. Here typing edits
// the text freely; the text is read as a whole, by the one reader of typed
// dates (TWDateReader: the locale's short format, month names, AM/PM), when
// the field loses focus, on Return, or before an arrow key steps it. Text that
// does not read as a date is refused: the field beeps and keeps the text,
// marked, and its date stays as it was; the focus goes where the user takes
// it, and a sheet's Save names the field until the text is mended. Arrow
// keys, the wheel and the calendar pop-up work as in Qt's editors.

#include "model/TWDateReader.h"

#include <QDateEdit>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QObject>
#include <QPoint>
#include <QTimeEdit>

#include <optional>

class QLineEdit;
class QToolButton;

// The typing half shared by the editors below (which own it): it takes
// the keys that edit text and commits the text into the editor.
class TWDateTyping final : public QObject
{
    Q_OBJECT
public:
    TWDateTyping(QDateTimeEdit *edit, QLineEdit *line);

    // Whether the text holds typing not yet read into the date.
    bool isTyping() const { return m_typing; }
    // The moment `text` names for the editor (its date's time kept where it
    // shows no time); invalid when it does not read or lies outside the
    // editor's range, and `skippedTime` says whether it named a time the
    // local clock skipped. The editor's own text reads as its date.
    QDateTime read(const QString &text, bool *skippedTime = nullptr) const;
    // The editors' validation while typing: readable text is acceptable,
    // anything else still being typed.
    QValidator::State validate(const QString &text) const;
    // Reads the typed text into the editor. False when it did not read as a
    // date (the text stays, marked, and the date as it was); true otherwise.
    bool commit();
    // Whether the field holds typed text that was refused.
    bool isRefused() const;
    // Whether the refused text named a time the clock skipped that day.
    bool refusedSkippedTime() const { return isRefused() && m_refusedSkippedTime; }
    // Puts refused text back where the editor showed its date instead.
    void keepRefusedText();
    // Handles a key that edits the text; false for keys left to the editor
    // (typing read first where the key steps or leaves the field).
    bool keyPress(QKeyEvent *event);
    // When the editor takes the focus, by keyboard or by a click, the whole
    // text is selected so that typing replaces the date.
    void focusIn(Qt::FocusReason reason);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Sends an event to the text without the editor hearing of it (its
    // section machinery would move the cursor over free text).
    void deliver(QEvent *event);

    void start();
    void refuse();
    void selectAll();
    // The reader of typed text for the pattern and locale, made once and
    // kept while they stay the same: reading runs at every keystroke.
    const TWDateReader &typedReader(const QString &pattern, const QLocale &locale) const;

    QDateTimeEdit *m_edit;
    mutable std::optional<TWDateReader> m_reader;
    mutable QString m_readerPattern;
    mutable QLocale m_readerLocale;
    QLineEdit *m_line;
    bool m_typing = false;
    // The date being set from the typed text (not from outside).
    bool m_committing = false;
    QString m_refusedText;
    bool m_refusedSkippedTime = false;
    // The click that gave the focus is still being handled: the text line
    // places its caret on the press, so the text is selected again after the
    // release (unless the click was a drag that selected some of it).
    bool m_selectAfterClick = false;
    QPoint m_clickPosition;
};

// Where a step from a field showing no date lands: today.
QDate twStepStartDate();

// What the three fields share: each hands its events to its typing and
// otherwise behaves as the Qt editor it derives from.
template <class Base> class TWTypedDateField : public Base
{
public:
    using Base::Base;

    TWDateTyping *typing() const { return m_typing; }
    bool isTyping() const { return m_typing && m_typing->isTyping(); }
    QValidator::State validate(QString &input, int &pos) const override
    {
        if (isTyping())
            return m_typing->validate(input);
        return Base::validate(input, pos);
    }
    void fixup(QString &input) const override
    {
        if (!isTyping())
            Base::fixup(input);
    }
    QDateTime dateTimeFromText(const QString &text) const override
    {
        if (isTyping()) {
            // Never Qt's own reading of typed text, which reads a prefix.
            const QDateTime moment = m_typing->read(text);
            return moment.isValid() ? moment : this->dateTime();
        }
        return Base::dateTimeFromText(text);
    }

protected:
    // Called by each field's constructor, once the editor's text field exists.
    void startTyping(const QString &format)
    {
        m_typing = new TWDateTyping(this, this->lineEdit());
        this->setDisplayFormat(format);
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (!m_typing->keyPress(event))
            Base::keyPressEvent(event);
    }
    void focusInEvent(QFocusEvent *event) override
    {
        Base::focusInEvent(event);
        m_typing->focusIn(event->reason());
    }
    void focusOutEvent(QFocusEvent *event) override
    {
        m_typing->commit();
        Base::focusOutEvent(event);
        m_typing->keepRefusedText();
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        m_typing->commit();
        Base::mousePressEvent(event);
    }
    void wheelEvent(QWheelEvent *event) override
    {
        // Never a step from the old date under refused text.
        if (m_typing->commit())
            Base::wheelEvent(event);
        else
            event->accept();
    }
    void showEvent(QShowEvent *event) override
    {
        Base::showEvent(event);
        // Ahead of filters installed since (an item view's delegate).
        this->installEventFilter(m_typing);
    }
    bool focusNextPrevChild(bool next) override
    {
        // Tab leaves the field (Qt's editors walk their sections).
        m_typing->commit();
        return QWidget::focusNextPrevChild(next);
    }
    // A field that may hold no date shows none as its minimum under a
    // special text. A key or a wheel notch there starts at today: stepping
    // from the minimum would put a date nobody chose into the field.
    void stepBy(int steps) override
    {
        if (showsNoDate())
            this->setDate(twStepStartDate());
        else
            Base::stepBy(steps);
    }
    typename Base::StepEnabled stepEnabled() const override
    {
        if (showsNoDate() && !this->isReadOnly())
            return Base::StepUpEnabled | Base::StepDownEnabled;
        return Base::stepEnabled();
    }

private:
    bool showsNoDate() const
    {
        if (this->specialValueText().isEmpty() ||
            !(this->displayedSections() & QDateTimeEdit::DateSections_Mask))
            return false;
        if (this->displayedSections() & QDateTimeEdit::TimeSections_Mask)
            return this->dateTime() == this->minimumDateTime();
        return this->date() == this->minimumDate();
    }

    TWDateTyping *m_typing = nullptr;
};

// A date field: a QDateEdit showing the locale's short date format.
class TWDateEdit final : public TWTypedDateField<QDateEdit>
{
    Q_OBJECT
public:
    explicit TWDateEdit(QWidget *parent = nullptr);
    explicit TWDateEdit(const QDate &date, QWidget *parent = nullptr);
};

// A date and time field: a QDateTimeEdit showing the locale's short date and
// time formats.
class TWDateTimeEdit final : public TWTypedDateField<QDateTimeEdit>
{
    Q_OBJECT
public:
    explicit TWDateTimeEdit(QWidget *parent = nullptr);
};

// A time field: a QTimeEdit showing the locale's short time format.
class TWTimeEdit final : public TWTypedDateField<QTimeEdit>
{
    Q_OBJECT
public:
    explicit TWTimeEdit(QWidget *parent = nullptr);
};

// A new button that opens a date field's calendar pop-up (checked while it
// is open). It is for the mouse only: never a Tab stop, so Tab goes from the
// date field on to the next field, and typing always reaches a field.
QToolButton *TWNewCalendarButton(QWidget *parent);

// Makes the item views' default editors for dates and times these fields, so
// table cells read typed dates the same way. Called once at start.
void TWInstallDateEditorFactory();
