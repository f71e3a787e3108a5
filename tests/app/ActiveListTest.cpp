// Which list a command acts on: the import sheet's lists while an import
// runs, otherwise the list of the selected entry; and the default account an
// import starts with.

#include "TWRecordTestSupport.h"

class ActiveListTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        registerRecordingViews();
        TWAppRegistry::registry().setEditorFactory(TWEditorKind::ImportTransactions,
                                                   [this](QObject *parent) {
                                                       import = new TWFakeImport(parent);
                                                       return import;
                                                   });
    }
    TWFakeImport *import = nullptr;
};

TEST_F(ActiveListTest, DuringAnImportTheImportSheetsListsDecide)
{
    TWAccountPtr checking;
    auto document = windowDocument([&](TWBusiness &b) { checking = addAccount(b, "Checking"); });
    select(*document, TWMasterItemEntity, TWItemTypeAccount, checking->identifier());
    document->importTransactionsURL(QUrl::fromLocalFile(QStringLiteral("/tmp/bank.qif")));
    ASSERT_TRUE(import);
    document->setImporting(true);
    QMenu importMenu;
    QMenu existingMenu;
    QMenu otherMenu;
    import->importMenu = &importMenu;
    import->existingMenu = &existingMenu;

    // A context command on the import list acts on it, not on the register.
    EXPECT_EQ(document->activeTransactionsController(true, false, &importMenu), import->importList);
    EXPECT_EQ(document->activeTransactionsController(true, false, &existingMenu),
              import->existingList);
    EXPECT_EQ(document->activeTransactionsController(true, false, &otherMenu), nullptr);
    QAction *mark = importMenu.addAction(QStringLiteral("mark"));
    mark->setData(0);
    document->markTransaction(true, mark);
    EXPECT_EQ(import->importList->calls, QStringList{QStringLiteral("markCleared/context")});
    EXPECT_TRUE(recordingRegister->calls.isEmpty());

    // A main command follows the focus; none focused gives none.
    EXPECT_EQ(document->activeTransactionsController(false, false, nullptr), nullptr);
    import->focused = TWImportController::ExistingList;
    EXPECT_EQ(document->activeTransactionsController(false, false, nullptr), import->existingList);
    import->focused = TWImportController::ImportList;
    EXPECT_EQ(document->activeTransactionsController(false, false, nullptr), import->importList);

    // Ignoring the import gives the register behind the sheet.
    EXPECT_EQ(document->activeTransactionsController(false, true, nullptr), recordingRegister);
    document->setImporting(false);
    EXPECT_EQ(document->activeTransactionsController(true, false, &importMenu), recordingRegister);
}

TEST_F(ActiveListTest, WithoutAnImportPieceNothingStartsAndImportFilesAreRefused)
{
    TWAppRegistry::registry().reset();
    auto document = windowDocument();
    document->importTransactionsURL(QUrl::fromLocalFile(QStringLiteral("/tmp/bank.qif")));
    EXPECT_FALSE(document->importTransactionsController());
    EXPECT_EQ(document->activeTasksController(false, false, nullptr), nullptr);
}
