#include "import/core/TWParserOFX.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWXMLParser.h"
#include "import/core/TWImportText.h"
#include "import/core/TWImportValues.h"
#include "import/core/TWImportWarnings.h"
#include "model/TWAccountNumbers.h"
#include "model/TWFormatter.h"
#include "model/TWUnits.h"

#include <QRegularExpression>
#include <QSet>

#include <vector>

namespace
{

QString childText(const TWXMLElement &element, const char *name)
{
    const TWXMLElementPtr child = element.childElementWithName(QLatin1String(name));
    return child ? child->data() : QString();
}

// A payee or memo as banks write them in QFX files: white space at both ends
// taken off, and a line break inside (with the indentation around it) one space.
QString cleanText(const QString &value)
{
    const QString trimmed = value.trimmed();
    if (!trimmed.contains(QLatin1Char('\n')) && !trimmed.contains(QLatin1Char('\r')))
        return trimmed;
    QString result;
    result.reserve(trimmed.size());
    for (qsizetype i = 0; i < trimmed.size();) {
        if (!trimmed.at(i).isSpace()) {
            result.append(trimmed.at(i++));
            continue;
        }
        const qsizetype start = i;
        bool lineBreak = false;
        while (i < trimmed.size() && trimmed.at(i).isSpace()) {
            lineBreak = lineBreak || trimmed.at(i) == QLatin1Char('\n') ||
                        trimmed.at(i) == QLatin1Char('\r');
            ++i;
        }
        if (lineBreak)
            result.append(QLatin1Char(' '));
        else
            result.append(QStringView(trimmed).mid(start, i - start));
    }
    return result;
}

bool isNamed(const TWXMLElementPtr &element, const char *name)
{
    return element && element->name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The XML is handed to the reader as UTF-8, whatever the file's declaration said.
QString declaredAsUtf8(QString xml)
{
    const qsizetype start = xml.indexOf(QLatin1String("<?xml"));
    if (start < 0 || !QStringView(xml).left(start).trimmed().isEmpty())
        return xml;
    const qsizetype end = xml.indexOf(QLatin1String("?>"), start);
    if (end < 0)
        return xml;
    static const QRegularExpression encoding(
        QStringLiteral("encoding\\s*=\\s*(\"[^\"]*\"|'[^']*')"));
    QString declaration = xml.mid(start, end - start);
    declaration.replace(encoding, QStringLiteral("encoding=\"UTF-8\""));
    return declaration.append(QStringView(xml).mid(end));
}

// The posting date: "YYYYMMDD" followed by an optional time and zone.
QDate postedDate(const QString &text)
{
    if (text.size() < 8)
        return {};
    int fields[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    qsizetype at = 0;
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < widths[f]; ++i, ++at) {
            const char16_t u = text.at(at).unicode();
            if (u < u'0' || u > u'9')
                return {};
            fields[f] = fields[f] * 10 + (u - u'0');
        }
    }
    return QDate(fields[0], fields[1], fields[2]);
}

using Wide = unsigned __int128;

// The digits of a decimal without its point and leading zeros, as a number;
// none beyond nineteen digits.
std::optional<Wide> mantissa(const TWDecimal &value)
{
    std::string digits = value.intDigits + value.fracDigits;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.size() > 19)
        return std::nullopt;
    Wide result = 0;
    for (const char c : digits)
        result = result * 10 + Wide(c - '0');
    return result;
}

std::string wideDigits(Wide value)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

// The exact product: a rate written with enough digits gives every minor unit.
std::optional<TWDecimal> product(const TWDecimal &a, const TWDecimal &b)
{
    const std::string x = a.intDigits + a.fracDigits;
    const std::string y = b.intDigits + b.fracDigits;
    if (x.size() + y.size() > 80)
        return std::nullopt;
    std::vector<unsigned> digits(x.size() + y.size(), 0);
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t j = 0; j < y.size(); ++j)
            digits[i + j + 1] += unsigned(x[i] - '0') * unsigned(y[j] - '0');
    for (std::size_t k = digits.size() - 1; k > 0; --k) {
        digits[k - 1] += digits[k] / 10;
        digits[k] %= 10;
    }
    std::string all;
    all.reserve(digits.size());
    for (const unsigned d : digits)
        all.push_back(char('0' + d));
    const std::size_t fraction = a.fracDigits.size() + b.fracDigits.size();
    TWDecimal result;
    result.negative = a.negative != b.negative;
    result.fracDigits = all.substr(all.size() - fraction);
    std::string whole = all.substr(0, all.size() - fraction);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    result.intDigits = whole.empty() ? std::string("0") : whole;
    return result;
}

