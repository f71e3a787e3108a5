#include "export/core/TWSerializerOFX.h"

#include "foundation/TWClock.h"
#include "foundation/TWDecimal.h"
#include "model/TWAccountNumbers.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"

#include <QHash>
#include <QTimeZone>

namespace
{

const QLatin1String kHeaderStart("OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\nSECURITY:NONE\n");
const QLatin1String
    kHeaderEnd("CHARSET:NONE\nCOMPRESSION:NONE\nOLDFILEUID:NONE\nNEWFILEUID:NONE\n\n");

// OFX 1.x knows only these three entities. A line break would end the value.
QString ofxText(const QString &text)
{
    QString value;
    value.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            value.append(QLatin1String("&amp;"));
            break;
        case '<':
            value.append(QLatin1String("&lt;"));
            break;
        case '>':
            value.append(QLatin1String("&gt;"));
            break;
        case '\r':
        case '\n':
            value.append(QLatin1Char(' '));
            break;
        default:
            value.append(c);
        }
    }
    return value;
}

QString dayString(const QDateTime &date)
{
    return date.date().toString(QStringLiteral("yyyyMMdd"));
}

bool sameUnit(const TWUnitPtr &a, const TWUnitPtr &b)
{
    return a && b && (a == b || a->code() == b->code());
}

void appendElement(QString &text, const char *tag, const QString &value)
{
    text.append(QLatin1Char('<'));
    text.append(QLatin1String(tag));
    text.append(QLatin1Char('>'));
    text.append(value);
    text.append(QLatin1Char('\n'));
}

void appendLine(QString &text, const char *line)
{
    text.append(QLatin1String(line));
    text.append(QLatin1Char('\n'));
}

// What one transaction moves into the statement's account.
struct Entry {
    qint64 amount = 0;
    TWUnitPtr unit;
    QString rate; // written when the unit is not the account's
};

using Wide = unsigned __int128;

Wide powerOfTen(unsigned exponent)
{
    Wide power = 1;
    for (unsigned i = 0; i < exponent; ++i)
        power *= 10;
    return power;
}

Wide magnitude(qint64 value)
{
    return value < 0 ? Wide(-(value + 1)) + 1 : Wide(value);
}

// How many units of the account's one unit of the amount's is: the ratio of
// the two amounts in whole units (not in minor units, whose places differ
// between yen, dollars and dinars). It has as many decimals as it takes for
// the amount times the rate to give back the account's amount to its last
// minor unit, and six at least.
QString rateOf(qint64 accountAmount, const TWUnit *accountUnit, qint64 amount, const TWUnit *unit)
{
    if (amount == 0)
        return QStringLiteral("1.000000");
    const unsigned accountPlaces =
        accountUnit ? std::min<unsigned>(accountUnit->decimalPlaces(), 18) : 0;
    const unsigned places = unit ? std::min<unsigned>(unit->decimalPlaces(), 18) : 0;
    const Wide numerator = magnitude(accountAmount) * powerOfTen(places);
    const Wide denominator = magnitude(amount) * powerOfTen(accountPlaces);
    // An error below half a minor unit of the account over the whole amount:
    // one decimal more than the account's places and the amount's whole digits.
    unsigned wholeDigits = 0;
    for (Wide whole = magnitude(amount) / powerOfTen(places); whole != 0; whole /= 10)
        ++wholeDigits;
    const unsigned decimals = std::max(6u, accountPlaces + wholeDigits + 1);
    TWDecimal rate;
    rate.negative = accountAmount != 0 && (accountAmount < 0) != (amount < 0);
    QString whole;
    for (Wide part = numerator / denominator; whole.isEmpty() || part != 0; part /= 10)
        whole.prepend(QLatin1Char(char('0' + int(part % 10))));
    rate.intDigits = whole.toStdString();
    Wide remainder = numerator % denominator;
    for (unsigned i = 0; i <= decimals; ++i) {
        remainder *= 10;
        rate.fracDigits.push_back(char('0' + int(remainder / denominator)));
        remainder %= denominator;
    }
    rate.roundTo(decimals, TWRounding::HalfAwayFromZero);
    rate.trimFraction(6);
    return rate.signedLocalized(QLocale::c(), false);
}

