#include "work/TWWorkListController.h"

#include "app/TWBusinessController.h"

TWWorkListController::TWWorkListController(QObject *parent) : TWLazyViewController<QObject>(parent)
{
}

TWWorkListController::~TWWorkListController()
{
    if (m_preferencesObserver)
        TWNotificationCenter::defaultCenter().removeObserver(m_preferencesObserver);
}

void TWWorkListController::setBusinessController(TWBusinessController *document)
{
    m_document = document;
}

bool TWWorkListController::canAddRecord() const
{
    return m_mode == ModeProjects && shownProjectCount() == 1;
}

void TWWorkListController::presentError(const TWError &error) const
{
    if (m_document)
        m_document->presentError(error);
}

void TWWorkListController::changed() const
{
    if (m_document)
        m_document->updateChangeCount(0);
}

void TWWorkListController::observePreferences(std::function<void()> redraw)
{
    if (m_preferencesObserver)
        TWNotificationCenter::defaultCenter().removeObserver(m_preferencesObserver);
    m_preferencesObserver = TWNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("preferences"), nullptr,
        [redraw = std::move(redraw)](const TWNotification &) { redraw(); });
}
