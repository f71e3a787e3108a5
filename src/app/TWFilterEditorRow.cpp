#include "app/TWFilterEditorRow.h"

#include "app/TWControls.h"
#include "app/TWDateEdit.h"
#include "app/TWFilterEditor.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "model/TWNumberFormatter.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionSearch.h"
#include "store/TWUnitMenu.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <limits>

namespace
{

constexpr int kGap = 6;
// The tag that marks a separator among the menu items.
constexpr int kSeparator = std::numeric_limits<int>::min();
constexpr int kButtonsWidth = 49;

bool isRelative(quint32 match)
{
    return match >= TWFilterComparisonWithinDays && match <= TWFilterComparisonWithinYears;
}

// A whole number typed into a number field, read as every typed number:
// none for unreadable or blank text or a fraction (never cut to its whole part).
std::optional<qint64> integerFromString(const QString &text)
{
    return twTypedWholeNumber(text, -2000000000, 2000000000);
}

QString integerString(qint64 value)
{
    QLocale locale = TWFormatter::formatter().locale();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value);
}

// Hundredths as currency text: two decimals with the currency's own grouping
// and decimal separators.
QString currencyText(qint64 value)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    const QString digits = QString::number(magnitude / 100);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += formatter.currencyGroupingSeparator();
        grouped += digits.at(i);
    }
    return (value < 0 ? QStringLiteral("-") : QString()) + grouped +
           formatter.currencyDecimalSeparator() +
           QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

QIcon buttonImage(const char *name)
{
    return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
}

} // namespace

TWFilterEditorRow::TWFilterEditorRow(const TWFilterCriteriaPtr &criteria, TWBusiness *business,
                                     QWidget *parent)
    : QWidget(parent), m_criteria(criteria), m_business(business)
{
    QFont small = font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() * 0.9));
    setFont(small);
}

bool TWFilterEditorRow::isOfferedField(qint32 fieldIdentifier, quint32 fieldType)
{
    if (fieldIdentifier > 0)
        return fieldType >= TWFieldTypeText && fieldType <= TWFieldTypePercentTotal;
    switch (fieldIdentifier) {
    case TWFieldIdentifierDateModified:
    case TWFieldIdentifierDateCreated:
    case TWFieldIdentifierUnit:
    case TWFieldIdentifierNotes:
    case TWFieldIdentifierAttachments:
    case TWFieldIdentifierTotal:
    case TWFieldIdentifierRepeat:
    case TWFieldIdentifierAccount1:
    case TWFieldIdentifierDescription:
    case TWFieldIdentifierPayee:
    case TWFieldIdentifierIdentifier:
    case TWFieldIdentifierDate:
    case TWFieldIdentifierCleared:
        return true;
    default:
        return false;
    }
}

TWFilterEditorRow::Kind TWFilterEditorRow::kindOfField(qint32 fieldIdentifier,
                                                       const TWBusiness &business)
{
    switch (fieldIdentifier) {
    case TWFieldIdentifierDateModified:
    case TWFieldIdentifierDateCreated:
    case TWFieldIdentifierDate:
        return KindDate;
    case TWFieldIdentifierUnit:
        return KindUnit;
    case TWFieldIdentifierNotes:
    case TWFieldIdentifierDescription:
    case TWFieldIdentifierPayee:
        return KindText;
    case TWFieldIdentifierAttachments:
    case TWFieldIdentifierRepeat:
    case TWFieldIdentifierCleared:
        return KindCheckbox;
    case TWFieldIdentifierTotal:
        return KindCurrency;
    case TWFieldIdentifierAccount1:
        return KindAccount;
    case TWFieldIdentifierIdentifier:
        return KindIdentifier;
    default:
        break;
    }
    if (fieldIdentifier <= 0)
        return KindNone;
    const TWFieldPtr field = business.fieldWithIdentifier(fieldIdentifier);
    if (!field)
        return KindNone;
    switch (field->type()) {
    case TWFieldTypeText:
        return KindText;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        return KindCurrency;
    case TWFieldTypeNumber:
        return KindNumber;
    case TWFieldTypePercent:
        return KindPercent;
    case TWFieldTypeCheckbox:
        return KindCheckbox;
    case TWFieldTypeDate:
        return KindDate;
    case TWFieldTypeList:
        return KindList;
    case TWFieldTypeTags:
        return KindTags;
    default:
        return KindNone;
    }
}

