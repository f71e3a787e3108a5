#pragma once
// The number a bank statement names an account by: what the program's own OFX
// writes as a statement's account number, so that a file of several accounts
// reads back into the accounts it came from. Stable for the account's life.
// Beside it, the mark that tells a file this business wrote from any other:
// the program's own labels ("TW12") name an account only in its own files.

#include <QString>

class TWAccount;

namespace TWAccountNumbers
{

// The institution's account number when the account is kept at one and it is
// set, else the account's own number when set, else "TW" and the account's
// identifier.
QString statementNumber(const TWAccount &account);

// The program's own label of an account ("TW12"): what its OFX writes beside
// each statement to say which account the statement was written from, so that
// two accounts of one number read back apart.
QString accountLabel(const TWAccount &account);
// The account identifier such a label names; 0 for any other text.
qint32 labelledIdentifier(const QString &label);

// What a statement of an OFX file says of its writer: the moment of writing
// (DTSERVER), the statement's transaction identifier (TRNUID) and the
// account it was written from (CLTCOOKIE, the program's own label).
struct WriterMark {
    QString moment;
    QString identifier;
    QString account;
};

// The transaction identifier the program's own OFX gives its statements: a
// name-based UUID of the business's identity and the moment of writing, so
// that it tells nothing of the identity and differs from file to file. Empty
// for a business of no identity.
QString writerIdentifier(const QString &businessIdentity, const QString &moment);
// Whether the statement was written by the business of this identity.
bool writtenBy(const WriterMark &mark, const QString &businessIdentity);

} // namespace TWAccountNumbers
