#pragma once
// Finding transactions with what the business knows: the search text over a
// transaction and its lines (account names, money texts, the search setting),
// and filters and their criteria answered against the business's fields,
// accounts and values.

#include "model/TWFilter.h"
#include "model/TWFilterCriteria.h"
#include "model/TWSplit.h"
#include "model/TWTransaction.h"

class TWBusiness;

bool twSearch(const TWTransaction &transaction, const QString &search, TWBusiness &business);
bool twSearchSplits(const TWTransaction &transaction, const QString &search, TWBusiness &business);
bool twSearch(const TWSplit &split, const QString &search, TWBusiness &business);

bool twMatchTransaction(const TWFilter &filter, const TWTransaction &transaction,
                        TWBusiness &business);
bool twMatchTransaction(const TWFilterCriteria &criteria, const TWTransaction &transaction,
                        TWBusiness &business);
// A simple criterion on the field, with the field's default comparison and value.
TWFilterCriteriaPtr twCriteriaForField(qint32 fieldIdentifier, TWBusiness &business);
// The criterion a new filter starts with.
TWFilterCriteriaPtr twDefaultCriteria(TWBusiness &business);
// The criterion switched to another field, taking its default comparison and value.
void twSetCriteriaField(TWFilterCriteria &criteria, qint32 fieldIdentifier, TWBusiness &business);