TWFilterEditorRow::Kind TWFilterEditorRow::kind() const
{
    if (!m_business || m_criteria->isCompound())
        return KindNone;
    return kindOfField(m_criteria->fieldIdentifier(), *m_business);
}

// ---- Building ----

void TWFilterEditorRow::clearViews()
{
    for (QPointer<QWidget> &view : m_views) {
        if (view) {
            // A control may be rebuilt from its own signal: it goes later.
            view->hide();
            view->deleteLater();
        }
        view = nullptr;
    }
}

void TWFilterEditorRow::update()
{
    clearViews();
    if (m_criteria->isCompound()) {
        updateViewsCompound();
    } else {
        updateViewsSimple();
        switch (kind()) {
        case KindDate:
            updateViewsDate();
            break;
        case KindUnit:
            updateViewsUnit();
            break;
        case KindText:
            updateViewsText();
            break;
        case KindCheckbox:
            updateViewsCheckbox();
            break;
        case KindCurrency:
            updateViewsCurrency();
            break;
        case KindAccount:
            updateViewsAccount();
            break;
        case KindIdentifier:
            updateViewsIdentifier();
            break;
        case KindNumber:
            updateViewsNumber();
            break;
        case KindPercent:
            updateViewsPercent();
            break;
        case KindList:
            updateViewsList(false);
            break;
        case KindTags:
            updateViewsList(true);
            break;
        case KindNone:
            break;
        }
    }
    for (QWidget *view : m_views)
        if (view) {
            // The width the control asked for, before any narrowing.
            view->setProperty("naturalWidth", view->width());
            view->show();
        }
    layoutViews();
}

void TWFilterEditorRow::updateViewsCompound()
{
    m_views[0] = popUpButton({{TWLocalized("all"), TWFilterMatchAll, {}},
                              {TWLocalized("any"), TWFilterMatchAny, {}},
                              {TWLocalized("none"), TWFilterMatchNone, {}}},
                             int(m_criteria->match()), {}, 0);
    m_views[1] = label(TWLocalized("ofTheFollowingAreTrue"), 2);
}

void TWFilterEditorRow::updateViewsSimple()
{
    QList<MenuItem> items;
    if (m_business)
        for (const TWFieldPtr &field : m_business->filterFields()) {
            if (!isOfferedField(field->identifier(), field->type()))
                continue;
            const QString title = field->identifier() == TWFieldIdentifierAccount1
                                      ? TWLocalized("account")
                                      : field->name();
            items.append({title, field->identifier(), {}});
        }
    m_views[0] = popUpButton(items, m_criteria->fieldIdentifier(), {}, 1);
}

QList<TWFilterEditorRow::MenuItem> TWFilterEditorRow::operatorItems(bool text, bool date) const
{
    QList<MenuItem> items{{TWLocalized("isLower"), TWFilterComparisonIs, {}},
                          {TWLocalized("isNotLower"), TWFilterComparisonIsNot, {}}};
    if (text) {
        items.append({TWLocalized("containsLower"), TWFilterComparisonContains, {}});
        items.append({TWLocalized("doesNotContainLower"), TWFilterComparisonDoesNotContain, {}});
        items.append({TWLocalized("beginsWithLower"), TWFilterComparisonBeginsWith, {}});
        items.append({TWLocalized("endsWithLower"), TWFilterComparisonEndsWith, {}});
        return items;
    }
    items.append({TWLocalized("lessThanLower"), TWFilterComparisonLess, {}});
    items.append({TWLocalized("lessThanOrEqualLower"), TWFilterComparisonLessOrEqual, {}});
    items.append({TWLocalized("greaterThanLower"), TWFilterComparisonGreater, {}});
    items.append({TWLocalized("greaterThanOrEqualLower"), TWFilterComparisonGreaterOrEqual, {}});
    if (date) {
        items.append({QString(), kSeparator, {}});
        items.append({TWLocalized("isInTheLastLower"), -1, {}});
        items.append({TWLocalized("isInTheNextLower"), -2, {}});
    }
    return items;
}

void TWFilterEditorRow::updateViewsText()
{
    m_views[1] = popUpButton(operatorItems(true, false), int(m_criteria->match()), {}, 2);
    m_views[2] = textField(m_criteria->valueText(), false, Qt::AlignLeft, 3);
}

