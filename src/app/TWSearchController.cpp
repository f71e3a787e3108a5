#include "app/TWSearchController.h"

#include "app/TWBusinessController.h"
#include "app/TWFilterEditor.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionSearch.h"

#include <QDialogButtonBox>
#include <QLayout>
#include <QPushButton>

TWSearchController::TWSearchController(QObject *parent) : TWLazyViewController<QObject>(parent)
{
}

TWSearchController::~TWSearchController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWSearchController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWSearch"));
    m_editor = new TWFilterEditor(m_view);
    m_editor->setObjectName(QStringLiteral("filterEditor"));
    m_editor->setMinimumWidth(560);
    m_editor->setFixedHeight(0);
    connect(m_editor, &TWFilterEditor::action, this, [this] { doFilterEditor(); });

    auto *buttons = new QDialogButtonBox(m_view);
    m_cancel = buttons->addButton(TWLocalized("cancel"), QDialogButtonBox::RejectRole);
    m_find = buttons->addButton(TWLocalized("advancedFindButton"), QDialogButtonBox::AcceptRole);
    m_find->setObjectName(QStringLiteral("findButton"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_find->setDefault(true);
    connect(m_find, &QPushButton::clicked, this, [this] { doCancelFind(1); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { doCancelFind(0); });

    auto *layout = new QVBoxLayout(m_view);
    layout->addWidget(m_editor);
    layout->addWidget(buttons);
    // The sheet's minimum height is more than a few rows need: the buttons
    // stay under the rows and the spare room goes below them.
    layout->addStretch(1);
    // The sheet around it says what it is.
    m_view->setWindowTitle(TWLocalized("sheetTitleAdvancedFind"));
}

void TWSearchController::update()
{
    view();
    m_editor->setBusiness(m_business);
    const TWFilterPtr &search = m_business ? m_business->advancedFindFilter() : TWFilterPtr();
    // The editor changes the tree it is given: a copy, so that cancel keeps
    // the stored criteria.
    if (search && search->criteria())
        m_editor->setCriteria(search->criteria()->copy());
    else
        m_editor->setCriteria(m_business ? twDefaultCriteria(*m_business)
                                         : TWFilterCriteria::filterCriteriaCompound());
    m_editor->update();
    updateWindowFrame();
}

void TWSearchController::updateWindowFrame()
{
    if (m_editor && m_view)
        twFitFilterEditor(*m_editor, *m_view);
}

void TWSearchController::doCancelFind(int tag)
{
    if (!m_view)
        return;
    // A rule's date whose text was refused is never searched as another date.
    if (tag == 1 && twExplainFirstRefusedField(m_view))
        return;
    if (tag == 1 && m_business) {
        TWFilterPtr search = m_business->advancedFindFilter();
        if (!search) {
            search = TWFilter::filterWithIdentifier(0, TWLocalized("searchResults"));
            m_business->setAdvancedFindFilter(search);
        }
        search->setCriteria(m_editor->criteria());
        if (m_document)
            m_document->updateChangeCount(0);
    }
    if (m_document)
        m_document->endSheet(m_view, tag == 1 && m_business ? TWSheetResult::Confirmed
                                                            : TWSheetResult::Cancelled);
}
