// The register inside a document window: the source list's choice reaches
// it, the document's commands and its editor reach its rows, and the
// paperclip hands the preview window the row's attachments.

#include "TWWindowTestSupport.h"

#include "app/TWMenus.h"
#include "app/TWWindowController.h"
#include "ledger/TWLedger.h"
#include "ledger/TWPreviewPanel.h"
#include "ledger/TWTransactionsController.h"
#include "ledger/TWTransactionsModel.h"

#include "app/TWAlert.h"
#include "app/TWMasterItem.h"
#include "app/TWRecordEditors.h"
#include "model/TWBuiltInFields.h"
#include "store/TWTransactionEditing.h"

#include <QImage>
#include <QLabel>
#include <QMenu>

namespace
{

// Records what the document hands the transaction editor.
class RecordingEditor final : public TWTransactionEditor
{
public:
    using TWTransactionEditor::TWTransactionEditor;
    QWidget *view() override
    {
        if (!m_view)
            m_view = new QWidget;
        return m_view;
    }
    void setTransaction(const TWTransactionPtr &t) override { m_transaction = t; }
    TWTransactionPtr transaction() const override { return m_transaction; }
    TWTransactionPtr editTransaction() const override { return m_transaction; }
    void setRelationships(const TWRelationshipList &) override {}
    void setIsImport(bool isImport) override { m_isImport = isImport; }
    bool saved() const override { return false; }

    TWTransactionPtr m_transaction;
    bool m_isImport = true;
    QPointer<QWidget> m_view;
};

class RegisterDocumentTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        twRegisterLedger();
        TWAppRegistry::registry().setEditorFactory(TWEditorKind::Transaction,
                                                   [this](QObject *parent) {
                                                       editor = new RecordingEditor(parent);
                                                       return editor;
                                                   });
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(1000);
        });
        document = windowDocument([this](TWBusiness &b) {
            checking = addAccount(b, QStringLiteral("Checking"));
            sales = addAccount(b, QStringLiteral("Sales"), 0, QStringLiteral("USD"), 15);
        });
        package = dir.filePath(QStringLiteral("Books.tallyworth"));
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(package)));
    }
    void TearDown() override
    {
        TWPreviewPanel::releaseSharedPreviewPanel();
        twSetAlertPresenter({});
        document.reset();
        TWWindowTest::TearDown();
    }

    TWTransactionPtr add(const QString &payee, qint64 total)
    {
        TWBusiness &b = *document->business();
        auto t = std::make_shared<TWTransaction>();
        t->setIdentifier(b.nextTransactionIdentifier());
        t->setDate(QDateTime(QDate(2024, 5, 2), QTime(0, 0)));
        t->setPayee(payee);
        t->setAccount1Identifier(checking->identifier());
        t->setAccount2Identifier(sales->identifier());
        t->setUnit(b.unitWithCode(QStringLiteral("USD")));
        t->setTotal(total);
        t->setTotalAccount1(total);
        t->setTotalAccount2(total);
        t->setTotalBusiness(total);
        EXPECT_OK(b.addTransaction(t, false, false, false, false));
        return t;
    }

    TWTransactionsController *shownRegister()
    {
        select(*document, TWMasterItemEntity, TWItemTypeAccount, checking->identifier());
        return qobject_cast<TWTransactionsController *>(document->transactionsController());
    }

    std::unique_ptr<TWBusinessController> document;
    RecordingEditor *editor = nullptr;
    TWAccountPtr checking, sales;
    QString package;
    QStringList alerts;
};

} // namespace