// The quotient to eighteen decimals (a rate of at most twelve decimals and
// nineteen digits); none where the digits do not fit.
std::optional<TWDecimal> quotient(const TWDecimal &a, TWDecimal rate)
{
    rate.roundTo(12, TWRounding::HalfToEven);
    const std::optional<Wide> top = mantissa(a);
    const std::optional<Wide> bottom = mantissa(rate);
    if (!top || !bottom || *bottom == 0 || a.fracDigits.size() > 18)
        return std::nullopt;
    Wide numerator = *top, denominator = *bottom;
    for (std::size_t i = 0; i < rate.fracDigits.size(); ++i)
        numerator *= 10;
    for (std::size_t i = 0; i < a.fracDigits.size(); ++i)
        denominator *= 10;
    TWDecimal result;
    result.negative = a.negative;
    result.intDigits = wideDigits(numerator / denominator);
    Wide remainder = numerator % denominator;
    for (int i = 0; i < 18; ++i) {
        remainder *= 10;
        result.fracDigits.push_back(char('0' + int(remainder / denominator)));
        remainder %= denominator;
    }
    return result;
}

// `amount` times or divided by `rate`; none without a usable rate.
std::optional<TWDecimal> converted(const TWDecimal &amount, const std::optional<TWDecimal> &rate,
                                   bool multiply)
{
    if (!rate || rate->negative || rate->isZero())
        return std::nullopt;
    return multiply ? product(amount, *rate) : quotient(amount, *rate);
}

// Where a file of several statements names each row's statement: after the
// date, name, memo and unit.
constexpr qsizetype kAccountColumn = 4;

class OFXReader
{
public:
    OFXReader() : m_locale(TWFormatter::formatter().locale())
    {
        m_currencies.reserve(5);
        m_rows.reserve(500);
    }

    void readDocument(const TWXMLElement &root)
    {
        const TWXMLElementPtr bank = root.childElementWithName(QStringLiteral("BANKMSGSRSV1"));
        if (!bank) {
            // Card statements are not read: say so rather than show nothing.
            m_notes.append(
                TWLocalized(root.childElementWithName(QStringLiteral("CREDITCARDMSGSRSV1"))
                                ? "importNoteCreditCard"
                                : "importNoteNoStatement"));
            return;
        }
        // The moment the file was written: with each statement's identifier,
        // it tells the program's own files of a business from others.
        if (const TWXMLElementPtr signOn =
                root.childElementWithName(QStringLiteral("SIGNONMSGSRSV1"))) {
            if (const TWXMLElementPtr response =
                    signOn->childElementWithName(QStringLiteral("SONRS")))
                m_moment = childText(*response, "DTSERVER").trimmed();
        }
        for (const TWXMLElementPtr &response : bank->elements()) {
            if (isNamed(response, "STMTTRNRS"))
                readStatement(*response);
        }
        if (m_statements.isEmpty()) {
            m_notes.append(TWLocalized("importNoteNoStatement"));
        } else if (m_statements.size() > 1) {
            // Each statement's rows are its account's: they say which in an
            // account column, where the file's number for it is the label
            // the sheet finds the account by, or asks for. The sheet tells
            // where each goes; the notes are kept for what could not be read.
            labelStatements();
        }
        if (m_currencyColumnsRefused)
            m_notes.append(TWLocalized("importNoteTooManyCurrencies").arg(kMaximumCurrencies));
        if (!m_undated.isEmpty())
            m_notes.append(
                TWLocalized("importNoteUndated").arg(TWImportWarnings::names(m_undated)));
    }

    QStringList takeNotes() { return std::move(m_notes); }

    QStringList amountColumns() const
    {
        const QString amount = TWLocalized("amount");
        if (m_currencies.isEmpty())
            return {amount};
        QStringList columns;
        for (const QString &code : m_currencies)
            columns.append(code.isEmpty() ? amount : QStringLiteral("%1 (%2)").arg(amount, code));
        return columns;
    }

    QList<QStringList> takeRows() { return std::move(m_rows); }

