#include "import/core/TWParserQIF.h"

#include "foundation/TWLocalized.h"
#include "import/core/TWImportText.h"
#include "import/core/TWImportValues.h"
#include "model/TWFormatter.h"

#include <QHash>
#include <QRegularExpression>

namespace
{

struct QIFSplit {
    std::optional<QString> category; // "S"
    std::optional<QString> memo;     // "E"
    std::optional<QString> amount;   // "$"
};

// One record: each code's last value, and the split lines gathered in order.
struct QIFRecord {
    QHash<QChar, QString> values;
    QList<QIFSplit> splits;
    std::optional<QIFSplit> split; // the split being gathered
    bool hasLine = false;

    void closeSplit()
    {
        if (split) {
            splits.append(*split);
            split.reset();
        }
    }

    void add(QChar code, const QString &value)
    {
        hasLine = true;
        const char16_t u = code.toUpper().unicode();
        if (u != u'S' && u != u'E' && u != u'$') {
            closeSplit();
            values.insert(code, value);
            return;
        }
        std::optional<QString> QIFSplit::*member =
            u == u'S' ? &QIFSplit::category : (u == u'E' ? &QIFSplit::memo : &QIFSplit::amount);
        if (split && ((*split).*member).has_value())
            closeSplit();
        if (!split)
            split = QIFSplit();
        (*split).*member = value;
    }

    QString value(char code) const { return values.value(QChar::fromLatin1(code)); }
    bool has(char code) const { return values.contains(QChar::fromLatin1(code)); }
};

class QIFReader
{
public:
    QIFReader()
        : m_locale(TWFormatter::formatter().locale()), m_splitWord(TWImportValues::splitWord()),
          m_splitPrefix(TWImportValues::splitPrefix())
    {
        m_rows.reserve(500);
    }

    void readLine(QStringView line)
    {
        if (line.isEmpty())
            return;
        if (line.front() == QLatin1Char('!')) {
            endRecord();
            readHeader(line.mid(1).trimmed());
            return;
        }
        if (m_mode == Mode::Skip)
            return;
        if (line.front() == QLatin1Char('^')) {
            endRecord();
            return;
        }
        if (line.size() < 2)
            return;
        m_record.add(line.front(), line.mid(1).toString());
    }

    QList<QStringList> finish()
    {
        endRecord();
        return std::move(m_rows);
    }

    // A file writes all its dates in one order, and 3/4 reads either way: the
    // order is the one the whole file fits.
    QString dateFormat() const
    {
        return TWParserQIF::dateFormat(m_dates, TWFormatter::formatter().shortDateFormat());
    }

    const QSet<QString> &placeholders() const { return m_placeholders; }

private:
    enum class Mode { Skip, Account, Section };

    void readHeader(QStringView header)
    {
        if (header.compare(QLatin1String("Account"), Qt::CaseInsensitive) == 0) {
            m_mode = Mode::Account;
            m_accountRead = false;
            m_remembered.reset();
            return;
        }
        m_mode = Mode::Skip;
        if (header.startsWith(QLatin1String("Type:"), Qt::CaseInsensitive)) {
            QStringView type = header.mid(5);
            const qsizetype colon = type.indexOf(QLatin1Char(':'));
            if (colon >= 0)
                type = type.left(colon);
            const std::optional<QString> typeName =
                TWParserQIF::accountNameFromType(type.trimmed().toString());
            if (typeName) {
                m_mode = Mode::Section;
                m_account = m_remembered.value_or(*typeName);
                // A section without an account record (most banks' downloads)
                // is named after its type: a stand-in, not the user's account.
                if (!m_remembered || m_rememberedIsPlaceholder)
                    m_placeholders.insert(m_account);
            }
        }
        // An account record names only the one section that follows it.
        m_remembered.reset();
    }

    void endRecord()
    {
        m_record.closeSplit();
        // A record of nothing but "^" is skipped; reading goes on after it.
        if (m_record.hasLine) {
            if (m_mode == Mode::Section)
                appendRows(m_record);
            else if (m_mode == Mode::Account && !m_accountRead)
                rememberAccount(m_record);
        }
        m_record = QIFRecord();
    }