TEST_F(RegisterDocumentTest, TheAccountChoiceShowsItsRowsAndCommandsReachThem)
{
    const TWTransactionPtr first = add("Acme", 100);
    add("Bolt", 200);
    TWTransactionsController *reg = shownRegister();
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->mode(), TWRegisterMode::Accounts);
    ASSERT_EQ(reg->sortedTransactions().size(), 2);
    EXPECT_TRUE(reg->isRestored());

    // Return on one row opens the document's editor on it, outside an import.
    reg->selectTransactions({first});
    EXPECT_TRUE(reg->tableViewReturn(reg->tableView()));
    ASSERT_TRUE(editor);
    ASSERT_TRUE(editor->m_transaction);
    EXPECT_EQ(editor->m_transaction->identifier(), first->identifier());
    EXPECT_FALSE(editor->m_isImport);
    document->endSheet(editor->view(), -1001);
    QCoreApplication::processEvents();

    // The document's delete command goes to the selection, after the question.
    reg->selectTransactions({first});
    document->deleteTransaction(false);
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_EQ(document->business()->transactionWithIdentifier(first->identifier()), nullptr);
    // The register reloaded on the store's notification.
    EXPECT_EQ(reg->sortedTransactions().size(), 1);
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(RegisterDocumentTest, ThePaperclipOpensAndClosesThePreviewOfTheRowsAttachments)
{
    const QString png = dir.filePath(QStringLiteral("receipt.png"));
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(png, "PNG"));
    TWTransactionPtr t = add("Receipt", 100);
    twLoadedAttachments(*t, *document->business());
    ASSERT_TRUE(t->addAttachmentFile(png, TWTransaction::attachmentTypeForPath(png),
                                     QStringLiteral("receipt"), 0));
    ASSERT_OK(document->business()->updateTransaction(t, false, false, false, false));

    TWTransactionsController *reg = shownRegister();
    ASSERT_TRUE(reg);
    const int clip =
        reg->fieldColumn(document->business()->fieldWithIdentifier(TWFieldIdentifierAttachments));
    ASSERT_GE(clip, 0);
    EXPECT_TRUE(reg->model()->index(0, clip).data(TWTransactionsModel::HasButtonRole).toBool());
    reg->doButton(0, clip);
    TWPreviewPanel *panel = TWPreviewPanel::sharedPreviewPanel();
    EXPECT_TRUE(panel->isShown());
    EXPECT_EQ(panel->numberOfPreviewItems(), 1);
    EXPECT_EQ(document->delegate(), reg);
    reg->doButton(0, clip);
    EXPECT_FALSE(panel->isShown());
}

TEST_F(RegisterDocumentTest, TheCountLineCountsTheLoadedListAndColumnsServeTheFocusedRegister)
{
    for (int i = 1; i <= 12; ++i)
        add(i <= 3 ? QStringLiteral("Acme") : QStringLiteral("Bolt"), 100 * i);
    TWTransactionsController *reg = shownRegister();
    ASSERT_TRUE(reg);
    QLabel *count = document->windowController()->countLabel();
    QLabel *total = document->windowController()->totalLabel();
    EXPECT_EQ(count->text(), QStringLiteral("12 ") + TWLocalized("transactionsLower"));

    // A search narrows the rows, not the count and total of the list loaded:
    // 1 + 2 + ... + 12 dollars.
    reg->search(QStringLiteral("Acme"));
    ASSERT_EQ(reg->sortedTransactions().size(), 3);
    EXPECT_EQ(count->text(), QStringLiteral("12 ") + TWLocalized("transactionsLower"));
    EXPECT_TRUE(total->text().contains(QStringLiteral("78.00"))) << total->text();
    reg->selectTransactions({reg->sortedTransactions().first()});
    EXPECT_EQ(count->text(), QStringLiteral("1 / 12 ") + TWLocalized("transactionsLower"));
    EXPECT_TRUE(total->text().contains(QStringLiteral(" / "))) << total->text();
    reg->search(QString());
    EXPECT_EQ(count->text(), QStringLiteral("12 ") + TWLocalized("transactionsLower"));

    // View > Columns serves the register only while it has the focus.
    QWidget *window = document->windowForSheet();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QMenu menu;
    QAction *payee = twMenuAction(
        &menu, QStringLiteral("Payee"), TWAction::doColumnAccount, 0,
        QVariant::fromValue(document->business()->fieldWithIdentifier(TWFieldIdentifierPayee)));
    QAction *sortBy = twMenuAction(
        &menu, QStringLiteral("Payee"), TWAction::doSortByAccount, 0,
        QVariant::fromValue(document->business()->fieldWithIdentifier(TWFieldIdentifierPayee)));
    ASSERT_FALSE(reg->hasFirstResponder());
    for (QAction *action : {payee, sortBy}) {
        action->setEnabled(true);
        document->validateItem(action);
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    }
    reg->tableView()->setFocus(Qt::OtherFocusReason);
    QTest::qWait(20);
    ASSERT_TRUE(reg->hasFirstResponder());
    for (QAction *action : {payee, sortBy}) {
        action->setEnabled(false);
        document->validateItem(action);
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    }
    // Not for a view without the register.
    select(*document, TWMasterItemUnits, 0, 0);
    document->validateItem(payee);
    EXPECT_FALSE(payee->isEnabled());
}
