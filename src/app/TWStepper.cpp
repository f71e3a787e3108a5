#include "app/TWStepper.h"

#include <QToolButton>
#include <QVBoxLayout>

TWStepper::TWStepper(QWidget *parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton *button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFixedSize(18, 12);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { stepUp(); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepDown(); });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TWStepper::setValue(qint64 value)
{
    m_value = std::clamp(value, m_minimum, m_maximum);
}

void TWStepper::setRange(qint64 minimum, qint64 maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setValue(m_value);
}

void TWStepper::step(int direction)
{
    const qint64 next = std::clamp(m_value + direction, m_minimum, m_maximum);
    if (next == m_value)
        return;
    m_value = next;
    emit stepped(m_value);
}
