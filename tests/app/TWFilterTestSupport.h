#pragma once
// Fixtures of the filter editor suites: a business with its default chart and
// units, an editor in a shown window, and choosing pop-up items as a click
// would.

#include "TWAppTestSupport.h"
#include "app/TWControls.h"
#include "app/TWFilterEditor.h"
#include "app/TWFilterEditorRow.h"

#include "model/TWBuiltInFields.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>

#include <climits>

class TWFilterTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        TWFilterEditor::setFadeDuration(0);
        document = newDocument();
        ASSERT_TRUE(document);
    }
    void TearDown() override
    {
        document.reset();
        TWAppTest::TearDown();
    }
    TWBusiness &business() { return *document->business(); }

    // Picks the item with that tag and runs the row's action, as a click does.
    static void choose(TWFilterEditorRow &row, QWidget *control, int tag)
    {
        auto *popUp = qobject_cast<TWPopUpButton *>(control);
        ASSERT_TRUE(popUp);
        ASSERT_TRUE(popUp->selectItemWithTag(tag)) << tag;
        row.doPopUpButton(popUp);
    }
    static QList<int> tags(QWidget *control)
    {
        QList<int> result;
        auto *popUp = qobject_cast<TWPopUpButton *>(control);
        if (!popUp)
            return result;
        for (int i = 0; i < popUp->count(); ++i)
            if (popUp->itemData(i).isValid())
                result.append(popUp->itemData(i).toInt());
        return result;
    }
    static int selectedTag(QWidget *control)
    {
        auto *popUp = qobject_cast<TWPopUpButton *>(control);
        return popUp ? popUp->selectedTag() : INT_MIN;
    }
    static QString text(QWidget *control)
    {
        if (auto *field = qobject_cast<QLineEdit *>(control))
            return field->text();
        if (auto *popUp = qobject_cast<QComboBox *>(control))
            return popUp->currentText();
        if (auto *label = qobject_cast<QLabel *>(control))
            return label->text();
        return {};
    }
    // Types into a row's text field and ends the edit.
    static void type(TWFilterEditorRow &row, QWidget *control, const QString &typed)
    {
        auto *field = qobject_cast<QLineEdit *>(control);
        ASSERT_TRUE(field);
        field->setText(typed);
        row.controlTextDidEndEditing(field);
    }

    std::unique_ptr<TWBusinessController> document;
};
