#include "app/TWFilterInfoController.h"

#include "app/TWBusinessController.h"
#include "app/TWFilterEditor.h"
#include "app/TWPopover.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionSearch.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

TWFilterInfoController::TWFilterInfoController(QObject *parent) : TWInfoEditor(parent)
{
}

TWFilterInfoController::~TWFilterInfoController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWFilterInfoController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWFilterInfo"));
    m_name = new QLineEdit(m_view);
    m_name->setObjectName(QStringLiteral("nameTextField"));
    m_editor = new TWFilterEditor(m_view);
    m_editor->setObjectName(QStringLiteral("filterEditor"));
    m_editor->setMinimumWidth(560);
    m_editor->setFixedHeight(0);
    connect(m_editor, &TWFilterEditor::action, this, [this] { doFilterEditor(); });

    auto *form = new QFormLayout();
    form->addRow(TWLocalized("filterName"), m_name);
    auto *buttons = addSaveCancelBox([this](int tag) { doSave(tag); });

    auto *layout = new QVBoxLayout(m_view);
    layout->addLayout(form);
    layout->addWidget(m_editor);
    layout->addWidget(buttons);
}

void TWFilterInfoController::reset()
{
    if (!m_view)
        return;
    m_filter.reset();
    m_popover = nullptr;
    m_name->clear();
    m_editor->setBusiness(m_business);
    m_editor->setCriteria(m_business ? twDefaultCriteria(*m_business)
                                     : TWFilterCriteria::filterCriteriaCompound());
    m_editor->update();
    updateWindowFrame();
    m_name->setFocus();
    m_saved = false;
}

void TWFilterInfoController::update()
{
    if (!m_view)
        return;
    if (!m_filter) {
        reset();
        return;
    }
    m_name->setText(m_filter->name());
    m_editor->setBusiness(m_business);
    // The editor changes the tree it is given: a copy, so cancel leaves the
    // filter alone.
    m_editor->setCriteria(m_filter->criteria() ? m_filter->criteria()->copy()
                                               : TWFilterCriteria::filterCriteriaCompound());
    m_editor->update();
    updateWindowFrame();
    m_name->setFocus();
    m_saved = false;
}

void TWFilterInfoController::doFilterEditor()
{
    updateWindowFrame();
}

void TWFilterInfoController::updateWindowFrame()
{
    if (m_editor && m_view)
        twFitFilterEditor(*m_editor, *m_view);
}

void TWFilterInfoController::doSave(int tag)
{
    if (!m_view)
        return;
    // A rule's date whose text was refused is never saved as another date.
    if (tag == 1 && twExplainFirstRefusedField(m_view))
        return;
    bool made = true;
    if (tag == 1) {
        const QString name = m_name->text().isEmpty() ? QString() : m_name->text();
        if (m_mode == TWEditorMode::Existing && m_filter) {
            m_filter->setName(name);
            m_filter->setCriteria(m_editor->criteria());
            m_saved = true;
        } else if (m_mode == TWEditorMode::New && m_business) {
            const qint32 identifier = m_business->nextFilterIdentifier();
            made = acceptIdentifier(identifier);
            if (made)
                m_filter =
                    TWFilter::filterWithIdentifier(identifier, name, 0, 0, m_editor->criteria());
        }
    }
    finishSave(tag, made);
}
