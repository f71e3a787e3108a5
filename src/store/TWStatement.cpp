#include "store/TWStatement.h"

#include "store/TWBusiness.h"

#include <sqlite3.h>

#include <utility>

TWStatement::TWStatement(TWBusiness *business, sqlite3_stmt *statement, bool owned,
                         std::uint64_t generation, int failure)
    : m_business(business), m_statement(statement), m_owned(owned), m_generation(generation),
      m_failure(failure)
{
}

TWStatement::TWStatement(TWStatement &&other) noexcept
    : m_business(std::exchange(other.m_business, nullptr)),
      m_statement(std::exchange(other.m_statement, nullptr)), m_owned(other.m_owned),
      m_generation(other.m_generation), m_bindIndex(other.m_bindIndex), m_failure(other.m_failure),
      m_done(other.m_done)
{
}

TWStatement &TWStatement::operator=(TWStatement &&other) noexcept
{
    if (this != &other) {
        release();
        m_business = std::exchange(other.m_business, nullptr);
        m_statement = std::exchange(other.m_statement, nullptr);
        m_owned = other.m_owned;
        m_generation = other.m_generation;
        m_bindIndex = other.m_bindIndex;
        m_failure = other.m_failure;
        m_done = other.m_done;
    }
    return *this;
}

TWStatement::~TWStatement()
{
    release();
}

void TWStatement::release()
{
    if (m_statement && m_business)
        m_business->releaseStatement(m_statement, m_owned, m_generation);
    m_statement = nullptr;
    m_business = nullptr;
}

bool TWStatement::bindResult(int rc)
{
    if (rc != SQLITE_OK) {
        m_failure = rc;
        return false;
    }
    return true;
}

TWStatement &TWStatement::bindInt32(qint32 value)
{
    if (!m_failure && m_statement)
        bindResult(sqlite3_bind_int(m_statement, ++m_bindIndex, value));
    return *this;
}

TWStatement &TWStatement::bindInt64(qint64 value)
{
    if (!m_failure && m_statement)
        bindResult(sqlite3_bind_int64(m_statement, ++m_bindIndex, value));
    return *this;
}

TWStatement &TWStatement::bindDouble(double value)
{
    if (!m_failure && m_statement)
        bindResult(sqlite3_bind_double(m_statement, ++m_bindIndex, value));
    return *this;
}

TWStatement &TWStatement::bindBool(bool value)
{
    return bindInt32(value ? 1 : 0);
}

TWStatement &TWStatement::bindText(const QString &value)
{
    if (m_failure || !m_statement)
        return *this;
    if (value.isNull())
        return bindNull();
    const QByteArray utf8 = value.toUtf8();
    bindResult(sqlite3_bind_text64(m_statement, ++m_bindIndex, utf8.constData(),
                                   sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8));
    return *this;
}

TWStatement &TWStatement::bindBlob(const QByteArray &value)
{
    if (m_failure || !m_statement)
        return *this;
    if (value.isNull())
        return bindNull();
    // A zero-length blob is still a blob, not NULL.
    bindResult(sqlite3_bind_blob64(m_statement, ++m_bindIndex,
                                   value.isEmpty() ? "" : value.constData(),
                                   sqlite3_uint64(value.size()), SQLITE_TRANSIENT));
    return *this;
}

TWStatement &TWStatement::bindNull()
{
    if (!m_failure && m_statement)
        bindResult(sqlite3_bind_null(m_statement, ++m_bindIndex));
    return *this;
}

int TWStatement::step()
{
    if (m_failure)
        return m_failure;
    if (!m_statement) {
        m_failure = SQLITE_MISUSE;
        return m_failure;
    }
    // Stepping past the end would start the statement over.
    if (m_done)
        return SQLITE_DONE;
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_DONE)
        m_done = true;
    else if (rc != SQLITE_ROW && rc != SQLITE_OK)
        m_failure = rc;
    return rc;
}

TWErrorResult TWStatement::execute()
{
    step();
    reset();
    return error();
}

TWErrorResult TWStatement::executeUpdate()
{
    step();
    reset();
    if (m_failure || !m_statement)
        return error();
    if (sqlite3_changes(sqlite3_db_handle(m_statement)) == 0)
        m_failure = SQLITE_NOTFOUND;
    return error();
}

bool TWStatement::next()
{
    return step() == SQLITE_ROW;
}

void TWStatement::reset()
{
    if (m_statement)
        sqlite3_reset(m_statement);
    m_done = false;
}

TWErrorResult TWStatement::error() const
{
    if (!m_failure)
        return std::nullopt;
    return TWBusiness::databaseError(m_failure);
}

bool TWStatement::isNull(int column) const
{
    return !m_statement || sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

int TWStatement::columnType(int column) const
{
    return m_statement ? sqlite3_column_type(m_statement, column) : SQLITE_NULL;
}

qint32 TWStatement::columnInt32(int column) const
{
    return m_statement ? sqlite3_column_int(m_statement, column) : 0;
}

qint64 TWStatement::columnInt64(int column) const
{
    return m_statement ? sqlite3_column_int64(m_statement, column) : 0;
}

double TWStatement::columnDouble(int column) const
{
    return m_statement ? sqlite3_column_double(m_statement, column) : 0.0;
}

bool TWStatement::columnBool(int column) const
{
    return columnInt64(column) != 0;
}

QString TWStatement::columnText(int column) const
{
    if (isNull(column))
        return {};
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    const int bytes = sqlite3_column_bytes(m_statement, column);
    if (!text)
        return QString(QLatin1String(""));
    return QString::fromUtf8(text, bytes);
}

std::string_view TWStatement::columnUtf8(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    if (!text)
        return {};
    return {text, std::size_t(sqlite3_column_bytes(m_statement, column))};
}

QByteArray TWStatement::columnBlob(int column) const
{
    if (isNull(column))
        return {};
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    const int bytes = sqlite3_column_bytes(m_statement, column);
    if (!data || bytes <= 0)
        return QByteArray("");
    return QByteArray(data, bytes);
}
