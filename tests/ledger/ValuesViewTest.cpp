// The stored values view: the field pop-up's groups, search narrowing and
// reloading, new values during a search, deleting with a search, and reset
// from the transactions.

#include "FieldsViewTestSupport.h"

#include "ledger/TWValuesController.h"

#include <QComboBox>

namespace
{

class ValuesView : public TWFieldsTest
{
protected:
    void SetUp() override
    {
        TWFieldsTest::SetUp();
        values.setBusinessController(document.get());
        values.setBusiness(business);
    }
    void remember(const QString &name, qint32 field = -5)
    {
        ASSERT_OK(business->addValue(
            TWValue::valueWithName(name, field, business->nextValueIdentifier()), false));
    }
    QStringList shown() const
    {
        QStringList names;
        for (const TWValuePtr &value : values.values())
            names.append(value->name());
        return names;
    }
    QStringList stored(qint32 field = -5) const
    {
        QStringList names;
        for (const TWValuePtr &value : business->values(field).value_or(TWValueList()))
            names.append(value->name());
        return names;
    }

    TWValuesController values;
};

TEST_F(ValuesView, ThePopUpListsTransactionClientAndMerchantFields)
{
    const TWFieldPtr memo = addField(QStringLiteral("Memo"), TWFieldTypeText);
    addField(QStringLiteral("Amount"), TWFieldTypeNumber);
    remember(QStringLiteral("Project X"), TWValueListProjectNames);
    values.update();
    const QList<qint32> numbers = values.fieldNumbers();
    EXPECT_EQ(numbers, (QList<qint32>{-6, memo->identifier(), -5, -50, -51, -52, -53, -100}))
        << "transaction fields sorted by name, then the client and merchant lists";
    EXPECT_EQ(values.chosenField(), numbers.first());
    EXPECT_EQ(values.fieldPopUpButton()->itemText(values.fieldPopUpButton()->findData(-100)),
              TWLocalized("merchantBillName"));

    values.chooseField(TWValueListProjectNames);
    EXPECT_EQ(shown(), QStringList{QStringLiteral("Project X")});
}

TEST_F(ValuesView, TypingOnNarrowsWhatIsShownAndANewSearchReloads)
{
    for (const char *name : {"Apple", "Banana", "Cabbage", "Abacus"})
        remember(QString::fromLatin1(name));
    values.update();
    values.chooseField(-5);
    EXPECT_EQ(shown().size(), 4);

    values.search(QStringLiteral("a"));
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("Abacus"), QStringLiteral("Apple")}));
    // Stored behind the view's back: an extended search only narrows the
    // list already shown, so it does not appear.
    remember(QStringLiteral("Abbey"));
    values.search(QStringLiteral("ab "));
    EXPECT_EQ(values.searchString(), std::optional<QString>(QStringLiteral("ab")));
    EXPECT_EQ(shown(), QStringList{QStringLiteral("Abacus")});
    // Not an extension: read again from the store.
    values.search(QStringLiteral("b"));
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("Banana")}));
    values.search(QStringLiteral("zz"));
    EXPECT_TRUE(shown().isEmpty());
    values.search(QString());
    EXPECT_EQ(shown().size(), 5);
    EXPECT_FALSE(values.searchString());

    // Descending by the header.
    values.tableView()->sortByColumn(0, Qt::DescendingOrder);
    EXPECT_EQ(shown().first(), QStringLiteral("Cabbage"));
}

TEST_F(ValuesView, NewRenameAndDeleteKeepTheSearch)
{
    for (const char *name : {"Apple", "Apricot", "Banana"})
        remember(QString::fromLatin1(name));
    values.update();
    values.chooseField(-5);
    values.search(QStringLiteral("ap"));
    ASSERT_EQ(shown().size(), 2);

    // A new value shows at the end although its empty name does not match.
    values.newValue();
    ASSERT_EQ(shown().size(), 3);
    EXPECT_EQ(shown().last(), QString());
    QAbstractItemModel *model = values.tableView()->model();
    EXPECT_TRUE(model->setData(model->index(2, 0), QStringLiteral("Avocado"), Qt::EditRole));
    EXPECT_TRUE(stored().contains(QStringLiteral("Avocado")));
    EXPECT_TRUE(document->isDocumentEdited());

    // Delete the first shown; the refreshed list keeps the search.
    values.tableView()->selectRow(0);
    EXPECT_TRUE(values.canDeleteValue(false));
    alertAnswer = 1001;
    values.deleteValue(false);
    EXPECT_EQ(stored().size(), 4);
    alertAnswer = 1000;
    values.tableView()->selectRow(0);
    values.deleteValue(false);
    EXPECT_EQ(alerts.last(), TWLocalized("deleteValueMessage"));
    EXPECT_EQ(stored(), (QStringList{QStringLiteral("Apricot"), QStringLiteral("Avocado"),
                                     QStringLiteral("Banana")}));
    EXPECT_EQ(shown(), QStringList{QStringLiteral("Apricot")});
    EXPECT_EQ(values.searchString(), std::optional<QString>(QStringLiteral("ap")));
}

TEST_F(ValuesView, ResetRebuildsTheFieldsValuesFromTheTransactions)
{
    const TWAccountPtr bank = addAccount(*business, QStringLiteral("Bank"));
    const TWAccountPtr cash = addAccount(*business, QStringLiteral("Cash"));
    for (const char *payee : {"Grocer", "Baker", "Grocer"}) {
        const TWTransactionPtr transaction = addTransaction(*business, bank, cash, 100);
        transaction->setPayee(QString::fromLatin1(payee));
        ASSERT_OK(business->updateTransaction(transaction, false, false, false, false));
    }
    remember(QStringLiteral("Stale"));
    values.update();
    values.chooseField(-5);

    alertAnswer = 1001;
    values.doReset();
    EXPECT_EQ(alerts.last(), TWLocalized("resetFieldValueMessage"));
    EXPECT_TRUE(shown().contains(QStringLiteral("Stale")));

    alertAnswer = 1000;
    values.doReset();
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("Baker"), QStringLiteral("Grocer")}));
    EXPECT_EQ(stored(), shown());
    EXPECT_TRUE(document->isDocumentEdited());
}

} // namespace
