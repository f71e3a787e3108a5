#include "TWBenchEditor.h"

#include "TWBusinessController.h"
#include "TWTransactionController.h"

#include "TWBusiness.h"

#include <QElapsedTimer>
#include <QLineEdit>

#include <cstdio>

namespace
{
constexpr int kRuns = 5;

double milliseconds(const QElapsedTimer &timer) { return double(timer.nsecsElapsed()) / 1e6; }
} // namespace

TWBenchEditorTimes twBenchEditorPhases(TWBusinessController &document,
                                       const std::function<void()> &refreshRegister)
{
    TWBenchEditorTimes times;
    TWBusiness *business = document.business();
    if (!business || business->accounts().size() < 2)
        return times;
    const TWFieldPtr payee = business->fieldWithIdentifier(-5);
    if (!payee)
        return times;

    TWTransactionController editor;
    for (int run = 0; run < kRuns; ++run) {
        TWTransactionPtr transaction = TWTransaction::transactionWithBusiness(*business);
        transaction->updateAccountsWithBusiness(*business, std::nullopt, false);
        transaction->setActiveAccountIdentifier(transaction->account1Identifier());
        transaction->setPayee(QStringLiteral("Payee %1").arg(run * 7));
        transaction->setTotal(1000 + run);
        editor.setMode(0);
        editor.setTransaction(transaction);
        editor.setRelationships({});
        editor.setIsImport(false);
        editor.setBusinessController(&document);
        editor.setBusiness(business);
        editor.update();

        // The lookup a payee typed into a new transaction starts.
        QElapsedTimer lookup;
        lookup.start();
        const TWTransactionPtr source =
            business->mostRecentTransaction(*editor.editTransaction(), *payee);
        times.autofillLookup = std::max(times.autofillLookup, milliseconds(lookup));
        if (!source) {
            std::fprintf(stderr, "autofill lookup found nothing\n");
            return times;
        }

        QElapsedTimer save;
        save.start();
        if (editor.doSave(1) != TWSaveOutcome::Closed || !editor.saved()) {
            std::fprintf(stderr, "editor save failed\n");
            return times;
        }
        if (refreshRegister)
            refreshRegister();
        times.editorSave = std::max(times.editorSave, milliseconds(save));
    }
    times.ok = true;
    return times;
}
