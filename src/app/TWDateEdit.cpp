#include "app/TWDateEdit.h"

#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "model/TWFormatter.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QItemEditorFactory>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

// ---- Typing ----

TWDateTyping::TWDateTyping(QDateTimeEdit *edit, QLineEdit *line)
    : QObject(edit), m_edit(edit), m_line(line)
{
    // Read only when asked (leaving the field, Return, a table committing),
    // never half-typed text.
    m_edit->setKeyboardTracking(false);
    m_line->installEventFilter(this);
    m_edit->installEventFilter(this);
    // A date set from outside (the calendar, the sheet) replaces the text.
    connect(m_edit, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (m_committing)
            return;
        m_typing = false;
        twMarkRefused(m_edit, false);
    });
}

const TWDateReader &TWDateTyping::typedReader(const QString &pattern, const QLocale &locale) const
{
    if (!m_reader || m_readerPattern != pattern || m_readerLocale != locale) {
        m_reader = TWDateReader::typed(pattern, locale);
        m_readerPattern = pattern;
        m_readerLocale = locale;
    }
    return *m_reader;
}

QDateTime TWDateTyping::read(const QString &text, bool *skippedTime) const
{
    if (skippedTime)
        *skippedTime = false;
    const QDateTime current = m_edit->dateTime();
    const QLocale locale = m_edit->locale();
    const QString format = m_edit->displayFormat();
    // The text the field shows for its date is that date, even where a
    // two-digit year would read into another century.
    if (text == locale.toString(current, format))
        return current;
    const QDateTimeEdit::Sections shown = m_edit->displayedSections();
    QDateTime moment;
    bool skipped = false;
    if (shown & QDateTimeEdit::DateSections_Mask) {
        moment = typedReader(format, locale).read(text.trimmed(), &skipped);
    } else {
        // A time alone is read as the time of the field's own day.
        const QString day = QStringLiteral("yyyy-MM-dd ");
        moment =
            typedReader(day + format, locale)
                .read(current.date().toString(day.trimmed()) + u' ' + text.trimmed(), &skipped);
    }
    if (skippedTime)
        *skippedTime = skipped;
    if (!moment.isValid())
        return {};
    // The day and time typed are the editor's own fields, never a moment
    // converted between zones: converted, local midnight east of Greenwich
    // is the day before.
    QDateTime typed = current;
    typed.setDate(moment.date());
    if (shown & QDateTimeEdit::TimeSections_Mask)
        typed.setTime(moment.time());
    else if (!typed.isValid())
        // The clock skips the field's time of day on the day typed: the day's
        // first moment. Only a fixed offset is handed on (Qt warns of one
        // given with local time and ignores it).
        typed = current.timeSpec() == Qt::OffsetFromUTC
                    ? moment.date().startOfDay(Qt::OffsetFromUTC, current.offsetFromUtc())
                    : moment.date().startOfDay(current.timeSpec());
    if (!typed.isValid() || typed < m_edit->minimumDateTime() || typed > m_edit->maximumDateTime())
        return {};
    return typed;
}

QValidator::State TWDateTyping::validate(const QString &text) const
{
    return read(text).isValid() ? QValidator::Acceptable : QValidator::Intermediate;
}

bool TWDateTyping::commit()
{
    if (!m_typing)
        return true;
    if (!read(m_line->text(), &m_refusedSkippedTime).isValid()) {
        refuse();
        return false;
    }
    // The editor reads acceptable text through dateTimeFromText.
    {
        const QScopedValueRollback committing(m_committing, true);
        m_edit->interpretText();
    }
    m_typing = false;
    {
        // interpretText leaves the text alone when the date did not change.
        const QSignalBlocker block(m_line);
        m_line->setText(m_edit->locale().toString(m_edit->dateTime(), m_edit->displayFormat()));
    }
    twMarkRefused(m_edit, false);
    return true;
}

void TWDateTyping::refuse()
{
    // Said once for each text; the text stays for mending, marked, and the
    // date stays as it was (Save names the field), never shown in its place.
    if (!twIsRefused(m_edit) || m_refusedText != m_line->text())
        QApplication::beep();
    m_refusedText = m_line->text();
    twMarkRefused(m_edit, true);
}

bool TWDateTyping::isRefused() const
{
    return m_typing && twIsRefused(m_edit);
}

void TWDateTyping::keepRefusedText()
{
    if (!isRefused() || m_line->text() == m_refusedText)
        return;
    const QSignalBlocker block(m_line);
    m_line->setText(m_refusedText);
}

void TWDateTyping::start()
{
    m_typing = true;
    // Edited text is judged again when it is read.
    twMarkRefused(m_edit, false);
}

void TWDateTyping::deliver(QEvent *event)
{
    const QSignalBlocker block(m_line);
    static_cast<QObject *>(m_line)->event(event);
    event->accept();
}