void TWFilterEditorRow::updateViewsCurrency()
{
    m_views[1] = popUpButton(operatorItems(false, false), int(m_criteria->match()), {}, 2);
    m_views[2] = textField(currencyText(m_criteria->valueCurrency()), true, Qt::AlignRight, 3);
}

void TWFilterEditorRow::updateViewsNumber()
{
    m_views[1] = popUpButton(operatorItems(false, false), int(m_criteria->match()), {}, 2);
    m_views[2] = textField(TWFormatter::formatter().doubleValueString(m_criteria->valueNumber()),
                           true, Qt::AlignRight, 3);
}

void TWFilterEditorRow::updateViewsPercent()
{
    m_views[1] = popUpButton(operatorItems(false, false), int(m_criteria->match()), {}, 2);
    m_views[2] = textField(TWFormatter::formatter().numberString(m_criteria->valuePercent()), true,
                           Qt::AlignRight, 3);
}

void TWFilterEditorRow::updateViewsIdentifier()
{
    m_views[1] = popUpButton(operatorItems(false, false), int(m_criteria->match()), {}, 2);
    m_views[2] = textField(integerString(m_criteria->valueIdentifier()), true, Qt::AlignRight, 3);
}

void TWFilterEditorRow::updateViewsCheckbox()
{
    m_views[1] = label(TWLocalized("isLower"), 2);
    m_views[2] = checkbox(m_criteria->valueSwitch(), 3);
}

QList<TWFilterEditorRow::MenuItem> TWFilterEditorRow::accountsByGroupMenuItems() const
{
    QList<MenuItem> items;
    if (!m_business)
        return items;
    for (quint32 type : {0u, 8u, 15u, 16u, 17u}) {
        const TWAccountList accounts = m_business->accountsOfType(type);
        if (accounts.isEmpty())
            continue;
        if (!items.isEmpty())
            items.append({QString(), kSeparator, {}});
        for (const TWAccountPtr &account : accounts)
            items.append({account->name(), account->identifier(), {}});
    }
    return items;
}

void TWFilterEditorRow::updateViewsAccount()
{
    m_views[1] = popUpButton({{TWLocalized("isLower"), TWFilterComparisonIs, {}},
                              {TWLocalized("isNotLower"), TWFilterComparisonIsNot, {}}},
                             int(m_criteria->match()), {}, 2);
    m_views[2] = popUpButton(accountsByGroupMenuItems(), m_criteria->valueIdentifier(), {}, 3);
}

QList<TWFilterEditorRow::MenuItem> TWFilterEditorRow::listMenuItems(qint32 fieldIdentifier,
                                                                    bool tags) const
{
    QList<MenuItem> items{{TWLocalized("none"), -1, {}}};
    const TWFieldPtr field =
        m_business ? m_business->fieldWithIdentifier(fieldIdentifier) : nullptr;
    if (!field)
        return items;
    if (tags) {
        for (const auto &item : field->tagItems())
            items.append({item->name(), item->identifier(), {}});
    } else {
        for (const auto &item : field->listItems())
            items.append({item->name(), item->identifier(), {}});
    }
    return items;
}

void TWFilterEditorRow::updateViewsList(bool tags)
{
    m_views[1] = popUpButton({{TWLocalized("isLower"), TWFilterComparisonIs, {}},
                              {TWLocalized("isNotLower"), TWFilterComparisonIsNot, {}}},
                             int(m_criteria->match()), {}, 2);
    m_views[2] = popUpButton(listMenuItems(m_criteria->fieldIdentifier(), tags),
                             m_criteria->valueIdentifier(), {}, 3);
}

void TWFilterEditorRow::updateViewsUnit()
{
    m_views[1] = popUpButton({{TWLocalized("isLower"), TWFilterComparisonIs, {}},
                              {TWLocalized("isNotLower"), TWFilterComparisonIsNot, {}}},
                             int(m_criteria->match()), {}, 2);
    QList<MenuItem> items;
    if (m_business)
        for (const TWUnitMenuItem &entry : twUnitMenuItems(*m_business, true))
            items.append(entry.separator ? MenuItem{QString(), kSeparator, {}}
                                         : MenuItem{entry.title, 0,
                                                    entry.unit ? entry.unit->code() : QString()});
    const TWUnitPtr unit = m_business ? m_business->unitWithCode(m_criteria->valueText()) : nullptr;
    m_views[2] = popUpButton(items, 0, unit ? QVariant(unit->code()) : QVariant(), 3);
}

