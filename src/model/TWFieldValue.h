#pragma once
// One transaction's value of one custom field. The field's type decides which of
// the value views (text, currency, number, ...) is meaningful; the others read as
// empty and refuse to be set, so a value never holds something its column could
// not store.

#include "model/TWField.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <variant>

class TWFieldValue
{
public:
    TWFieldValue() = default;
    // An empty value of that field and type.
    TWFieldValue(qint32 identifier, std::uint32_t type);

    static std::shared_ptr<TWFieldValue> fieldValueWithIdentifier(qint32 identifier,
                                                                  std::uint32_t type);
    // Same field, type and value (texts, dates and lists are values in Qt, so a
    // copy never shares mutable state with the original).
    std::shared_ptr<TWFieldValue> copy() const;
    // The first of `count` (at least 1) empty values made in one allocation,
    // one after another; the pointer (and any pointer made from it to one of
    // the others) keeps them all alive.
    static std::shared_ptr<TWFieldValue> fieldValueBlock(std::size_t count);

    // The field whose value this is.
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 identifier) { m_identifier = identifier; }
    std::uint32_t type() const { return m_type; }
    // A change to a type that keeps its value in another view empties the value.
    void setType(std::uint32_t type);

    // Whether a value has been set (an empty text, an invalid date or a refused
    // number leaves none). A transaction's value without one stores as NULL.
    bool hasValue() const { return !std::holds_alternative<std::monostate>(m_value); }
    // True when the type is a custom field type (1 to 9) and what is held can be
    // written to the database as it stands: in particular every number is finite.
    // The store checks this before binding a value and skips values that fail.
    bool isValid() const;

    // The views. A getter of a view that does not belong to the type, or of an
    // empty value, gives the empty answer (null text, 0, NO, invalid date, -1 for
    // the list entry, no tags). A setter of a view that does not belong to the
    // type changes nothing and returns false.

    // Type 1. An empty text leaves no value.
    QString text() const;
    bool setText(const QString &text);
    // Types 2 and 9: minor units of the transaction's unit.
    qint64 currency() const;
    bool setCurrency(qint64 currency);
    // Type 3. A number that is not finite (NaN, infinity) is refused and leaves
    // no value.
    double number() const;
    bool setNumber(double number);
    // Type 4, in percent, single precision. Not finite: refused, no value.
    float percent() const;
    bool setPercent(float percent);
    // Type 4 from a double (what the database hands back): refused, leaving no
    // value, when it is not finite or lies outside the range of a float.
    bool setPercentFromDouble(double percent);
    // Type 5.
    bool checkboxValue() const;
    bool setCheckboxValue(bool on);
    // Type 6: a calendar date. An invalid date leaves no value.
    QDateTime date() const;
    bool setDate(const QDateTime &date);
    // Type 7: the identifier of one of the field's list entries; -1 for none.
    qint32 listItemIdentifier() const;
    bool setListItemIdentifier(qint32 identifier);
    // Type 8: the chosen tags, in the order chosen. An empty list leaves no value.
    QList<qint32> tagItemIdentifiers() const;
    bool setTagItemIdentifiers(const QList<qint32> &identifiers);

private:
    // Which alternative of the slot a type uses (0 = none).
    static int viewOf(std::uint32_t type);

    // A value kept out of line: texts and tag lists are the only views wider
    // than eight bytes, and most values are neither, so the slot stays as
    // narrow as a number. The boxed value never changes once made (a setter
    // makes a new box), so copies share one box: equal texts and tag lists
    // read from a document take the room of one.
    template <typename T> class Boxed
    {
    public:
        explicit Boxed(const T &value) : m_box(new Box{1, value}) {}
        Boxed(const Boxed &other) noexcept : m_box(other.m_box) { retain(); }
        Boxed(Boxed &&other) noexcept : m_box(std::exchange(other.m_box, nullptr)) {}
        Boxed &operator=(const Boxed &other) noexcept
        {
            Boxed copied(other);
            std::swap(m_box, copied.m_box);
            return *this;
        }
        Boxed &operator=(Boxed &&other) noexcept
        {
            std::swap(m_box, other.m_box);
            return *this;
        }
        ~Boxed() { release(); }
        const T &get() const { return m_box->value; }

    private:
        struct Box {
            std::atomic<int> references;
            const T value;
        };
        void retain() noexcept
        {
            if (m_box)
                m_box->references.fetch_add(1, std::memory_order_relaxed);
        }
        void release() noexcept
        {
            if (m_box && m_box->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
                delete m_box;
        }
        Box *m_box;
    };

    qint32 m_identifier = 0;
    std::uint32_t m_type = TWFieldTypeText;
    // Holds only the alternative that belongs to m_type, or nothing.
    std::variant<std::monostate, Boxed<QString>, qint64, double, float, bool, QDateTime, qint32,
                 Boxed<QList<qint32>>>
        m_value;
};

using TWFieldValuePtr = std::shared_ptr<TWFieldValue>;
using TWFieldValueList = QList<TWFieldValuePtr>;
