#pragma once
// Types into a date field as a user does: selects its text, types, and
// leaves the field with Tab (which reads the text).

#include <QDateTimeEdit>
#include <QString>
#include <QTest>

inline void twTypeDate(QDateTimeEdit *field, const QString &text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
}