void TWFilterEditorRow::updateViewsDate()
{
    const quint32 match = m_criteria->match();
    const bool relative = isRelative(match);
    int shown = int(match);
    if (relative)
        shown = m_criteria->valueRelativeDate() < 1 ? -1 : -2;
    m_views[1] = popUpButton(operatorItems(false, true), shown, {}, 2);
    if (!relative) {
        const QList<MenuItem> periods{{TWLocalized("today"), 0, {}},
                                      {TWLocalized("yesterday"), 1, {}},
                                      {TWLocalized("weekRolling"), 2, {}},
                                      {TWLocalized("weekCalendar"), 3, {}},
                                      {TWLocalized("monthRolling"), 4, {}},
                                      {TWLocalized("monthCalendar"), 5, {}},
                                      {TWLocalized("quarterRolling"), 6, {}},
                                      {TWLocalized("quarterCalendar"), 7, {}},
                                      {TWLocalized("yearRolling"), 8, {}},
                                      {TWLocalized("yearCalendar"), 9, {}},
                                      {QString(), kSeparator, {}},
                                      {TWLocalized("custom"), -1, {}}};
        const bool fixed = m_criteria->valueType() == TWFilterValueTypeDate;
        m_views[2] = popUpButton(periods, fixed ? -1 : m_criteria->valueIdentifier(), {}, 3);
        if (fixed) {
            m_views[3] = datePicker(m_criteria->valueDate(), 3);
            // A refused date is named by the field the rule compares.
            if (auto *field = qobject_cast<QComboBox *>(m_views[0]))
                m_views[3]->setAccessibleName(field->currentText());
        }
        return;
    }
    m_views[2] = textField(integerString(std::abs(qint64(m_criteria->valueRelativeDate()))), true,
                           Qt::AlignRight, 3);
    m_views[3] = popUpButton({{TWLocalized("daysLower"), TWFilterComparisonWithinDays, {}},
                              {TWLocalized("weeksLower"), TWFilterComparisonWithinWeeks, {}},
                              {TWLocalized("monthsLower"), TWFilterComparisonWithinMonths, {}},
                              {TWLocalized("yearsLower"), TWFilterComparisonWithinYears, {}}},
                             int(match), {}, 3);
}

// ---- Control factories ----

TWPopUpButton *TWFilterEditorRow::popUpButton(const QList<MenuItem> &items, int selectTag,
                                              const QVariant &selectObject, int tag)
{
    auto *button = new TWPopUpButton(this);
    button->setFont(font());
    // Sized once to its items; a pop-up that adjusts itself later would undo
    // the row's layout.
    button->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
    for (const auto &[title, itemTag, object] : items) {
        if (itemTag == kSeparator) {
            button->insertSeparator(button->count());
            continue;
        }
        button->addItem(title, itemTag);
        if (object.isValid())
            button->setItemData(button->count() - 1, object, Qt::UserRole + 1);
    }
    bool selected = false;
    if (selectObject.isValid())
        for (int i = 0; i < button->count() && !selected; ++i)
            if (button->itemData(i, Qt::UserRole + 1) == selectObject) {
                button->setCurrentIndex(i);
                selected = true;
            }
    if (!selected && !button->selectItemWithTag(selectTag))
        button->setCurrentIndex(-1);
    button->setTag(tag);
    button->resize(button->sizeHint());
    connect(button, &QComboBox::activated, this, [this, button] { doPopUpButton(button); });
    return button;
}

QLineEdit *TWFilterEditorRow::textField(const QString &value, bool formatted,
                                        Qt::Alignment alignment, int tag)
{
    auto *field = new QLineEdit(value, this);
    field->setFont(font());
    field->setAlignment(alignment | Qt::AlignVCenter);
    field->setProperty("tag", tag);
    if (formatted) {
        field->setValidator(TWFormatter::numberTextFormatter());
        // A refused number is named by the field the rule compares.
        if (auto *compared = qobject_cast<QComboBox *>(m_views[0]))
            field->setAccessibleName(compared->currentText());
    }
    field->adjustSize();
    const int minimum = formatted ? 70 : 160;
    field->resize(std::max(minimum, field->fontMetrics().horizontalAdvance(value) + 12),
                  field->sizeHint().height());
    connect(field, &QLineEdit::editingFinished, this,
            [this, field] { controlTextDidEndEditing(field); });
    return field;
}

