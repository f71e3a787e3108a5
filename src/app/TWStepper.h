#pragma once
// A stepper: two small arrow buttons that raise and lower an integer within bounds, kept beside
// a number field (Qt has a spin box, but no stepper that lets its field stay empty).

#include <QWidget>

class QToolButton;

class TWStepper final : public QWidget
{
    Q_OBJECT
public:
    explicit TWStepper(QWidget *parent = nullptr);

    qint64 value() const { return m_value; }
    // Clamped into the range; emits nothing.
    void setValue(qint64 value);
    void setRange(qint64 minimum, qint64 maximum);
    qint64 minimum() const { return m_minimum; }
    qint64 maximum() const { return m_maximum; }

    // What the buttons do.
    void stepUp() { step(1); }
    void stepDown() { step(-1); }

signals:
    // The user stepped.
    void stepped(qint64 value);

private:
    void step(int direction);

    QToolButton *m_up;
    QToolButton *m_down;
    qint64 m_value = 0;
    qint64 m_minimum = 0;
    qint64 m_maximum = 100;
};