    // Label -> the number the file gives the statement's account, for a
    // file of several statements (a label of no usable number is absent).
    QHash<QString, QString> takeAccountNumbers() { return std::move(m_numbers); }
    // Label -> what the file says of the writer of the statements of that label.
    QHash<QString, TWAccountNumbers::WriterMark> takeMarks() { return std::move(m_marks); }
    QStringList takeLabels() { return std::move(m_labels); }

private:
    // A file may name a currency per transaction; every one is a column of
    // every row after it, so their number is bounded (no file has more real
    // currencies than this). -1 when the column is refused.
    static constexpr qsizetype kMaximumCurrencies = 40;
    qsizetype currencyColumn(const QString &code)
    {
        const qsizetype index = m_currencies.indexOf(code);
        if (index >= 0)
            return index;
        if (m_currencies.size() >= kMaximumCurrencies) {
            m_currencyColumnsRefused = true;
            return -1;
        }
        m_currencies.append(code);
        return m_currencies.size() - 1;
    }

    void readStatement(const TWXMLElement &response)
    {
        const TWXMLElementPtr statement = response.childElementWithName(QStringLiteral("STMTRS"));
        if (!statement)
            return;
        // A statement without its currency keeps the previous statement's; the
        // first has none (the plain amount column, an empty unit).
        const QString currency = childText(*statement, "CURDEF").trimmed();
        if (!currency.isEmpty())
            m_statementCurrency = currency;
        const qsizetype column = currencyColumn(m_statementCurrency);
        Statement record;
        record.begin = m_rows.size();
        record.mark = {m_moment, childText(response, "TRNUID").trimmed(),
                       childText(response, "CLTCOOKIE").trimmed()};
        if (const TWXMLElementPtr from =
                statement->childElementWithName(QStringLiteral("BANKACCTFROM"))) {
            record.bank = childText(*from, "BANKID").trimmed();
            record.account = childText(*from, "ACCTID").trimmed();
            record.type = childText(*from, "ACCTTYPE").trimmed();
        }
        const qsizetype before = m_rows.size();
        const TWXMLElementPtr list =
            statement->childElementWithName(QStringLiteral("BANKTRANLIST"));
        if (list) {
            for (const TWXMLElementPtr &transaction : list->elements()) {
                if (isNamed(transaction, "STMTTRN"))
                    readTransaction(*transaction, column);
            }
        }
        record.rows = m_rows.size() - before;
        m_statements.append(record);
    }

    // The currency element of a transaction; one without CURSYM counts as absent.
    static TWXMLElementPtr currencyElement(const TWXMLElement &transaction, bool &original)
    {
        for (const char *name : {"CURRENCY", "ORIGCURRENCY"}) {
            const TWXMLElementPtr element = transaction.childElementWithName(QLatin1String(name));
            if (element && !childText(*element, "CURSYM").trimmed().isEmpty()) {
                original = name[0] == 'O';
                return element;
            }
        }
        return nullptr;
    }