QWidget *TWFilterEditorRow::label(const QString &text, int tag)
{
    auto *field = new QLabel(text, this);
    field->setFont(font());
    field->setProperty("tag", tag);
    field->adjustSize();
    return field;
}

QCheckBox *TWFilterEditorRow::checkbox(bool value, int tag)
{
    auto *box = new QCheckBox(this);
    box->setChecked(value);
    box->setProperty("tag", tag);
    box->adjustSize();
    connect(box, &QCheckBox::clicked, this, [this, box] { doCheckbox(box); });
    return box;
}

QDateEdit *TWFilterEditorRow::datePicker(const QDateTime &value, int tag)
{
    auto *picker = new TWDateEdit(value.isValid() ? value.date() : TWClock::today(), this);
    picker->setFont(font());
    picker->setCalendarPopup(false);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    picker->setProperty("tag", tag);
    picker->adjustSize();
    connect(picker, &QDateEdit::dateChanged, this, [this, picker] { doDatePicker(picker); });
    return picker;
}

// ---- Layout ----

void TWFilterEditorRow::layoutViews()
{
    QList<QWidget *> controls;
    for (QWidget *view : m_views)
        if (view)
            controls.append(view);
    if (controls.isEmpty())
        return;
    int x = int(m_criteria->depth()) * 30 + 10;
    const auto natural = [](QWidget *control) {
        const QVariant width = control->property("naturalWidth");
        return width.isValid() ? width.toInt() : control->width();
    };
    int needed = x;
    for (QWidget *control : controls)
        needed += natural(control) + kGap;
    // The buttons own the last 49 pixels; a row too long for the rest takes
    // the same share off every control.
    const int overflow = needed - (width() - kButtonsWidth);
    const int cut = overflow > 0 ? (overflow + int(controls.size()) - 1) / int(controls.size()) : 0;
    for (QWidget *control : controls) {
        const int controlWidth = std::max(0, natural(control) - cut);
        const int controlHeight = control->height();
        control->setGeometry(x, std::max(0, (kRowHeight - controlHeight) / 2), controlWidth,
                             controlHeight);
        x += controlWidth + kGap;
    }
}

void TWFilterEditorRow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A wider or narrower editor gives the controls more or less room.
    layoutViews();
    placeButtons();
}

void TWFilterEditorRow::placeButtons()
{
    const int y = (height() - 19) / 2;
    if (m_addButton)
        m_addButton->setGeometry(width() - 29, y, 18, 19);
    if (m_deleteButton)
        m_deleteButton->setGeometry(width() - 49, y, 18, 19);
}

void TWFilterEditorRow::updateButtons(bool allowDelete, TWFilterEditor *target)
{
    const auto makeButton = [this](const char *image, const char *name) {
        auto *button = new QPushButton(this);
        button->setObjectName(QLatin1String(name));
        button->setFlat(true);
        button->setIcon(buttonImage(image));
        button->setIconSize(QSize(16, 16));
        button->setFocusPolicy(Qt::NoFocus);
        button->show();
        return button;
    };
    m_target = target;
    if (!m_addButton) {
        m_addButton = makeButton(m_compoundAdd ? "AddCompound" : "Add", "addButton");
        connect(m_addButton, &QPushButton::clicked, this, [this] {
            if (m_target)
                m_target->doAdd(m_criteria);
        });
    }
    if (allowDelete && !m_deleteButton) {
        m_deleteButton = makeButton("Remove", "deleteButton");
        connect(m_deleteButton, &QPushButton::clicked, this, [this] {
            if (m_target)
                m_target->doDelete(m_criteria);
        });
    }
    if (m_deleteButton)
        m_deleteButton->setVisible(allowDelete);
    placeButtons();
}

void TWFilterEditorRow::updateAddButton(bool compound)
{
    m_compoundAdd = compound;
    if (m_addButton)
        m_addButton->setIcon(buttonImage(compound ? "AddCompound" : "Add"));
}

// ---- Actions ----

