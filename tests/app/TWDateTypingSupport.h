#pragma once
// Types into a date field as a user does: selects its text, types, and
// leaves the field with Tab (which reads the text). Or clicks into it first,
// as a user does who reaches for the mouse; and walks a form with Tab. And
// what Save says of a refused field.

#include "app/TWAlert.h"

#include "foundation/TWLocalized.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QList>
#include <QString>
#include <QTest>

inline void twTypeDate(QDateTimeEdit *field, const QString &text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
}

// Makes the field's window the active one, so that clicks and Tab move the
// focus as on a desktop.
inline bool twActivate(QWidget *widget)
{
    QWidget *window = widget->window();
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

// A click just inside the start of the field's text, where the caret would
// land before the date shown; then the text typed, and Tab.
inline void twClickAndTypeDate(QDateTimeEdit *field, const QString &text)
{
    twActivate(field);
    auto *line = field->findChild<QLineEdit *>();
    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(3, line->height() / 2));
    QCoreApplication::processEvents();
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

// The widgets that hold the focus after each of `count` Tabs from `start`.
inline QList<QWidget *> twTabWalk(QWidget *start, int count)
{
    twActivate(start);
    start->setFocus(Qt::TabFocusReason);
    QList<QWidget *> walk;
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walk.append(QApplication::focusWidget());
    }
    return walk;
}

// As a sheet opens: the field has the focus, its date selected. A click at
// the end of its text, the text typed, then a click into `next`.
inline void twClickIntoFocusedDate(QDateTimeEdit *field, const QString &text, QWidget *next)
{
    twActivate(field);
    field->setFocus(Qt::OtherFocusReason);
    auto *line = field->findChild<QLineEdit *>();
    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(line->width() - 4, line->height() / 2));
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::mouseClick(next, Qt::LeftButton);
}

// Records the alerts shown while it lives, each answered with its first button.
struct TWAlertRecorder {
    TWAlertRecorder()
    {
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            messages.append(alert.message);
            if (completion)
                completion(TWAlertFirstButtonReturn);
        });
    }
    ~TWAlertRecorder() { twSetAlertPresenter({}); }
    QStringList messages;
};

// Whether `message` names the field with the label `label` ("To:") as the
// explanation of a refused field does.
inline bool twNamesField(const QString &message, const QString &label)
{
    return message.startsWith(TWLocalized("refusedFieldMessage")
                                  .arg(label.endsWith(u':') ? label.chopped(1) : label, QString()));
}