    void rememberAccount(const QIFRecord &record)
    {
        m_accountRead = true;
        m_rememberedIsPlaceholder = false;
        if (record.has('N')) {
            m_remembered = record.value('N');
        } else if (const auto name = TWParserQIF::accountNameFromType(record.value('T'))) {
            m_remembered = *name;
            m_rememberedIsPlaceholder = true;
        } else if (record.has('D')) {
            m_remembered = record.value('D');
        }
    }

    // A transfer between two accounts of the file is written in both
    // accounts' sections (same day, opposite amounts, each naming the other):
    // the second one is the same transaction and is left out.
    bool isMirroredTransfer(const QString &date, const QString &category, const QString &amount)
    {
        if (!category.startsWith(QLatin1Char('[')) || amount.isEmpty())
            return false;
        const QString other = TWParserQIF::accountName(category);
        if (other.isEmpty() || other == m_account)
            return false;
        const std::optional<TWDecimal> value = TWImportValues::readWrittenNumber(amount);
        if (!value)
            return false;
        TWDecimal negated = *value;
        negated.negative = !negated.negative;
        // The day by its numbers: "1/5/24" in one section is "01/05/2024" in the other.
        const std::optional<TWParserQIF::DateParts> parts = TWParserQIF::dateParts(date);
        const QString day =
            parts ? QStringLiteral("%1-%2-%3").arg(parts->first).arg(parts->second).arg(parts->year)
                  : date;
        const auto key = [&day](const QString &from, const QString &to, const TWDecimal &a) {
            return QStringList{day, from, to, TWImportValues::amountText(a, QLocale::c())}.join(
                QChar(0x1F));
        };
        const QString mirror = key(other, m_account, negated);
        const auto found = m_transfers.find(mirror);
        if (found != m_transfers.end() && *found > 0) {
            --*found;
            return true;
        }
        ++m_transfers[key(m_account, other, *value)];
        return false;
    }

    QString amount(const std::optional<QString> &value, bool negate) const
    {
        return value ? TWParserQIF::amountString(*value, negate, m_locale) : QString();
    }

    void appendRows(const QIFRecord &record)
    {
        const QString cleared = TWParserQIF::clearedString(record.value('C'));
        // As written: the mapping reads it in the file's order of day and month.
        const QString date = text(record, 'D');
        const std::optional<QString> total =
            record.has('T') ? std::optional<QString>(record.value('T')) : std::nullopt;
        const QString empty(QLatin1String(""));
        if (record.splits.isEmpty()) {
            if (isMirroredTransfer(date, record.value('L'), total.value_or(QString())))
                return;
            m_dates.append(date);
            m_rows.append(QStringList{cleared, date, text(record, 'P'), text(record, 'M'),
                                      m_account, TWParserQIF::accountName(record.value('L')),
                                      text(amount(total, false))});
            return;
        }
        // The memo describes the whole transaction as well as its bank line.
        m_dates.append(date);
        m_rows.append(QStringList{cleared, date, text(record, 'P'), text(record, 'M'), m_splitWord,
                                  m_splitWord, empty});
        // The statement account's own side: "T" is the change of that account.
        const QString bank = m_splitPrefix + m_account;
        m_rows.append(QStringList{empty, empty, empty, text(record, 'M'), bank, bank,
                                  text(amount(total, false))});
        // Each "$" is written from the statement account's side too, so the
        // category's own change is its negation.
        for (const QIFSplit &split : record.splits) {
            const QString account =
                m_splitPrefix + TWParserQIF::accountName(split.category.value_or(QString()));
            m_rows.append(QStringList{empty, empty, empty, text(split.memo.value_or(empty)),
                                      account, account, text(amount(split.amount, true))});
        }
    }

    static QString text(const QIFRecord &record, char code) { return text(record.value(code)); }
    static QString text(const QString &value)
    {
        return value.isNull() ? QString(QLatin1String("")) : value;
    }