void TWFilterEditorRow::doPopUpButton(TWPopUpButton *sender)
{
    if (!sender)
        return;
    TWFilterCriteria &c = *m_criteria;
    const int selected = sender->selectedTag();
    const Kind fieldKind = kind();
    switch (sender->tag()) {
    case 0:
        c.setMatch(quint32(selected));
        return;
    case 1:
        if (m_business)
            twSetCriteriaField(c, selected, *m_business);
        update();
        return;
    case 2:
        if (fieldKind != KindDate) {
            c.setMatch(quint32(selected));
            return;
        }
        if (selected == -1 || selected == -2) {
            c.setMatch(TWFilterComparisonWithinDays);
            c.setValueType(TWFilterValueTypeRelativeDate);
            c.setValueRelativeDate(selected == -1 ? -1 : 1);
            update();
            return;
        }
        {
            const bool wasRelative = isRelative(c.match());
            c.setMatch(quint32(selected));
            if (wasRelative) {
                c.setValueType(TWFilterValueTypeNamedPeriod);
                c.setValueIdentifier(TWFilterPeriodToday);
                update();
            }
        }
        return;
    case 3:
        if (fieldKind == KindDate) {
            if (isRelative(c.match())) {
                c.setMatch(quint32(selected));
                return;
            }
            const quint32 before = c.valueType();
            if (selected == -1) {
                c.setValueType(TWFilterValueTypeDate);
                c.setValueDate(TWClock::now());
                update();
                return;
            }
            c.setValueType(TWFilterValueTypeNamedPeriod);
            c.setValueIdentifier(selected);
            if (before == TWFilterValueTypeDate)
                update();
            return;
        }
        if (fieldKind == KindAccount || fieldKind == KindList || fieldKind == KindTags) {
            c.setValueIdentifier(selected);
            return;
        }
        if (fieldKind == KindUnit) {
            c.setValueText(sender->currentData(Qt::UserRole + 1).toString());
            return;
        }
        return;
    default:
        return;
    }
}

void TWFilterEditorRow::doCheckbox(QCheckBox *sender)
{
    if (sender && kind() == KindCheckbox)
        m_criteria->setValueSwitch(sender->isChecked());
}

void TWFilterEditorRow::doDatePicker(QDateEdit *sender)
{
    if (sender && kind() == KindDate)
        m_criteria->setValueDate(sender->date().startOfDay());
}

void TWFilterEditorRow::controlTextDidEndEditing(QLineEdit *sender)
{
    if (!sender)
        return;
    TWFilterCriteria &c = *m_criteria;
    const QString text = sender->text();
    const TWFormatter &formatter = TWFormatter::formatter();
    switch (kind()) {
    case KindText:
        c.setValueText(text);
        return;
    // A number the rule cannot read leaves the rule as it was; the field keeps
    // the text, marked, and OK names it.
    case KindCurrency:
        if (const std::optional<qint64> value = formatter.typedValue(text, 2u);
            value && !text.trimmed().isEmpty())
            c.setValueCurrency(*value);
        else
            twRefuseTypedNumber(sender);
        return;
    case KindNumber:
    case KindPercent: {
        const std::optional<double> value = formatter.typedNumber(text);
        if (!value || text.trimmed().isEmpty())
            twRefuseTypedNumber(sender);
        else if (kind() == KindNumber)
            c.setValueNumber(*value);
        else
            c.setValuePercent(float(*value));
        return;
    }
    case KindIdentifier:
        if (const std::optional<qint64> identifier = integerFromString(text))
            c.setValueIdentifier(qint32(*identifier));
        else
            twRefuseTypedNumber(sender);
        return;
    case KindDate: {
        auto *operators = qobject_cast<TWPopUpButton *>(view2());
        if (!operators || !isRelative(c.match()))
            return;
        const int shown = operators->selectedTag();
        if (shown != -1 && shown != -2)
            return;
        // The sign of the count carries the direction, so a count of 0 (or
        // text that is no number) would turn "the next" into "the last":
        // such counts are refused and the field shows the count it had.
        const std::optional<qint64> count = integerFromString(text);
        if (!count || std::llabs(*count) < 1) {
            sender->setText(integerString(std::abs(qint64(c.valueRelativeDate()))));
            return;
        }
        const qint32 magnitude = qint32(std::llabs(*count));
        c.setValueRelativeDate(shown == -1 ? -magnitude : magnitude);
        return;
    }
    default:
        return;
    }
}
