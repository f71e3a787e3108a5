#pragma once
// The fields, values and autofill suites: a shown document on a new business
// with the ledger registered, alerts answered by the test, and small makers
// of custom fields.

#include "TWWindowTestSupport.h"

#include "app/TWAlert.h"
#include "ledger/TWLedger.h"

#include "model/TWField.h"
#include "store/TWBusiness.h"

class TWFieldsTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        twRegisterLedger();
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(alertAnswer);
        });
        document = windowDocument();
        business = document->business();
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        document.reset();
        TWWindowTest::TearDown();
    }

    TWFieldPtr addField(const QString &name, std::uint32_t type)
    {
        TWFieldPtr field =
            TWField::fieldWithName(name, type, false, false, business->nextFieldIdentifier());
        EXPECT_OK(business->addField(field, false));
        return field;
    }
    void addChoice(const TWFieldPtr &field, const QString &name)
    {
        if (field->type() == TWFieldTypeList)
            EXPECT_OK(business->addFieldListItem(TWFieldListItem::fieldListItemWithName(name, 0),
                                                 field, false));
        else
            EXPECT_OK(business->addFieldTagItem(TWFieldTagItem::fieldTagItemWithName(name, 0),
                                                field, false));
    }
    static QStringList choiceNames(const TWField &field)
    {
        QStringList names;
        for (const auto &item : field.listItems())
            names.append(item->name());
        for (const auto &item : field.tagItems())
            names.append(item->name());
        return names;
    }
    // The register's column order (field identifiers).
    QList<qint32> columnOrder() const
    {
        QList<qint32> order;
        const QVariantMap layout = business->columnSettings(0).value_or(QVariantMap());
        for (const QVariant &entry : layout.value(TWColumnSettingsFieldsKey).toList())
            order.append(
                qint32(quint32(entry.toMap().value(TWColumnSettingsIdentifierKey).toLongLong())));
        return order;
    }
    // Saves the business as a package and opens it again.
    std::unique_ptr<TWBusiness> saveAndReopen()
    {
        const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("Reopened.tallyworth")));
        EXPECT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
        TWErrorResult error;
        auto reopened = TWBusiness::businessWithURL(url, false, &error);
        EXPECT_TRUE(reopened) << (error ? error->localizedDescription() : QString());
        return reopened;
    }
    // Runs what was posted (sheet completions, queued commands).
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<TWBusinessController> document;
    TWBusiness *business = nullptr;
    QStringList alerts;
    int alertAnswer = 1000;
};
