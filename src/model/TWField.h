#pragma once
// The definition of one transaction field: a built-in one (payee, date, amounts,
// ...; negative identifier, type standard) or a custom one the user defined for the
// business, with the choices of a list or tags field and the settings of a
// percent-of-total field.

#include "model/TWFieldItem.h"

#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// Stored as integers; shared by the fields list, the transaction editor, filters,
// import and export.
enum TWFieldType : std::uint32_t {
    TWFieldTypeStandard = 0, // built-in: the value lives in the transaction itself
    TWFieldTypeText = 1,
    TWFieldTypeCurrency = 2,
    TWFieldTypeNumber = 3,
    TWFieldTypePercent = 4,
    TWFieldTypeCheckbox = 5,
    TWFieldTypeDate = 6,
    TWFieldTypeList = 7,
    TWFieldTypeTags = 8,
    TWFieldTypePercentTotal = 9, // an amount: the field's percent of the transaction
};

// The strings-table key of a field type's display name; nullptr outside 0 to 9.
const char *TWFieldTypeNameKey(std::uint32_t type);

class TWField
{
public:
    // A blank text field: no name, identifier 0, flags off, no choices, percent 0.
    TWField() = default;
    TWField(QString name, std::uint32_t type, bool autofillTrigger, bool autofillValue,
            qint32 identifier);
    // A value copy is whole and deep: it gets copies of the choices, so
    // editing it leaves the field it was made from alone.
    TWField(const TWField &other);
    TWField &operator=(const TWField &other);
    TWField(TWField &&) = default;
    TWField &operator=(TWField &&) = default;

    static std::shared_ptr<TWField> field();
    static std::shared_ptr<TWField> fieldWithName(const QString &name, std::uint32_t type,
                                                  bool autofillTrigger, bool autofillValue,
                                                  qint32 identifier);
    // A new field with the same name, type, autofill flags and identifier
    // only: no list or tag items, percent 0, not included in the total. The
    // field sheet edits such a copy; its save carries the listed field's
    // choices and percent settings over.
    std::shared_ptr<TWField> copy() const;

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t type) { m_type = type; }
    // Negative for the built-in fields, 1 and up for custom ones.
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 identifier) { m_identifier = identifier; }

    // The choices of a list field, in display order.
    const TWFieldListItemList &listItems() const { return m_listItems; }
    void setListItems(const TWFieldListItemList &items);
    // The choices of a tags field, in display order.
    const TWFieldTagItemList &tagItems() const { return m_tagItems; }
    void setTagItems(const TWFieldTagItemList &items) { m_tagItems = items; }

    // A percent-of-total field's percentage (15.0 is fifteen percent). Anything
    // but a finite number becomes 0, so it can never reach the database.
    double percent() const { return m_percent; }
    void setPercent(double percent);
    // Whether the share is part of the transaction's amount or comes on top.
    bool includedInTotal() const { return m_includedInTotal; }
    void setIncludedInTotal(bool included) { m_includedInTotal = included; }

    // A value typed into this field starts autofill.
    bool autofillTrigger() const { return m_autofillTrigger; }
    void setAutofillTrigger(bool on) { m_autofillTrigger = on; }
    // Autofill fills this field from the remembered transaction.
    bool autofillValue() const { return m_autofillValue; }
    void setAutofillValue(bool on) { m_autofillValue = on; }

    // Two fields are the same field when their identifiers are equal.
    bool isEqual(const TWField &other) const { return m_identifier == other.m_identifier; }
    // By name, case-sensitively.
    int compare(const TWField &other) const;

    // The first list entry with that identifier; nullptr for -1 (no choice) or
    // an identifier no entry has.
    TWFieldListItemPtr listItemWithIdentifier(qint32 identifier) const;
    // That entry's name, or nothing.
    std::optional<QString> listNameWithIdentifier(qint32 identifier) const;
    // The names of the tags whose identifiers are in the list, in the field's tag
    // order, joined with ", "; empty when none matches.
    QString tagNameWithIdentifiers(const QList<qint32> &identifiers) const;

private:
    void rebuildListIndex();

    QString m_name;
    std::uint32_t m_type = TWFieldTypeText;
    qint32 m_identifier = 0;
    TWFieldListItemList m_listItems;
    TWFieldTagItemList m_tagItems;
    double m_percent = 0.0;
    bool m_includedInTotal = false;
    bool m_autofillTrigger = false;
    bool m_autofillValue = false;
    // Identifier -> position of its first entry in m_listItems, so that sorting
    // a register by a list field does not scan the entries for every comparison.
    QHash<qint32, qsizetype> m_listIndex;
};

using TWFieldPtr = std::shared_ptr<TWField>;
using TWFieldList = QList<TWFieldPtr>;
