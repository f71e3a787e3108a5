#pragma once
// The number a bank statement names an account by: what the program's own OFX
// writes as a statement's account number, so that a file of several accounts
// reads back into the accounts it came from. Stable for the account's life.

#include <QString>

class TWAccount;

namespace TWAccountNumbers
{

// The institution's account number when the account is kept at one and it is
// set, else the account's own number when set, else "TW" and the account's
// identifier.
QString statementNumber(const TWAccount &account);

} // namespace TWAccountNumbers