    QLocale m_locale;
    QString m_splitWord;
    QString m_splitPrefix;
    Mode m_mode = Mode::Skip;
    bool m_accountRead = false;
    std::optional<QString> m_remembered;
    bool m_rememberedIsPlaceholder = false;
    QSet<QString> m_placeholders;
    QHash<QString, int> m_transfers;
    QString m_account;
    QStringList m_dates; // every "D" value of the rows, as written
    QIFRecord m_record;
    QList<QStringList> m_rows;
};

} // namespace

std::shared_ptr<TWParserQIF> TWParserQIF::parser()
{
    return std::make_shared<TWParserQIF>();
}

void TWParserQIF::parse(const QByteArray &data)
{
    setColumns(QStringList{TWLocalized("cleared"), TWLocalized("date"), TWLocalized("payee"),
                           TWLocalized("memo"), TWLocalized("account1"), TWLocalized("account2"),
                           TWLocalized("amount")});
    const QString text = TWImportText::decode(data);
    QIFReader reader;
    // The formats write "." as decimal mark; the rows carry the amounts in
    // the locale's mark without grouping.
    setPlainAmounts(true);
    const QChar *at = text.constData();
    const QChar *const end = at + text.size();
    while (at != end) {
        const QChar *line = at;
        while (at != end && !TWImportText::isNewline(*at))
            ++at;
        const QStringView view(line, at - line);
        while (at != end && TWImportText::isNewline(*at))
            ++at;
        reader.readLine(view);
    }
    setRows(reader.finish());
    setPlaceholderAccountNames(reader.placeholders());
    setSplitsLeadWithTheirAccount(true);
    if (const QString format = reader.dateFormat(); !format.isNull())
        setDateFormat(1, format);
}

std::optional<QString> TWParserQIF::accountNameFromType(const QString &type)
{
    static const struct {
        const char *type;
        const char *key;
    } kTypes[] = {{"Cash", "cash"},        {"Bank", "bank"},   {"CCard", "creditCard"},
                  {"Invst", "investment"}, {"Oth A", "asset"}, {"Oth L", "liability"}};
    for (const auto &entry : kTypes) {
        if (type.compare(QLatin1String(entry.type), Qt::CaseInsensitive) == 0)
            return TWLocalized(entry.key);
    }
    return std::nullopt;
}

std::optional<TWParserQIF::DateParts> TWParserQIF::dateParts(const QString &value)
{
    int parts[3] = {0, 0, 0};
    int lengths[3] = {0, 0, 0};
    int count = 0;
    bool inDigits = false;
    for (const QChar c : QStringView(value).trimmed()) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') {
            if (!inDigits) {
                if (count == 3)
                    return std::nullopt;
                ++count;
                inDigits = true;
            }
            int &length = lengths[count - 1];
            if (++length > 4)
                return std::nullopt;
            parts[count - 1] = parts[count - 1] * 10 + (u - u'0');
            continue;
        }
        if (c.isLetterOrNumber())
            return std::nullopt;
        inDigits = false;
    }
    if (count != 3 || lengths[0] > 2 || lengths[1] > 2 || (lengths[2] != 2 && lengths[2] != 4))
        return std::nullopt;
    int year = parts[2];
    if (lengths[2] == 2)
        year += year < 50 ? 2000 : 1900;
    return DateParts{parts[0], parts[1], year, lengths[2]};
}

QDate TWParserQIF::DateParts::date(bool dayFirst) const
{
    return dayFirst ? QDate(year, second, first) : QDate(year, first, second);
}

