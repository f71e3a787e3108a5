#pragma once
// The names of the store's change notifications and the user-info keys that
// carry the changed object. Observers (lists, registers, reports) refresh on
// them; a single-object write posts its entity's name with one entry, the
// entity key mapped to the object.

#include <QString>

// clang-format off

// unit: New, Update, Delete; user-info key "unit".
inline const QString TWUnitNewNotification = QStringLiteral("unitNew");
inline const QString TWUnitUpdateNotification = QStringLiteral("unitUpdate");
inline const QString TWUnitDeleteNotification = QStringLiteral("unitDelete");
inline const QString TWUnitNotificationKey = QStringLiteral("unit");

// accountingPeriod: New, Update, Delete; user-info key "accountingPeriod".
inline const QString TWAccountingPeriodNewNotification = QStringLiteral("accountingPeriodNew");
inline const QString TWAccountingPeriodUpdateNotification = QStringLiteral("accountingPeriodUpdate");
inline const QString TWAccountingPeriodDeleteNotification = QStringLiteral("accountingPeriodDelete");
inline const QString TWAccountingPeriodNotificationKey = QStringLiteral("accountingPeriod");

// group: New, Update, Delete; user-info key "group".
inline const QString TWGroupNewNotification = QStringLiteral("groupNew");
inline const QString TWGroupUpdateNotification = QStringLiteral("groupUpdate");
inline const QString TWGroupDeleteNotification = QStringLiteral("groupDelete");
inline const QString TWGroupNotificationKey = QStringLiteral("group");

// account: New, Update, Delete; user-info key "account".
inline const QString TWAccountNewNotification = QStringLiteral("accountNew");
inline const QString TWAccountUpdateNotification = QStringLiteral("accountUpdate");
inline const QString TWAccountDeleteNotification = QStringLiteral("accountDelete");
inline const QString TWAccountNotificationKey = QStringLiteral("account");

// transaction: New, Update, Delete; user-info key "transaction".
inline const QString TWTransactionNewNotification = QStringLiteral("transactionNew");
inline const QString TWTransactionUpdateNotification = QStringLiteral("transactionUpdate");
inline const QString TWTransactionDeleteNotification = QStringLiteral("transactionDelete");
inline const QString TWTransactionNotificationKey = QStringLiteral("transaction");

// relationship: New, Update, Delete; user-info key "relationship".
inline const QString TWRelationshipNewNotification = QStringLiteral("relationshipNew");
inline const QString TWRelationshipUpdateNotification = QStringLiteral("relationshipUpdate");
inline const QString TWRelationshipDeleteNotification = QStringLiteral("relationshipDelete");
inline const QString TWRelationshipNotificationKey = QStringLiteral("relationship");

// field: New, Update, Delete; user-info key "field".
inline const QString TWFieldNewNotification = QStringLiteral("fieldNew");
inline const QString TWFieldUpdateNotification = QStringLiteral("fieldUpdate");
inline const QString TWFieldDeleteNotification = QStringLiteral("fieldDelete");
inline const QString TWFieldNotificationKey = QStringLiteral("field");

// value: New, Update, Delete; user-info key "value".
inline const QString TWValueNewNotification = QStringLiteral("valueNew");
inline const QString TWValueUpdateNotification = QStringLiteral("valueUpdate");
inline const QString TWValueDeleteNotification = QStringLiteral("valueDelete");
inline const QString TWValueNotificationKey = QStringLiteral("value");

// repeat: New, Update, Delete; user-info key "repeat".
inline const QString TWRepeatNewNotification = QStringLiteral("repeatNew");
inline const QString TWRepeatUpdateNotification = QStringLiteral("repeatUpdate");
inline const QString TWRepeatDeleteNotification = QStringLiteral("repeatDelete");
inline const QString TWRepeatNotificationKey = QStringLiteral("repeat");

// filter: New, Update, Delete; user-info key "filter".
inline const QString TWFilterNewNotification = QStringLiteral("filterNew");
inline const QString TWFilterUpdateNotification = QStringLiteral("filterUpdate");
inline const QString TWFilterDeleteNotification = QStringLiteral("filterDelete");
inline const QString TWFilterNotificationKey = QStringLiteral("filter");

