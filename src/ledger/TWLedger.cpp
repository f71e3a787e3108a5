#include "ledger/TWLedger.h"

#include "ledger/TWAutofillController.h"
#include "ledger/TWBusinessInfoController.h"
#include "ledger/TWExchangeRates.h"
#include "ledger/TWFieldsController.h"
#include "ledger/TWUnitsController.h"
#include "ledger/TWValuesController.h"

#include "app/TWAppRegistry.h"
#include "app/TWDetailInterfaces.h"
#include "ledger/TWAccountInfoController.h"
#include "ledger/TWEditTransactionsController.h"
#include "ledger/TWRepeatsController.h"
#include "ledger/TWTransactionController.h"
#include "ledger/TWTransactionsController.h"

void twRegisterLedger()
{
    [[maybe_unused]] TWAppRegistry &registry = TWAppRegistry::registry();
    registry.setDetailFactory(TWDetailFields, [](QObject *p) { return new TWFieldsController(p); });
    registry.setDetailFactory(TWDetailValues, [](QObject *p) { return new TWValuesController(p); });
    registry.setDetailFactory(TWDetailAutofill,
                              [](QObject *p) { return new TWAutofillController(p); });
    registry.setEditorFactory(TWEditorKind::Transaction,
                              [](QObject *parent) { return new TWTransactionController(parent); });
    const auto makeRegister = [](QObject *parent) { return new TWTransactionsController(parent); };
    registry.setDetailFactory(TWDetailTransactionsAccounts, makeRegister);
    registry.setDetailFactory(TWDetailTransactionsFilters, makeRegister);
    registry.setEditorFactory(TWEditorKind::EditTransactions, [](QObject *parent) {
        return new TWEditTransactionsController(parent);
    });
    registry.setEditorFactory(TWEditorKind::AccountInfo,
                              [](QObject *parent) { return new TWAccountInfoController(parent); });
    registry.setDetailFactory(TWDetailRepeats,
                              [](QObject *parent) { return new TWRepeatsController(parent); });
    registry.setDetailFactory(TWDetailUnits,
                              [](QObject *parent) { return new TWUnitsController(parent); });
    registry.setBusinessInfoFactory(
        [](QObject *parent) { return new TWBusinessInfoController(parent); });
    registry.rateCheck = [](TWBusinessController &document) {
        TWExchangeRates::forDocument(&document)->checkCurrencyExchangeRates();
    };
}
