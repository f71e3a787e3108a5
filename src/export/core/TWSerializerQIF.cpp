#include "export/core/TWSerializerQIF.h"

#include "model/TWFormatter.h"
#include "store/TWBusiness.h"

#include <QHash>
#include <QSet>

#include <cmath>

namespace
{

// A value on one line: a line break would end the record or forge lines.
QString lineValue(const QString &text)
{
    QString value = text;
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

void appendLine(QString &text, QLatin1Char code, const QString &value)
{
    text.append(code);
    text.append(lineValue(value));
    text.append(QLatin1Char('\n'));
}

bool sameUnit(const TWUnitPtr &a, const TWUnitPtr &b)
{
    return a && b && (a == b || a->code() == b->code());
}

} // namespace

QString TWSerializerQIF::accountType(std::uint32_t accountType)
{
    static const char *const words[] = {"Oth A", "Oth A", "Bank",  "Cash",  "Oth A", "Invst",
                                        "Oth A", "Oth A", "Oth L", "Oth L", "CCard", "Oth L",
                                        "Oth L", "Oth L", "Oth L", "Oth A", "Oth L"};
    if (accountType >= std::size(words))
        return QStringLiteral("Cash");
    return QString::fromLatin1(words[accountType]);
}

QString TWSerializerQIF::accountText(const TWAccount *account) const
{
    QString text;
    appendLine(text, QLatin1Char('N'), account ? account->name() : QString());
    appendLine(text, QLatin1Char('T'), accountType(account ? account->accountType() : 0));
    appendLine(text, QLatin1Char('D'), account ? account->number() : QString());
    text.append(QLatin1String("^\n"));
    return text;
}

QString TWSerializerQIF::categoryText(const TWAccount *account) const
{
    QString text;
    appendLine(text, QLatin1Char('N'), account ? account->name() : QString());
    appendLine(text, QLatin1Char('D'), account ? account->number() : QString());
    text.append(QLatin1String("^\n"));
    return text;
}

QString TWSerializerQIF::transactionText(const TWTransaction &transaction,
                                         const TWAccount &account) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const TWUnit *unit = account.unit().get();
    const qint32 identifier = account.identifier();
    const auto accountName = [this](qint32 other) {
        const TWAccountPtr found = business() ? business()->accountWithIdentifier(other) : nullptr;
        return found ? found->name() : QString();
    };
    const auto amount = [&](qint64 value) { return formatter.valueSafeString(value, unit); };

    QString text;
    appendLine(text, QLatin1Char('D'),
               transaction.date().date().toString(QStringLiteral("MM/dd/yyyy")));
    appendLine(text, QLatin1Char('C'), transaction.cleared() ? QStringLiteral("X") : QString());
    if (!transaction.hasSplit()) {
        const bool isAccount1 = transaction.account1Identifier() == identifier;
        appendLine(text, QLatin1Char('L'),
                   accountName(isAccount1 ? transaction.account2Identifier()
                                          : transaction.account1Identifier()));
        appendLine(text, QLatin1Char('P'), transaction.payee());
        appendLine(text, QLatin1Char('M'), transaction.description());
        appendLine(text, QLatin1Char('T'),
                   amount(isAccount1 ? transaction.totalAccount1() : -transaction.totalAccount2()));
        text.append(QLatin1String("^\n"));
        return text;
    }

    const TWSplitList &splits = transaction.splits();
    qsizetype own = -1;
    for (qsizetype index = 0; index < splits.size(); ++index) {
        if (splits.at(index) && splits.at(index)->accountIdentifier() == identifier) {
            own = index;
            break;
        }
    }
    const qint64 total = own >= 0 ? splits.at(own)->totalAccount() : 0;
    // Every other line, negated, in the account's unit.
    QList<qint64> others(splits.size(), 0);
    qint64 sum = 0;
    qsizetype converted = -1;
    for (qsizetype index = 0; index < splits.size(); ++index) {
        const TWSplitPtr &split = splits.at(index);
        if (index == own || !split)
            continue;
        qint64 value = 0;
        if (split->accountIdentifier() == identifier) {
            value = split->totalAccount();
        } else if (sameUnit(split->unit(), account.unit())) {
            value = split->total();
        } else {
            const TWAccountPtr other =
                business() ? business()->accountWithIdentifier(split->accountIdentifier())
                           : nullptr;
            if (other && sameUnit(other->unit(), account.unit())) {
                value = split->totalAccount();
            } else {
                // Through the home amounts, at the rate of the account's own line.
                const qint64 home = own >= 0 ? splits.at(own)->totalBusiness() : 0;
                value = home != 0 ? qint64(std::llround(double(split->totalBusiness()) *
                                                        double(total) / double(home)))
                                  : split->totalBusiness();
                converted = index;
            }
        }
        others[index] = -value;
        sum += -value;
    }
    // Rounding in the conversion must not leave the lines short of the total.
    if (converted >= 0 && own >= 0)
        others[converted] += total - sum;

    // The payee belongs to the whole transaction, and so does its description
    // where the account's own line has none: without them a reader gets the
    // lines but not what they were for.
    appendLine(text, QLatin1Char('P'), transaction.payee());
    for (qsizetype index = 0; index < splits.size(); ++index) {
        const TWSplitPtr &split = splits.at(index);
        if (!split)
            continue;
        if (index == own) {
            appendLine(text, QLatin1Char('L'), account.name());
            appendLine(text, QLatin1Char('M'),
                       split->description().isEmpty() ? transaction.description()
                                                      : split->description());
            appendLine(text, QLatin1Char('T'), amount(total));
        } else {
            appendLine(text, QLatin1Char('S'), accountName(split->accountIdentifier()));
            appendLine(text, QLatin1Char('E'), split->description());
            appendLine(text, QLatin1Char('$'), amount(others.at(index)));
        }
    }
    text.append(QLatin1String("^\n"));
    return text;
}

QString TWSerializerQIF::text() const
{
    QString text;
    text.reserve(1000);

    // Each exported account with its transactions, in the order of the lists.
    const TWAccountList &exported = accounts();
    QHash<qint32, qsizetype> indexOf;
    QList<qint32> categories;
    QSet<qint32> categorySet;
    const QList<TWTransactionList> listed =
        transactionsByAccount(indexOf, [&](qint32 accountIdentifier) {
            if (!categorySet.contains(accountIdentifier)) {
                categorySet.insert(accountIdentifier);
                categories.append(accountIdentifier);
            }
        });

    text.append(QLatin1String("!Account\n"));
    for (qsizetype index = 0; index < exported.size(); ++index) {
        if (exported.at(index) && indexOf.value(exported.at(index)->identifier()) == index)
            text.append(accountText(exported.at(index).get()));
    }
    text.append(QLatin1String("!Type:Cat\n"));
    for (const qint32 category : categories) {
        const TWAccountPtr account =
            business() ? business()->accountWithIdentifier(category) : nullptr;
        text.append(categoryText(account.get()));
    }
    for (qsizetype index = 0; index < exported.size(); ++index) {
        const TWAccountPtr &account = exported.at(index);
        if (!account || indexOf.value(account->identifier()) != index)
            continue;
        text.append(QLatin1String("!Account\n"));
        text.append(accountText(account.get()));
        text.append(QLatin1String("!Type:"));
        text.append(accountType(account->accountType()));
        text.append(QLatin1Char('\n'));
        for (const TWTransactionPtr &transaction : listed.at(index))
            text.append(transactionText(*transaction, *account));
    }
    return text;
}