// client: New, Update, Delete; user-info key "client".
inline const QString TWClientNewNotification = QStringLiteral("clientNew");
inline const QString TWClientUpdateNotification = QStringLiteral("clientUpdate");
inline const QString TWClientDeleteNotification = QStringLiteral("clientDelete");
inline const QString TWClientNotificationKey = QStringLiteral("client");

// project: New, Update, Delete; user-info key "project".
inline const QString TWProjectNewNotification = QStringLiteral("projectNew");
inline const QString TWProjectUpdateNotification = QStringLiteral("projectUpdate");
inline const QString TWProjectDeleteNotification = QStringLiteral("projectDelete");
inline const QString TWProjectNotificationKey = QStringLiteral("project");

// task: New, Update, Delete; user-info key "task".
inline const QString TWTaskNewNotification = QStringLiteral("taskNew");
inline const QString TWTaskUpdateNotification = QStringLiteral("taskUpdate");
inline const QString TWTaskDeleteNotification = QStringLiteral("taskDelete");
inline const QString TWTaskNotificationKey = QStringLiteral("task");

// taskItem: New, Update, Delete; user-info key "taskItem".
inline const QString TWTaskItemNewNotification = QStringLiteral("taskItemNew");
inline const QString TWTaskItemUpdateNotification = QStringLiteral("taskItemUpdate");
inline const QString TWTaskItemDeleteNotification = QStringLiteral("taskItemDelete");
inline const QString TWTaskItemNotificationKey = QStringLiteral("taskItem");

// expense: New, Update, Delete; user-info key "expense".
inline const QString TWExpenseNewNotification = QStringLiteral("expenseNew");
inline const QString TWExpenseUpdateNotification = QStringLiteral("expenseUpdate");
inline const QString TWExpenseDeleteNotification = QStringLiteral("expenseDelete");
inline const QString TWExpenseNotificationKey = QStringLiteral("expense");

// invoice: New, Update, Delete; user-info key "invoice".
inline const QString TWInvoiceNewNotification = QStringLiteral("invoiceNew");
inline const QString TWInvoiceUpdateNotification = QStringLiteral("invoiceUpdate");
inline const QString TWInvoiceDeleteNotification = QStringLiteral("invoiceDelete");
inline const QString TWInvoiceNotificationKey = QStringLiteral("invoice");

// merchant: New, Update, Delete; user-info key "merchant".
inline const QString TWMerchantNewNotification = QStringLiteral("merchantNew");
inline const QString TWMerchantUpdateNotification = QStringLiteral("merchantUpdate");
inline const QString TWMerchantDeleteNotification = QStringLiteral("merchantDelete");
inline const QString TWMerchantNotificationKey = QStringLiteral("merchant");

// bill: New, Update, Delete; user-info key "bill".
inline const QString TWBillNewNotification = QStringLiteral("billNew");
inline const QString TWBillUpdateNotification = QStringLiteral("billUpdate");
inline const QString TWBillDeleteNotification = QStringLiteral("billDelete");
inline const QString TWBillNotificationKey = QStringLiteral("bill");

// report: New, Update, Delete; user-info key "report".
inline const QString TWReportNewNotification = QStringLiteral("reportNew");
inline const QString TWReportUpdateNotification = QStringLiteral("reportUpdate");
inline const QString TWReportDeleteNotification = QStringLiteral("reportDelete");
inline const QString TWReportNotificationKey = QStringLiteral("report");

// budgetItem: New, Update, Delete; user-info key "budgetItem".
inline const QString TWBudgetItemNewNotification = QStringLiteral("budgetItemNew");
inline const QString TWBudgetItemUpdateNotification = QStringLiteral("budgetItemUpdate");
inline const QString TWBudgetItemDeleteNotification = QStringLiteral("budgetItemDelete");
inline const QString TWBudgetItemNotificationKey = QStringLiteral("budgetItem");

// Posted without user info.
// All remembered values, or all values of one field, were deleted.
inline const QString TWValueDeleteAllNotification = QStringLiteral("valueDeleteAll");
// Repeat generation created items.
inline const QString TWRepeatUpdatedItemsNotification = QStringLiteral("repeatUpdatedItems");
// All budget items were deleted.
inline const QString TWBudgetItemDeleteAllNotification = QStringLiteral("budgetItemDeleteAll");
// The document-state flag `autofill` was set.
inline const QString TWAutofillUpdatedNotification = QStringLiteral("autofillUpdated");
// clang-format on
