#pragma once
// The field codes of the task and expense lists as export and import know
// them: negative like the transactions' built-in fields, stored in export
// settings and column mappings, so the values never change.

#include <QtGlobal>

// The date, client and project columns, which tasks and expenses share.
enum class TWWorkSharedField : qint32 {
    Date = -1,
    Client = -2,
    Project = -3,
};

enum class TWTaskField : qint32 {
    Date = -1,
    Client = -2,
    Project = -3,
    Type = -4,
    Completed = -5,
    Name = -6,
    Estimate = -7,
    // A time item's start and end.
    StartDate = -8,
    EndDate = -9,
    // A task's quantity, a time item's duration.
    Quantity = -10,
    Rate = -11,
    Subtotal = -12,
    TaxRate = -13,
    Total = -14,
    Notes = -15,
};

enum class TWExpenseField : qint32 {
    Date = -1,
    Client = -2,
    Project = -3,
    Name = -4,
    Quantity = -5,
    Cost = -6,
    Subtotal = -7,
    TaxRate = -8,
    Total = -9,
    Notes = -10,
};
