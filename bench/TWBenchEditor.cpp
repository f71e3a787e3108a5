#include "TWBenchEditor.h"

#include "ledger/TWTransactionController.h"

#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

TWBenchEditor::TWBenchEditor(TWBusiness &business, TWBusinessController *document)
    : m_business(business), m_document(document),
      m_editor(std::make_unique<TWTransactionController>())
{
}

TWBenchEditor::~TWBenchEditor() = default;

bool TWBenchEditor::prepare(const QString &payee)
{
    if (m_business.accounts().size() < 2)
        return false;
    TWTransactionPtr transaction = twNewTransaction(m_business);
    twUpdateAccounts(*transaction, m_business, std::nullopt, false);
    transaction->setActiveAccountIdentifier(transaction->account1Identifier());
    transaction->setPayee(payee);
    transaction->setTotal(1000);
    twUpdateTotals(*transaction, TWTotalTypeTotal, TWTotalTypeAll, m_business);
    m_editor->setMode(TWEditorMode::New);
    m_editor->setTransaction(transaction);
    m_editor->setRelationships({});
    m_editor->setIsImport(false);
    m_editor->setBusinessController(m_document);
    m_editor->setBusiness(&m_business);
    m_editor->update();
    return m_editor->editTransaction() != nullptr;
}

QString TWBenchEditor::save()
{
    if (!m_editor->editTransaction() || m_editor->doSave(1) != TWSaveOutcome::Closed ||
        !m_editor->saved())
        return {};
    return QStringLiteral("transaction %1").arg(m_editor->editTransaction()->identifier());
}

QString TWBenchEditor::autofillLookup()
{
    const TWFieldPtr payee = m_business.fieldWithIdentifier(-5);
    if (!payee || !m_editor->editTransaction())
        return {};
    const TWTransactionPtr source =
        m_business.mostRecentTransaction(*m_editor->editTransaction(), *payee);
    return source ? QStringLiteral("from transaction %1").arg(source->identifier()) : QString();
}