bool TWDateTyping::keyPress(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Text that does not read keeps the field (and its sheet) open.
        if (m_typing && !read(m_line->text(), &m_refusedSkippedTime).isValid()) {
            refuse();
            const QSignalBlocker block(m_line);
            m_line->selectAll();
            event->accept();
            return true;
        }
        commit();
        return false;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Never a step from the old date under refused text.
        if (!commit()) {
            event->accept();
            return true;
        }
        return false;
    case Qt::Key_Escape:
        if (!m_typing)
            return false;
        m_typing = false;
        twMarkRefused(m_edit, false);
        {
            const QSignalBlocker block(m_line);
            m_line->setText(m_edit->locale().toString(m_edit->dateTime(), m_edit->displayFormat()));
            m_line->selectAll();
        }
        event->accept();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        start();
        deliver(event);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!m_typing)
            return false;
        deliver(event);
        return true;
    default:
        break;
    }
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        start();
        deliver(event);
        return true;
    }
    if (event->matches(QKeySequence::SelectAll) || event->matches(QKeySequence::Copy)) {
        deliver(event);
        return true;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint() &&
        !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        start();
        deliver(event);
        return true;
    }
    return false;
}

void TWDateTyping::selectAll()
{
    const QSignalBlocker block(m_line);
    m_line->selectAll();
}

void TWDateTyping::focusIn(Qt::FocusReason reason)
{
    // The editor shows its date again on taking the focus; refused text stays.
    keepRefusedText();
    // Back from the calendar pop-up the field is as it was left.
    if (reason == Qt::PopupFocusReason)
        return;
    selectAll();
    if (reason != Qt::MouseFocusReason)
        return;
    m_selectAfterClick = true;
    m_clickPosition = QCursor::pos();
    // A focusing click whose release never reaches the text (on the frame)
    // ends here; one still held waits for its release.
    QTimer::singleShot(0, this, [this] {
        if (!m_selectAfterClick || !m_edit->hasFocus())
            return;
        if (QGuiApplication::mouseButtons() == Qt::NoButton)
            m_selectAfterClick = false;
        selectAll();
    });
}

bool TWDateTyping::eventFilter(QObject *watched, QEvent *event)
{
    // An item view's delegate commits the editor's date on Tab, Return and
    // leaving, before the editor itself sees the event: read the text first.
    if (watched == m_edit && m_typing) {
        if (event->type() == QEvent::FocusOut) {
            commit();
        } else if (event->type() == QEvent::KeyPress) {
            switch (static_cast<QKeyEvent *>(event)->key()) {
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                commit();
                break;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                // Unreadable text is kept for mending (keyPress refuses it).
                if (read(m_line->text()).isValid())
                    commit();
                break;
            default:
                break;
            }
        }
        return false;
    }
    if (watched == m_line && m_selectAfterClick) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_clickPosition = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            m_selectAfterClick = false;
            const QPoint moved =
                static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_clickPosition;
            deliver(event);
            if (moved.manhattanLength() < QApplication::startDragDistance())
                selectAll();
            return true;
        }
    }
    // Clicks and drags in text being typed move the cursor as in any text
    // field; the editor would snap it to its sections.
    if (watched == m_line && m_typing) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            deliver(event);
            return true;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- The editors ----

QDate twStepStartDate()
{
    return TWClock::today();
}

TWDateEdit::TWDateEdit(QWidget *parent) : TWDateEdit(TWClock::today(), parent)
{
}

TWDateEdit::TWDateEdit(const QDate &date, QWidget *parent) : TWTypedDateField(date, parent)
{
    // Qt's date editor keeps its value in UTC and converts every moment set
    // or read through it: local midnight east of Greenwich would show, and
    // be stored as, the day before. In local time the day set is the day
    // shown and the day read.
    setTimeSpec(Qt::LocalTime);
    if (date.isValid())
        setDateTime(date.startOfDay());
    startTyping(TWFormatter::formatter().shortDateFormat());
}

TWDateTimeEdit::TWDateTimeEdit(QWidget *parent) : TWTypedDateField(parent)
{
    startTyping(TWFormatter::formatter().shortDateTimeFormat());
}

TWTimeEdit::TWTimeEdit(QWidget *parent) : TWTypedDateField(parent)
{
    // As the date field: the time set is the time shown and read.
    setTimeSpec(Qt::LocalTime);
    startTyping(TWFormatter::formatter().locale().timeFormat(QLocale::ShortFormat));
}

QToolButton *TWNewCalendarButton(QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setCheckable(true);
    button->setArrowType(Qt::DownArrow);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// ---- Table cells ----

namespace
{

class TWDateEditorFactory final : public QItemEditorFactory
{
public:
    explicit TWDateEditorFactory(const QItemEditorFactory *fallback) : m_fallback(fallback) {}

    QWidget *createEditor(int userType, QWidget *parent) const override
    {
        switch (userType) {
        case QMetaType::QDate: {
            auto *editor = new TWDateEdit(parent);
            editor->setFrame(false);
            return editor;
        }
        case QMetaType::QDateTime: {
            auto *editor = new TWDateTimeEdit(parent);
            editor->setFrame(false);
            return editor;
        }
        default:
            return m_fallback->createEditor(userType, parent);
        }
    }

    QByteArray valuePropertyName(int userType) const override
    {
        return m_fallback->valuePropertyName(userType);
    }

private:
    const QItemEditorFactory *m_fallback;
};

} // namespace

void TWInstallDateEditorFactory()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // Qt's built-in factory outlives any factory set in its place.
    QItemEditorFactory::setDefaultFactory(
        new TWDateEditorFactory(QItemEditorFactory::defaultFactory()));
}
