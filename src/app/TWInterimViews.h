#pragma once
// The stand-ins the shell shows while a piece is missing: a detail pane with
// one line of text, and the short new-business form.

#include "app/TWAppRegistry.h"
#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"

#include <QPointer>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

class TWInterimDetailController final : public TWLazyViewController<TWDetailController>
{
    Q_OBJECT
public:
    TWInterimDetailController(const QString &text, QObject *parent);
    ~TWInterimDetailController() override;

protected:
    void build() override;

private:
    QString m_text;
};

// An invoice list with no invoices and no payments to add.
class TWInterimInvoiceList final : public TWLazyViewController<TWInvoiceListDetail>
{
    Q_OBJECT
public:
    explicit TWInterimInvoiceList(QObject *parent);
    ~TWInterimInvoiceList() override;

protected:
    void build() override;
};

// Name, type, home currency (the locale's first), start date (today) and
// the usual accounts (on).
class TWInterimBusinessInfoForm final : public TWLazyViewController<TWBusinessInfoEditor>
{
    Q_OBJECT
public:
    explicit TWInterimBusinessInfoForm(QObject *parent);
    ~TWInterimBusinessInfoForm() override;
    void reset() override;
    void update() override;
    TWBusinessInfoPtr businessInfo() const override;
    void setBusinessInfo(const TWBusinessInfoPtr &info) override { m_info = info; }

    QLineEdit *nameField() const { return m_name; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void build() override;

    TWBusinessInfoPtr m_info;
    QLineEdit *m_name = nullptr;
    QComboBox *m_type = nullptr;
    QComboBox *m_currency = nullptr;
    QDateEdit *m_startDate = nullptr;
    QCheckBox *m_defaultAccounts = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
};