Entry entryFor(const TWTransaction &transaction, const TWAccount &account)
{
    Entry entry;
    const qint32 identifier = account.identifier();
    if (!transaction.hasSplit()) {
        entry.unit = transaction.unit();
        if (transaction.account1Identifier() == identifier) {
            entry.amount = transaction.total();
            entry.rate = rateOf(transaction.totalAccount1(), account.unit().get(),
                                transaction.total(), entry.unit.get());
        } else {
            entry.amount = -transaction.total();
            entry.rate = rateOf(transaction.totalAccount2(), account.unit().get(),
                                transaction.total(), entry.unit.get());
        }
        return entry;
    }
    TWSplitList own;
    for (const TWSplitPtr &split : transaction.splits()) {
        if (split && split->accountIdentifier() == identifier)
            own.append(split);
    }
    if (own.size() == 1) {
        const TWSplit &split = *own.constFirst();
        entry.amount = split.total();
        entry.unit = split.unit();
        entry.rate =
            rateOf(split.totalAccount(), account.unit().get(), split.total(), entry.unit.get());
        return entry;
    }
    for (const TWSplitPtr &split : own)
        entry.amount += split->totalAccount();
    entry.unit = account.unit();
    return entry;
}

} // namespace

void TWSerializerOFX::transactions(const TWTransactionList &transactions, QDateTime *earliestDate,
                                   QDateTime *latestDate)
{
    QDateTime earliest, latest;
    bool first = true;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        const QDateTime &date = transaction->date();
        if (first) {
            earliest = latest = date;
            first = false;
            continue;
        }
        if (date.date() < earliest.date())
            earliest = date;
        if (date.date() > latest.date())
            latest = date;
    }
    if (earliestDate && !first)
        *earliestDate = earliest;
    if (latestDate && !first)
        *latestDate = latest;
}

