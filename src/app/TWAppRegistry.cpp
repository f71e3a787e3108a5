#include "app/TWAppRegistry.h"

#include "app/TWInterimViews.h"

#include "foundation/TWLocalized.h"

#include <QAction>
#include <QMenu>

QByteArray TWDetailController::printOperation(QPrinter &)
{
    return {};
}

bool TWDetailController::canDeleteItem(bool) const
{
    return false;
}

void TWTaskTimer::rebuildTimerMenulet(QMenu *menu)
{
    menu->clear();
    QAction *item = menu->addAction(TWLocalized("noBusinessOpen"));
    item->setEnabled(false);
}

TWAppRegistry &TWAppRegistry::registry()
{
    static TWAppRegistry shared;
    return shared;
}

TWAppRegistry::TWAppRegistry()
{
    reset();
}

void TWAppRegistry::reset()
{
    m_details.clear();
    m_editors.clear();
    m_businessInfo = nullptr;
    m_invoiceList = nullptr;
    m_merchantsView = nullptr;
    m_taskTimer = nullptr;
    rateCheck = nullptr;
    registerPrintTable = nullptr;
    crashReportingStart = nullptr;
}

TWDetailController *TWAppRegistry::makeDetailController(TWDetailKind kind, QObject *parent) const
{
    if (const DetailFactory factory = m_details.value(int(kind)))
        if (TWDetailController *controller = factory(parent))
            return controller;
    return new TWInterimDetailController(TWLocalized("notAvailableYet"), parent);
}

void TWAppRegistry::setDetailFactory(TWDetailKind kind, DetailFactory factory)
{
    m_details.insert(int(kind), std::move(factory));
}

TWEditorController *TWAppRegistry::makeEditor(TWEditorKind kind, QObject *parent) const
{
    const EditorFactory factory = m_editors.value(int(kind));
    return factory ? factory(parent) : nullptr;
}

void TWAppRegistry::setEditorFactory(TWEditorKind kind, EditorFactory factory)
{
    if (factory)
        m_editors.insert(int(kind), std::move(factory));
    else
        m_editors.remove(int(kind));
}

TWBusinessInfoEditor *TWAppRegistry::makeBusinessInfoEditor(QObject *parent) const
{
    if (m_businessInfo)
        if (TWBusinessInfoEditor *editor = m_businessInfo(parent))
            return editor;
    return new TWInterimBusinessInfoForm(parent);
}

TWInvoiceListDetail *TWAppRegistry::makeInvoiceList(QObject *parent) const
{
    if (m_invoiceList)
        if (TWInvoiceListDetail *controller = m_invoiceList(parent))
            return controller;
    return new TWInterimInvoiceList(parent);
}

TWDetailController *TWAppRegistry::makeMerchantsView(QObject *parent) const
{
    if (m_merchantsView)
        if (TWDetailController *controller = m_merchantsView(parent))
            return controller;
    return new TWInterimDetailController(QString(), parent);
}

TWTaskTimer *TWAppRegistry::makeTaskTimer(TWBusinessController *document) const
{
    if (m_taskTimer)
        if (TWTaskTimer *timer = m_taskTimer(document))
            return timer;
    return new TWTaskTimer();
}