    void readTransaction(const TWXMLElement &transaction, qsizetype statementColumn)
    {
        const TWXMLElementPtr amountElement =
            transaction.childElementWithName(QStringLiteral("TRNAMT"));
        if (!amountElement)
            return;
        const QString written = amountElement->data().trimmed();
        const QString type = childText(transaction, "TRNTYPE").trimmed();
        // Amounts are the change of the statement's account. Some banks write
        // magnitudes, so a credit is money in and a debit money out whatever
        // the sign; other types carry their sign.
        std::optional<TWDecimal> amount = TWImportValues::readAmount(written, true);
        QString amountText = written;
        if (amount) {
            if (type.compare(QLatin1String("CREDIT"), Qt::CaseInsensitive) == 0)
                amount->negative = false;
            else if (type.compare(QLatin1String("DEBIT"), Qt::CaseInsensitive) == 0)
                amount->negative = true;
            amountText = TWImportValues::amountText(*amount, m_locale);
        }

        const QString posted = childText(transaction, "DTPOSTED").trimmed();
        QDate date = postedDate(posted);
        if (!date.isValid()) {
            // The transaction is booked today, but the user hears of it.
            date = TWClock::today();
            m_undated.append(
                TWImportWarnings::valueNotRead(m_rows.size() + 1, TWLocalized("date"), posted));
        }
        QStringList row{m_dates.text(date), text(cleanText(childText(transaction, "NAME"))),
                        text(cleanText(childText(transaction, "MEMO")))};

        QString statementAmount = amountText;
        QString secondAmount;
        qsizetype secondColumn = -1;
        bool original = false;
        if (const TWXMLElementPtr currency = currencyElement(transaction, original)) {
            const QString code = childText(*currency, "CURSYM").trimmed();
            secondColumn = currencyColumn(code);
            QString other;
            if (amount) {
                std::optional<TWDecimal> value = converted(
                    *amount, TWImportValues::readAmount(childText(*currency, "CURRATE"), true),
                    !original);
                // In the places of the currency it is in, where the program
                // knows it; the import reads it in the business's unit.
                const std::optional<unsigned> places =
                    placesOf(original ? code : m_statementCurrency);
                if (value && places)
                    value->roundTo(*places, TWRounding::HalfAwayFromZero);
                if (value)
                    value->trimFraction(places.value_or(2));
                if (value)
                    other = TWImportValues::amountText(*value, m_locale);
            }
            const bool statementsOwn = secondColumn == statementColumn;
            // CURRENCY: the amount is in CURSYM; ORIGCURRENCY: in the statement's.
            if (statementsOwn || secondColumn < 0)
                secondColumn = -1;
            else if (original)
                secondAmount = other;
            else {
                secondAmount = amountText;
                statementAmount = other;
            }
            // The row is in CURSYM. With ORIGCURRENCY and no rate to give the
            // amount in CURSYM, it stays in the statement's currency: named
            // CURSYM, the statement's amount would be read as CURSYM's.
            const bool knownInCode = !original || statementsOwn || !secondAmount.isEmpty();
            row.append(knownInCode ? code : text(m_statementCurrency));
        } else {
            row.append(text(m_statementCurrency));
        }
        // Rows stop at their last amount: a file of many currencies must not
        // make every row as wide as all of them.
        const qsizetype width = std::max(statementColumn, secondColumn) + 1;
        for (qsizetype i = 0; i < width; ++i) {
            if (i == statementColumn)
                row.append(text(statementAmount));
            else if (i == secondColumn)
                row.append(text(secondAmount));
            else
                row.append(QString(QLatin1String("")));
        }
        m_rows.append(std::move(row));
    }

    static QString text(const QString &value)
    {
        return value.isNull() ? QString(QLatin1String("")) : value;
    }

    // The decimal places of a currency the program ships, by its code.
    std::optional<unsigned> placesOf(const QString &code)
    {
        auto known = m_places.constFind(code);
        if (known == m_places.constEnd()) {
            int places = -1;
            for (const TWUnitPtr &unit : TWUnits::units().unitList()) {
                if (unit && unit->code().compare(code, Qt::CaseInsensitive) == 0) {
                    places = int(unit->decimalPlaces());
                    break;
                }
            }
            known = m_places.insert(code, places);
        }
        return *known < 0 ? std::nullopt : std::optional<unsigned>(unsigned(*known));
    }

    QLocale m_locale;
    QHash<QString, int> m_places;
    TWImportValues::DateTexts m_dates;
    QStringList m_currencies;
    QString m_statementCurrency = QLatin1String("");
    QList<QStringList> m_rows;
    struct Statement {
        QString bank;
        QString account;
        QString type;
        TWAccountNumbers::WriterMark mark;
        qsizetype begin = 0;
        qsizetype rows = 0;

        // "0" and no number name no account.
        bool numbered() const { return !account.isEmpty() && account != QLatin1String("0"); }
        // Which account the statement is of: blocks are one account's only
        // where their bank, number and account type agree, and, where the
        // program's own label says which account a block was written from,
        // that account too (two accounts of a business may hold one number).
        QString key() const
        {
            const QString writer =
                TWAccountNumbers::labelledIdentifier(mark.account) != 0 ? mark.account : QString();
            return QStringList{bank, account, type, writer}.join(QChar(0));
        }
    };

