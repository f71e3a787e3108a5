// The filter editor over a criteria tree: rows for the nodes in pre-order,
// adding and deleting nodes in place, the delete buttons, the field of a new
// rule, the action after each change and the Alt key's add images.

#include "TWFilterTestSupport.h"
#include "store/TWTransactionSearch.h"

#include <QKeyEvent>
#include <QSignalSpy>

namespace
{

class FilterEditorTest : public TWFilterTest
{
protected:
    void SetUp() override
    {
        TWFilterTest::SetUp();
        window = std::make_unique<QWidget>();
        window->resize(700, 300);
        editor = new TWFilterEditor(window.get());
        editor->setGeometry(0, 0, 700, 200);
        editor->setBusiness(&business());
        actions = std::make_unique<QSignalSpy>(editor, &TWFilterEditor::action);
    }
    void TearDown() override
    {
        actions.reset();
        window.reset();
        TWFilterTest::TearDown();
    }
    TWFilterCriteriaPtr simple(qint32 field) { return twCriteriaForField(field, business()); }
    void edit(const TWFilterCriteriaPtr &root)
    {
        editor->setCriteria(root);
        editor->update();
    }
    // Each row as "depth:kind" (c compound, s simple), in order.
    QStringList shape() const
    {
        QStringList result;
        for (TWFilterEditorRow *row : editor->rows())
            result.append(QStringLiteral("%1:%2")
                              .arg(row->criteria()->depth())
                              .arg(row->criteria()->isCompound() ? QStringLiteral("c")
                                                                 : QStringLiteral("s")));
        return result;
    }
    void checkRowsMatchTree()
    {
        const TWFilterCriteriaList expected =
            TWFilterCriteria::preOrderCriteria(editor->criteria());
        ASSERT_EQ(editor->flatCriterion(), expected);
        ASSERT_EQ(editor->rows().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(editor->rows().at(i)->criteria(), expected.at(i)) << i;
            EXPECT_EQ(editor->rows().at(i)->y(), i * TWFilterEditor::kRowHeight) << i;
        }
        EXPECT_EQ(editor->preferredHeight(), int(expected.size()) * 25 + 1);
    }

    std::unique_ptr<QWidget> window;
    TWFilterEditor *editor = nullptr;
    std::unique_ptr<QSignalSpy> actions;
};

TEST_F(FilterEditorTest, DeletingRulesAndCompounds)
{
    // root { A, k { k2 { s } } }: deleting s empties k2 and k, which go too.
    const TWFilterCriteriaPtr root = TWFilterCriteria::filterCriteriaCompound();
    const TWFilterCriteriaPtr a = simple(TWFieldIdentifierPayee);
    const TWFilterCriteriaPtr k = TWFilterCriteria::filterCriteriaCompound();
    const TWFilterCriteriaPtr k2 = TWFilterCriteria::filterCriteriaCompound();
    const TWFilterCriteriaPtr s = simple(TWFieldIdentifierTotal);
    root->addChildCriteria(a);
    root->addChildCriteria(k);
    k->addChildCriteria(k2);
    k2->addChildCriteria(s);
    edit(root);
    EXPECT_EQ(shape(), (QStringList{"0:c", "1:s", "1:c", "2:c", "3:s"}));
    editor->doDelete(s);
    EXPECT_EQ(shape(), (QStringList{"0:c", "1:s"}));
    EXPECT_EQ(root->childCriteria(), TWFilterCriteriaList{a});
    EXPECT_EQ(actions->count(), 1);
    checkRowsMatchTree();

    // root { A, k { B, k2 { C } }, D }: deleting k lifts B and k2 one level.
    const TWFilterCriteriaPtr b = simple(TWFieldIdentifierNotes);
    const TWFilterCriteriaPtr c = simple(TWFieldIdentifierDescription);
    const TWFilterCriteriaPtr d = simple(TWFieldIdentifierIdentifier);
    k->setChildCriteria({});
    k2->setChildCriteria({});
    k->addChildCriteria(b);
    k->addChildCriteria(k2);
    k2->addChildCriteria(c);
    root->addChildCriteria(k);
    root->addChildCriteria(d);
    edit(root);
    editor->doDelete(k);
    EXPECT_EQ(root->childCriteria(), (TWFilterCriteriaList{a, b, k2, d}));
    EXPECT_EQ(k2->childCriteria(), TWFilterCriteriaList{c});
    EXPECT_EQ(shape(), (QStringList{"0:c", "1:s", "1:s", "1:c", "2:s", "1:s"}));
    // The lifted rows are indented afresh.
    EXPECT_EQ(editor->rows().at(2)->view1()->x(), 1 * 30 + 10);
    EXPECT_EQ(actions->count(), 2);
    checkRowsMatchTree();

    // The root and the last rule are never deleted.
    editor->doDelete(root);
    edit(root);
    const TWFilterCriteriaPtr last = TWFilterCriteria::filterCriteriaCompound();
    last->addChildCriteria(a);
    edit(last);
    editor->doDelete(a);
    EXPECT_EQ(last->childCriteria().size(), 1);
}

} // namespace
