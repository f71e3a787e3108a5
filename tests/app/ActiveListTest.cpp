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

TEST_F(ActiveListTest, WithoutAnImportPieceNothingStartsAndImportFilesAreRefused)
{
    TWAppRegistry::registry().reset();
    auto document = windowDocument();
    document->importTransactionsURL(QUrl::fromLocalFile(QStringLiteral("/tmp/bank.qif")));
    EXPECT_FALSE(document->importTransactionsController());
    EXPECT_EQ(document->activeTasksController(false, false, nullptr), nullptr);
}