    // One label per account the file gives statements of, put into its rows
    // after the fixed columns, before the amounts: blocks of one account
    // share it, and go together wherever it goes. The label is the account's
    // number, followed by its bank and account type where other accounts of
    // that number differ in them ("555 (SAVINGS)"), else "statement 2". A
    // number several accounts carry names none of them: each is asked for.
    void labelStatements()
    {
        // Number -> the accounts that carry it, and their banks and types.
        struct Sharing {
            QSet<QString> keys, banks, types;
        };
        QHash<QString, Sharing> sharingOf;
        for (const Statement &statement : std::as_const(m_statements)) {
            if (!statement.numbered())
                continue;
            Sharing &sharing = sharingOf[statement.account];
            sharing.keys.insert(statement.key());
            sharing.banks.insert(statement.bank);
            sharing.types.insert(statement.type);
        }
        QSet<QString> used;
        QHash<QString, QString> labelOfKey;
        for (qsizetype i = 0; i < m_statements.size(); ++i) {
            const Statement &statement = m_statements.at(i);
            const bool numbered = statement.numbered();
            const QString key = numbered ? statement.key() : QString();
            QString label = numbered ? labelOfKey.value(key) : QString();
            if (label.isEmpty()) {
                const Sharing sharing = sharingOf.value(statement.account);
                if (numbered) {
                    QStringList told;
                    if (sharing.banks.size() > 1 && !statement.bank.isEmpty())
                        told.append(statement.bank);
                    if (sharing.types.size() > 1 && !statement.type.isEmpty())
                        told.append(statement.type);
                    label = told.isEmpty()
                                ? statement.account
                                : QStringLiteral("%1 (%2)").arg(statement.account,
                                                                told.join(QStringLiteral(", ")));
                } else {
                    label = TWLocalized("importStatementLabel").arg(i + 1);
                }
                while (used.contains(label))
                    label += QLatin1Char('\'');
                used.insert(label);
                m_labels.append(label);
                if (numbered) {
                    labelOfKey.insert(key, label);
                    m_marks.insert(label, statement.mark);
                    if (sharing.keys.size() == 1)
                        m_numbers.insert(label, statement.account);
                }
            } else {
                // Blocks that disagree on their writer are no one's own.
                TWAccountNumbers::WriterMark &mark = m_marks[label];
                if (mark.moment != statement.mark.moment ||
                    mark.identifier != statement.mark.identifier)
                    mark = {};
            }
            for (qsizetype r = statement.begin; r < statement.begin + statement.rows; ++r)
                m_rows[r].insert(kAccountColumn, label);
        }
    }
    QList<Statement> m_statements;
    QHash<QString, QString> m_numbers;
    QHash<QString, TWAccountNumbers::WriterMark> m_marks;
    QStringList m_labels;
    QString m_moment;
    QStringList m_notes;
    QStringList m_undated; // "row 3, Date: 20240231", for the notes
    bool m_currencyColumnsRefused = false;
};

} // namespace

std::shared_ptr<TWParserOFX> TWParserOFX::parser()
{
    return std::make_shared<TWParserOFX>();
}

void TWParserOFX::parse(const QByteArray &data)
{
    QStringList columns{TWLocalized("date"), TWLocalized("name"), TWLocalized("memo"),
                        TWLocalized("unit")};
    OFXReader reader;
    QString text = TWImportText::decode(data);
    // The formats write "." as decimal mark; the rows carry the amounts in
    // the locale's mark without grouping.
    setPlainAmounts(true);
    const int version = v1Version(text);
    text = version >= 100 && version <= 199 ? convertToXML(text) : declaredAsUtf8(std::move(text));
    const std::shared_ptr<TWXMLParser> xml = TWXMLParser::xmlParser();
    TWErrorResult error;
    const TWXMLElementPtr root = xml->parseData(text.toUtf8(), &error);
    // After an error the reader hands back what it had built so far: a
    // truncated statement gives no rows rather than its first half.
    if (!error && isNamed(root, "OFX"))
        reader.readDocument(*root);
    else if (error)
        addNote(TWLocalized("importNoteNotRead").arg(error->localizedDescription()));
    else
        addNote(TWLocalized("importNoteNotOFX"));
    for (const QString &note : reader.takeNotes())
        addNote(note);
    const QStringList labels = reader.takeLabels();
    if (!labels.isEmpty()) {
        columns.append(TWLocalized("account1"));
        setStatements(labels, reader.takeAccountNumbers(), reader.takeMarks());
    }
    columns.append(reader.amountColumns());
    setColumns(std::move(columns));
    setRows(reader.takeRows());
    // The dates are written here in the user's short form, whatever format a
    // mapping kept for another file's "Date" column.
    setDateFormat(0, TWFormatter::formatter().shortDateFormat());
}
