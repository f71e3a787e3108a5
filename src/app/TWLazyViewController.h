#pragma once
// The widget of a view or sheet controller is made the first time the window
// asks for it, not when the controller is: `view()` builds it through
// `build()`, which sets `m_view`, and hands out the same widget from then on.
// Should the widget go (its window deleted it), the next `view()` builds it
// again. The controllers derive from this over their own base:
// `class TWFieldsController : public TWLazyViewController<TWFieldsDetail>`.

#include <QPointer>
#include <QWidget>

template <typename Base> class TWLazyViewController : public Base
{
public:
    using Base::Base;

    // The widget, built on first use. Overrides the base's `view()` where it
    // has one.
    QWidget *view()
    {
        if (!m_view)
            build();
        return m_view;
    }

protected:
    // Builds the widget into `m_view`.
    virtual void build() = 0;

    QPointer<QWidget> m_view;
};
