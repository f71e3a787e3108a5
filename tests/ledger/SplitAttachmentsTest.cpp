// Attachments stay with a transaction the user splits: after saving,
// closing and opening the business again the editor's strip still shows them
// (the first editor of a session must load them, with no later refresh).

#include "TransactionEditorTestSupport.h"

#include "ledger/TWAttachmentsController.h"
#include "ledger/TWAttachmentsModel.h"

#include <QFile>

namespace
{

using SplitAttachments = TransactionEditorTest;

QStringList stripNames(TWTransactionController *editor)
{
    QStringList names;
    TWAttachmentsController *strip = editor->attachmentsController();
    if (!strip)
        return names;
    const TWAttachmentsModel *model = strip->model();
    for (int row = 0; model && row < model->rowCount(); ++row)
        names.append(model->index(row, 0).data().toString());
    return names;
}

TEST_F(SplitAttachments, AReceiptOfASplitTransactionIsStillThereAfterReopening)
{
    const QString package = dir.filePath(QStringLiteral("Split.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(package)));
    const QString receipt = dir.filePath(QStringLiteral("receipt.txt"));
    {
        QFile file(receipt);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("paid\n");
    }
    const TWTransactionPtr stored = storeTransaction(QStringLiteral("Stationer"), 15000);
    const qint32 identifier = stored->identifier();

    // Attach, save.
    TWTransactionController *editor = openEdit(business->transactionWithIdentifier(identifier));
    ASSERT_TRUE(editor && editor->attachmentsController());
    ASSERT_TRUE(editor->attachmentsController()->addFiles({receipt}));
    ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    ASSERT_TRUE(document->saveDocument());

    // Split, save.
    editor = openEdit(business->transactionWithIdentifier(identifier));
    ASSERT_TRUE(editor);
    EXPECT_EQ(stripNames(editor), QStringList{QStringLiteral("receipt.txt")});
    editor->splitTransaction();
    ASSERT_TRUE(editor->editTransaction()->hasSplit());
    ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    ASSERT_TRUE(document->saveDocument());

    // Close, reopen, open the transaction.
    document.reset();
    auto reopened = std::make_unique<TWBusinessController>();
    TWErrorResult error;
    ASSERT_TRUE(reopened->readFromURL(QUrl::fromLocalFile(package), &error));
    reopened->makeWindowControllers();
    reopened->showWindows();
    document = std::move(reopened);
    business = document->business();
    const TWTransactionPtr back = business->transactionWithIdentifier(identifier);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->hasSplit());
    EXPECT_TRUE(back->hasAttachments());
    editor = openEdit(back);
    ASSERT_TRUE(editor);
    EXPECT_EQ(stripNames(editor), QStringList{QStringLiteral("receipt.txt")});
}

} // namespace