QString TWSerializerOFX::text() const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const QDateTime now = TWClock::now();
    const QDateTime today(TWClock::today(), QTime(0, 0));
    const QString dateTime = now.toUTC().toString(QStringLiteral("yyyyMMddHHmmss"));
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    // Every statement's identifier says which business wrote the file, so
    // that reading it back the program's own account labels are trusted in
    // this business's files alone; without a business it is the moment, as
    // files always had it.
    QString transactionUID =
        business()
            ? TWAccountNumbers::writerIdentifier(business()->settledBusinessIdentity(), dateTime)
            : QString();
    // Beside it each statement says which account it was written from: two
    // accounts may hold one number, and each reads back into its own.
    const bool marked = !transactionUID.isEmpty();
    if (!marked)
        transactionUID = QString::asprintf("%lf", double(reference.msecsTo(now)) / 1000.0);

    // The exported accounts in list order, each with its transactions.
    const TWAccountList &exported = accounts();
    QHash<qint32, qsizetype> indexOf;
    const QList<TWTransactionList> listed = transactionsByAccount(indexOf);

    QString body;
    body.reserve(1000);
    for (const char *line : {"<OFX>", "<SIGNONMSGSRSV1>", "<SONRS>", "<STATUS>", "<CODE>0",
                             "<SEVERITY>INFO", "</STATUS>"})
        appendLine(body, line);
    appendElement(body, "DTSERVER", dateTime);
    for (const char *line : {"<LANGUAGE>ENG", "</SONRS>", "</SIGNONMSGSRSV1>", "<BANKMSGSRSV1>"})
        appendLine(body, line);

    for (qsizetype index = 0; index < exported.size(); ++index) {
        const TWAccountPtr &account = exported.at(index);
        if (!account || indexOf.value(account->identifier()) != index)
            continue;
        const TWTransactionList &statement = listed.at(index);
        // A statement without transactions is one of today.
        QDateTime earliest = today, latest = today;
        transactions(statement, &earliest, &latest);
        const TWUnit *accountUnit = account->unit().get();

        appendLine(body, "<STMTTRNRS>");
        appendElement(body, "TRNUID", transactionUID);
        for (const char *line : {"<STATUS>", "<CODE>0", "<SEVERITY>INFO", "</STATUS>"})
            appendLine(body, line);
        if (marked)
            appendElement(body, "CLTCOOKIE", TWAccountNumbers::accountLabel(*account));
        appendLine(body, "<STMTRS>");
        appendElement(body, "CURDEF", ofxText(accountUnit ? accountUnit->code() : QString()));
        appendLine(body, "<BANKACCTFROM>");
        const bool institution = account->isInstitution();
        appendElement(body, "BANKID",
                      institution && !account->institutionRoutingTransit().isNull()
                          ? ofxText(account->institutionRoutingTransit())
                          : QStringLiteral("0"));
        // Every statement names its account, so that a file of several
        // accounts reads back into the accounts it came from.
        appendElement(body, "ACCTID", ofxText(TWAccountNumbers::statementNumber(*account)));
        appendLine(body, "<ACCTTYPE>CHECKING");
        appendLine(body, "</BANKACCTFROM>");
        appendLine(body, "<BANKTRANLIST>");
        appendElement(body, "DTSTART", dayString(earliest));
        appendElement(body, "DTEND", dayString(latest));
        for (const TWTransactionPtr &transaction : statement) {
            const Entry entry = entryFor(*transaction, *account);
            appendLine(body, "<STMTTRN>");
            appendElement(body, "TRNTYPE",
                          entry.amount < 0 ? QStringLiteral("DEBIT") : QStringLiteral("CREDIT"));
            appendElement(body, "DTPOSTED", dayString(transaction->date()));
            appendElement(body, "TRNAMT",
                          formatter.valueSafeString(entry.amount, entry.unit.get()));
            appendElement(body, "FITID", QString::number(transaction->identifier()));
            appendElement(body, "NAME", ofxText(transaction->payee()));
            appendElement(body, "MEMO", ofxText(transaction->description()));
            if (entry.unit && !sameUnit(entry.unit, account->unit())) {
                appendLine(body, "<CURRENCY>");
                body.append(
                    QStringLiteral("<CURRATE>%1</CURRATE>\n")
                        .arg(entry.rate.isEmpty() ? QStringLiteral("1.000000") : entry.rate));
                body.append(
                    QStringLiteral("<CURSYM>%1</CURSYM>\n").arg(ofxText(entry.unit->code())));
                appendLine(body, "</CURRENCY>");
            }
            appendLine(body, "</STMTTRN>");
        }
        appendLine(body, "</BANKTRANLIST>");

        // The raw store balance: the shown one is negated for accounts that
        // are not debit-positive.
        qint64 balance = business() ? business()->accountBalance(*account, latest) : 0;
        if (!TWBusiness::isAccountDebitPositive(*account))
            balance = -balance;
        const QString balanceText = formatter.valueSafeString(balance, accountUnit);
        for (const char *aggregate : {"LEDGERBAL", "AVAILBAL"}) {
            body.append(QStringLiteral("<%1>\n").arg(QLatin1String(aggregate)));
            appendElement(body, "BALAMT", balanceText);
            appendElement(body, "DTASOF", dayString(latest));
            body.append(QStringLiteral("</%1>\n").arg(QLatin1String(aggregate)));
        }
        appendLine(body, "</STMTRS>");
        appendLine(body, "</STMTTRNRS>");
    }
    appendLine(body, "</BANKMSGSRSV1>");
    appendLine(body, "</OFX>");

    // The header names the encoding the texts need.
    bool ascii = true;
    for (const QChar c : body) {
        if (c.unicode() > 0x7f) {
            ascii = false;
            break;
        }
    }
    QString text;
    text.reserve(body.size() + 200);
    text.append(kHeaderStart);
    text.append(ascii ? QLatin1String("ENCODING:USASCII\n") : QLatin1String("ENCODING:UTF-8\n"));
    text.append(kHeaderEnd);
    text.append(body);
    return text;
}