QString TWParserQIF::dateFormat(const QStringList &values, const QString &shortDateFormat)
{
    // Dates such as 14/3 or 3/14 fit one order only; the order most of them
    // fit is the file's. A file of nothing but dates that fit both (a week's
    // download, 05/01 to 12/01) is read day first when written with "." or
    // "-" (14.03.2019, 14-03-2019); written with "/", both orders are common,
    // so it is read as the user writes dates with "/" (a UK or French bank's
    // file for a UK or French user), and month first, as Quicken writes, by
    // a user whose dates say nothing of "/".
    qsizetype dayFirst = 0;
    qsizetype monthFirst = 0;
    std::optional<DateParts> shape; // the first date's, for the separator and the year
    QString separator;
    for (const QString &value : values) {
        const std::optional<DateParts> parts = dateParts(value);
        if (!parts)
            continue;
        if (!shape) {
            shape = parts;
            separator = firstSeparator(value);
        }
        const bool asDay = parts->date(true).isValid();
        const bool asMonth = parts->date(false).isValid();
        if (asDay && !asMonth)
            ++dayFirst;
        else if (asMonth && !asDay)
            ++monthFirst;
    }
    if (!shape)
        return QString();
    const bool slash = separator == QLatin1String("/");
    const bool day = dayFirst != monthFirst ? dayFirst > monthFirst
                     : slash                ? writesDayFirstWithSlash(shortDateFormat)
                                            : true;
    // The pattern only says the order (the dates are read forgivingly, "1/ 2'25" too); its
    // separator is the file's where a pattern can hold it as it is.
    static const QString kPlain = QStringLiteral("/.- ");
    const QString between =
        separator.size() == 1 && kPlain.contains(separator) ? separator : QStringLiteral("/");
    const QString year = shape->yearDigits == 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
    return (day ? QStringLiteral("dd%1MM%1") : QStringLiteral("MM%1dd%1")).arg(between) + year;
}

bool TWParserQIF::writesDayFirstWithSlash(const QString &shortDateFormat)
{
    if (!shortDateFormat.contains(QLatin1Char('/')))
        return false;
    const qsizetype day = shortDateFormat.indexOf(QLatin1Char('d'));
    const qsizetype month = shortDateFormat.indexOf(QLatin1Char('M'));
    return day >= 0 && month >= 0 && day < month;
}

QString TWParserQIF::firstSeparator(const QString &value)
{
    // What stands between the first two numbers, spaces left out ("1/ 2'25" gives "/"); a
    // space when nothing else does.
    const QString trimmed = value.trimmed();
    qsizetype i = 0;
    while (i < trimmed.size() && trimmed.at(i).isDigit())
        ++i;
    qsizetype end = i;
    while (end < trimmed.size() && !trimmed.at(end).isDigit())
        ++end;
    const QString between = trimmed.mid(i, end - i).trimmed();
    return between.isEmpty() ? QStringLiteral(" ") : between;
}

QString TWParserQIF::amountString(const QString &value, bool negate, const QLocale &locale)
{
    // Quicken writes "1,500.00"; banks of day-first countries "-45,90"; some
    // a currency sign ("$1,234.56", "-¥1,234"). The number is read here by the
    // file's rule, whatever the user's locale; a sign stays for the import to
    // judge against the unit it is read in.
    const QString trimmed = value.trimmed();
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        if (trimmed.at(i).isDigit()) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0)
        return value;
    if (first > 0 &&
        (trimmed.at(first - 1) == QLatin1Char('.') || trimmed.at(first - 1) == QLatin1Char(',')))
        --first;
    QString before = trimmed.left(first);
    QString after = trimmed.mid(last + 1);
    bool negative = before.contains(QLatin1Char('-')) || after.contains(QLatin1Char('-')) ||
                    (before.contains(QLatin1Char('(')) && after.contains(QLatin1Char(')')));
    static const QRegularExpression signs(QStringLiteral("[-+()\\s]"));
    before.remove(signs);
    after.remove(signs);
    std::optional<TWDecimal> amount =
        TWImportValues::readWrittenNumber(trimmed.mid(first, last - first + 1));
    if (!amount)
        return value;
    amount->negative = negative != negate;
    const QString sign = amount->negative && !amount->isZero() ? QStringLiteral("-") : QString();
    return sign + before + amount->localized(locale, false) + after;
}

QString TWParserQIF::clearedString(const QString &value)
{
    const QString mark = value.trimmed().toUpper();
    const bool cleared = mark == QLatin1String("*") || mark == QLatin1String("C") ||
                         mark == QLatin1String("X") || mark == QLatin1String("R");
    return cleared ? QStringLiteral("1") : QStringLiteral("0");
}

QString TWParserQIF::accountName(const QString &category)
{
    if (category.startsWith(QLatin1Char('['))) {
        const qsizetype close = category.indexOf(QLatin1Char(']'));
        if (close > 0)
            return category.mid(1, close - 1);
    }
    return category.isNull() ? QString(QLatin1String("")) : category;
}
