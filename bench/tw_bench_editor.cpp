// Times the transaction editor on a ledger of 100,000 transactions: a save
// through the editor's save road and the autofill lookup. Measure a Release
// build under the offscreen platform.

#include "TWBenchEditor.h"
#include "TWBenchLedger.h"

#include "TWBusinessController.h"

#include "TWAccount.h"
#include "TWBusiness.h"
#include "TWBusinessInfo.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    TWBusinessController document;
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setName(QStringLiteral("Bench"));
    if (document.createWithBusinessInfo(info))
        return 1;
    TWBusiness &business = *document.business();
    for (qint32 identifier = 100; identifier <= 102; ++identifier) {
        if (business.accountWithIdentifier(identifier))
            continue;
        const TWAccountPtr account = TWAccount::accountWithIdentifier(
            identifier, QStringLiteral("Account %1").arg(identifier), 0, 0, TWAccountTypeBank,
            QString(), QImage(), business.homeUnit(), QString());
        if (business.addAccount(account, false))
            return 1;
    }
    if (!twBenchWriteLedger(business) || business.loadTransactions())
        return 1;

    const TWBenchEditorTimes times = twBenchEditorPhases(document, {});
    if (!times.ok)
        return 1;
    std::printf("ledger: %lld transactions\n", static_cast<long long>(business.transactions().size()));
    std::printf("editor save: %.1f ms (target 300 ms)\n", times.editorSave);
    std::printf("autofill lookup: %.1f ms (target 50 ms)\n", times.autofillLookup);
    return times.editorSave < 300 && times.autofillLookup < 50 ? 0 : 2;
}
