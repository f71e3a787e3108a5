#include "import/core/TWParserOFX.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWXMLParser.h"
#include "import/core/TWImportText.h"
#include "import/core/TWImportValues.h"
#include "import/core/TWImportWarnings.h"
#include "model/TWFormatter.h"

#include <QRegularExpression>

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

// `amount` (two decimals) times or divided by `rate`, exactly, to the nearest
// hundredth (halves away from zero); none without a usable rate.
std::optional<qint64> converted(const TWDecimal &amount, std::optional<TWDecimal> rate,
                                bool multiply)
{
    const std::optional<qint64> value = amount.minorUnits(2);
    if (!value || !rate || rate->negative || rate->isZero())
        return std::nullopt;
    if (rate->fracDigits.size() > 12)
        rate->roundTo(12, TWRounding::HalfToEven);
    std::string digits = rate->intDigits + rate->fracDigits;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty() || digits.size() > 18)
        return std::nullopt;
    const __int128 mantissa = std::stoll(digits);
    __int128 scale = 1;
    for (std::size_t i = 0; i < rate->fracDigits.size(); ++i)
        scale *= 10;
    const __int128 numerator = __int128(*value) * (multiply ? mantissa : scale);
    const __int128 denominator = multiply ? scale : mantissa;
    __int128 quotient = numerator / denominator;
    const __int128 remainder = numerator % denominator;
    if (2 * (remainder < 0 ? -remainder : remainder) >= denominator)
        quotient += numerator < 0 ? -1 : 1;
    if (quotient > std::numeric_limits<qint64>::max() ||
        quotient < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return qint64(quotient);
}

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
        for (const TWXMLElementPtr &response : bank->elements()) {
            if (isNamed(response, "STMTTRNRS"))
                readStatement(*response);
        }
        if (m_statements.isEmpty()) {
            m_notes.append(TWLocalized("importNoteNoStatement"));
        } else if (m_statements.size() > 1) {
            // The rows have no account column: every statement would go into
            // the one account the user picks, so name them before that.
            m_notes.append(TWLocalized("importNoteStatements").arg(m_statements.size()));
            for (const Statement &statement : std::as_const(m_statements))
                m_notes.append(TWLocalized("importNoteStatement")
                                   .arg(statement.account, statement.type)
                                   .arg(statement.rows));
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
        if (const TWXMLElementPtr from =
                statement->childElementWithName(QStringLiteral("BANKACCTFROM"))) {
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
                const std::optional<qint64> value = converted(
                    *amount, TWImportValues::readAmount(childText(*currency, "CURRATE"), true),
                    !original);
                if (value)
                    other =
                        TWImportValues::amountText(TWDecimal::fromMinorUnits(*value, 2), m_locale);
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

    QLocale m_locale;
    TWImportValues::DateTexts m_dates;
    QStringList m_currencies;
    QString m_statementCurrency = QLatin1String("");
    QList<QStringList> m_rows;
    struct Statement {
        QString account;
        QString type;
        qsizetype rows = 0;
    };
    QList<Statement> m_statements;
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
    columns.append(reader.amountColumns());
    setColumns(std::move(columns));
    setRows(reader.takeRows());
    // The dates are written here in the user's short form, whatever format a
    // mapping kept for another file's "Date" column.
    setDateFormat(0, TWFormatter::formatter().shortDateFormat());
}
