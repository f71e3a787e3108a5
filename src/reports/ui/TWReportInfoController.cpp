#include "reports/ui/TWReportInfoController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWDateEdit.h"
#include "app/TWTypedNumberField.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWReportDates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QVBoxLayout>

namespace
{

constexpr quint32 kTypeCount = 10;
// The type pop-up's order: report type by tag.
constexpr quint32 kTypeByTag[kTypeCount] = {0, 1, 2, 3, 7, 8, 4, 9, 5, 6};
constexpr qint64 kWeek = 604800;
constexpr int kAnimationMilliseconds = 100;

// The names of the date types, by date type.
QStringList rangeTypeNames()
{
    return {TWLocalized("rangeAll"),         TWLocalized("rangeThisWeek"),
            TWLocalized("rangeLastWeek"),    TWLocalized("rangeThisMonth"),
            TWLocalized("rangeLastMonth"),   TWLocalized("rangeThisQuarter"),
            TWLocalized("rangeLastQuarter"), TWLocalized("rangeThisYear"),
            TWLocalized("rangeLastYear"),    TWLocalized("rangeThisPeriod"),
            TWLocalized("rangeLastPeriod"),  TWLocalized("reportCustomRange")};
}

QStringList singleTypeNames()
{
    return {TWLocalized("today"), TWLocalized("yesterday"), TWLocalized("reportEndOfThisPeriod"),
            TWLocalized("reportEndOfLastPeriod"), TWLocalized("reportCustomDate")};
}

void fillPopUp(QComboBox *popUp, const QStringList &names, quint32 firstTag)
{
    for (qsizetype i = 0; i < names.size(); ++i)
        popUp->addItem(names.at(i), QVariant::fromValue(firstTag + quint32(i)));
}

QDateEdit *makePicker(QWidget *parent, const char *name)
{
    auto *picker = new TWDateEdit(parent);
    picker->setObjectName(QLatin1String(name));
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    return picker;
}

// A label that names its date field when a typed date is refused.
QLabel *fieldLabel(const QString &text, QWidget *field)
{
    auto *label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    return label;
}

// A picker's day as the start or the end of that day.
QDateTime startOfDay(const QDate &day)
{
    return day.startOfDay();
}

QDateTime endOfDay(const QDate &day)
{
    return QDateTime(day, QTime(23, 59, 59));
}

QDate dayOf(const QDateTime &moment, const QDateTime &fallback)
{
    return (moment.isValid() ? moment : fallback).toLocalTime().date();
}

} // namespace

TWReportInfoController::TWReportInfoController(QObject *parent) : TWInfoEditor(parent)
{
    setObjectName(QStringLiteral("reportInfoController"));
}

TWReportInfoController::~TWReportInfoController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

// ---- Tables ----

quint32 TWReportInfoController::tagForType(quint32 type)
{
    for (quint32 tag = 0; tag < kTypeCount; ++tag)
        if (kTypeByTag[tag] == type)
            return tag;
    return 0;
}

quint32 TWReportInfoController::typeForTag(quint32 tag)
{
    return tag < kTypeCount ? kTypeByTag[tag] : 0;
}

quint32 TWReportInfoController::tagForDateType(quint32 dateType)
{
    return dateType <= TWReportDateTypeEndOfLastPeriod ? dateType
                                                       : quint32(TWReportDateTypeCustomDate);
}

quint32 TWReportInfoController::dateTypeForTag(quint32 tag)
{
    return tag <= TWReportDateTypeEndOfLastPeriod ? tag : quint32(TWReportDateTypeCustomDate);
}

bool TWReportInfoController::useDateRange(quint32 type)
{
    switch (type) {
    case TWReportTypeIncome:
    case TWReportTypeCashFlow:
    case TWReportTypeEquity:
    case TWReportTypeClients:
    case TWReportTypeMerchants:
    case TWReportTypeTime:
    case TWReportTypeCustomCurrencyFields:
    case TWReportTypeClientsUninvoiced:
        return true;
    default:
        return false;
    }
}

// ---- The form ----

void TWReportInfoController::build()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("reportInfoView"));
    m_view->setWindowTitle(TWLocalized("reportInfoSheetTitle"));
    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(16, 14, 16, 12);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    auto *typeRow = new QHBoxLayout;
    m_typePopUp = new QComboBox(m_view);
    m_typePopUp->setObjectName(QStringLiteral("reportTypePopUp"));
    for (quint32 tag = 0; tag < kTypeCount; ++tag)
        m_typePopUp->addItem(TWFormatter::formatter().reportTypeString(typeForTag(tag)),
                             QVariant::fromValue(tag));
    m_typeLabel = new QLabel(m_view);
    m_typeLabel->setObjectName(QStringLiteral("reportTypeLabel"));
    typeRow->addWidget(m_typePopUp);
    typeRow->addWidget(m_typeLabel);
    typeRow->addStretch(1);
    form->addRow(TWLocalized("reportInfoType"), typeRow);
    m_name = new QLineEdit(m_view);
    m_name->setObjectName(QStringLiteral("reportNameField"));
    m_name->setMinimumWidth(260);
    form->addRow(TWLocalized("reportInfoName"), m_name);
    layout->addLayout(form);

    m_rangeView = buildRangeView();
    m_dateView = buildDateView();
    layout->addWidget(m_rangeView);
    layout->addWidget(m_dateView);
    m_rangeView->hide();
    m_dateView->show();
    m_rangeShown = false;

    m_graphs = new QCheckBox(TWLocalized("reportInfoGraphs"), m_view);
    m_graphs->setObjectName(QStringLiteral("reportGraphsCheckbox"));
    layout->addWidget(m_graphs);
    layout->addWidget(addSaveCancelBox([this](int tag) { doSave(tag); }));

    connect(m_typePopUp, &QComboBox::activated, this, [this] { doType(); });
    connect(m_rangePopUp, &QComboBox::activated, this, [this] { doDateType(0); });
    connect(m_rangeComparePopUp, &QComboBox::activated, this, [this] { doDateType(1); });
    connect(m_datePopUp, &QComboBox::activated, this, [this] { doDateType(2); });
    connect(m_dateComparePopUp, &QComboBox::activated, this, [this] { doDateType(3); });
    connect(m_rangeCompare, &QCheckBox::toggled, this, [this] { doCompare(0); });
    connect(m_dateCompare, &QCheckBox::toggled, this, [this] { doCompare(1); });
}

QWidget *TWReportInfoController::buildRangeView()
{
    auto *view = new QWidget(m_view);
    view->setObjectName(QStringLiteral("reportDateRangeView"));
    auto *grid = new QGridLayout(view);
    grid->setContentsMargins(0, 6, 0, 6);
    m_rangePopUp = new QComboBox(view);
    m_rangePopUp->setObjectName(QStringLiteral("reportRangePopUp"));
    fillPopUp(m_rangePopUp, rangeTypeNames(), 0);
    m_from = makePicker(view, "reportFromPicker");
    m_to = makePicker(view, "reportToPicker");
    m_rangeCompare = new QCheckBox(TWLocalized("reportInfoCompare"), view);
    m_rangeCompare->setObjectName(QStringLiteral("reportRangeCompare"));
    m_rangeComparePopUp = new QComboBox(view);
    m_rangeComparePopUp->setObjectName(QStringLiteral("reportRangeComparePopUp"));
    fillPopUp(m_rangeComparePopUp, rangeTypeNames(), 0);
    m_compareFrom = makePicker(view, "reportCompareFromPicker");
    m_compareTo = makePicker(view, "reportCompareToPicker");

    grid->addWidget(new QLabel(TWLocalized("reportInfoDates"), view), 0, 0);
    grid->addWidget(m_rangePopUp, 0, 1, 1, 3);
    grid->addWidget(fieldLabel(TWLocalized("dateRangeFrom"), m_from), 1, 0);
    grid->addWidget(m_from, 1, 1);
    grid->addWidget(fieldLabel(TWLocalized("dateRangeTo"), m_to), 1, 2);
    grid->addWidget(m_to, 1, 3);
    grid->addWidget(m_rangeCompare, 2, 0);
    grid->addWidget(m_rangeComparePopUp, 2, 1, 1, 3);
    grid->addWidget(fieldLabel(TWLocalized("dateRangeFrom"), m_compareFrom), 3, 0);
    grid->addWidget(m_compareFrom, 3, 1);
    grid->addWidget(fieldLabel(TWLocalized("dateRangeTo"), m_compareTo), 3, 2);
    grid->addWidget(m_compareTo, 3, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return view;
}

QWidget *TWReportInfoController::buildDateView()
{
    auto *view = new QWidget(m_view);
    view->setObjectName(QStringLiteral("reportDateView"));
    auto *grid = new QGridLayout(view);
    grid->setContentsMargins(0, 6, 0, 6);
    m_datePopUp = new QComboBox(view);
    m_datePopUp->setObjectName(QStringLiteral("reportDatePopUp"));
    fillPopUp(m_datePopUp, singleTypeNames(), TWReportDateTypeToday);
    m_date = makePicker(view, "reportDatePicker");
    m_dateCompare = new QCheckBox(TWLocalized("reportInfoCompare"), view);
    m_dateCompare->setObjectName(QStringLiteral("reportDateCompare"));
    m_dateComparePopUp = new QComboBox(view);
    m_dateComparePopUp->setObjectName(QStringLiteral("reportDateComparePopUp"));
    fillPopUp(m_dateComparePopUp, singleTypeNames(), TWReportDateTypeToday);
    m_compareDate = makePicker(view, "reportCompareDatePicker");
    // The comparison's date has the check box for a label.
    QString compareName = m_dateCompare->text();
    compareName.remove(QLatin1Char('&'));
    if (compareName.endsWith(QLatin1Char(':')))
        compareName.chop(1);
    m_compareDate->setAccessibleName(compareName);

    grid->addWidget(fieldLabel(TWLocalized("reportInfoAsOf"), m_date), 0, 0);
    grid->addWidget(m_datePopUp, 0, 1);
    grid->addWidget(m_date, 0, 2);
    grid->addWidget(m_dateCompare, 1, 0);
    grid->addWidget(m_dateComparePopUp, 1, 1);
    grid->addWidget(m_compareDate, 1, 2);
    grid->setColumnStretch(1, 1);
    return view;
}

quint32 TWReportInfoController::popUpTag(const QComboBox *popUp)
{
    return popUp->currentData().value<quint32>();
}

void TWReportInfoController::selectPopUpTag(QComboBox *popUp, quint32 tag)
{
    const int index = popUp->findData(QVariant::fromValue(tag));
    popUp->setCurrentIndex(index >= 0 ? index : 0);
}

void TWReportInfoController::showPicker(QDateEdit *picker, bool custom, quint32 dateType, bool end)
{
    // The disabled look greys the text as well.
    if (custom) {
        if (!picker->isEnabled())
            picker->setDate(m_customDates.value(picker, picker->date()));
        picker->setEnabled(true);
        return;
    }
    if (picker->isEnabled())
        m_customDates.insert(picker, picker->date());
    picker->setEnabled(false);
    if (const QDate used = usedDate(dateType, end); used.isValid())
        picker->setDate(used);
}

QDate TWReportInfoController::usedDate(quint32 dateType, bool end) const
{
    const quint32 type = m_mode == TWEditorMode::New || !m_report
                             ? typeForTag(popUpTag(m_typePopUp))
                             : quint32(m_report->reportType());
    TWReport report;
    report.setReportType(TWReportType(type));
    QDateTime from;
    QDateTime to;
    if (m_business) {
        twReportDates(report, int(dateType), &from, &to, {}, {}, *m_business);
        // All dates: the span of what the report counts.
        if (dateType == TWReportDateTypeAllDates) {
            const bool time = type == TWReportTypeTime;
            from = time ? m_business->oldestTaskItemDate() : m_business->oldestTransactionDate();
            to = time ? m_business->newestTaskItemDate() : m_business->newestTransactionDate();
        }
    } else {
        report.datesForType(int(dateType), &from, &to, {}, {}, TWReportPeriods());
    }
    const QDateTime &moment = end ? to : from;
    return moment.isValid() ? moment.toLocalTime().date() : QDate();
}

QDate TWReportInfoController::customDate(const QDateEdit *picker) const
{
    return picker->isEnabled() ? picker->date() : m_customDates.value(picker, picker->date());
}

void TWReportInfoController::setCustomDate(QDateEdit *picker, const QDate &date)
{
    m_customDates.insert(picker, date);
    picker->setDate(date);
}

// ---- Loading ----

void TWReportInfoController::reset()
{
    view();
    const quint32 type = TWPreferences::preferences().lastReportType();
    m_report = nullptr;
    m_popover = nullptr;
    if (m_mode == TWEditorMode::Existing) {
        m_typePopUp->hide();
        m_typeLabel->show();
        m_typeLabel->setText(QString());
    } else {
        m_typePopUp->show();
        m_typeLabel->hide();
        m_typePopUp->setCurrentIndex(int(tagForType(type)));
    }
    showDateRangeView(useDateRange(type), false);
    m_name->setText(TWFormatter::formatter().reportTypeString(type));

    const QDateTime now = TWClock::now();
    const QDate today = now.toLocalTime().date();
    const QDate weekAgo = now.addSecs(-kWeek).toLocalTime().date();
    selectPopUpTag(m_rangePopUp, TWReportDateTypeAllDates);
    setCustomDate(m_from, weekAgo);
    setCustomDate(m_to, today);
    m_rangeCompare->setChecked(false);
    selectPopUpTag(m_rangeComparePopUp, TWReportDateTypeAllDates);
    setCustomDate(m_compareFrom, weekAgo);
    setCustomDate(m_compareTo, today);

    selectPopUpTag(m_datePopUp, TWReportDateTypeToday);
    setCustomDate(m_date, today);
    m_dateCompare->setChecked(false);
    selectPopUpTag(m_dateComparePopUp, TWReportDateTypeToday);
    setCustomDate(m_compareDate, today);

    m_graphs->setChecked(true);
    updateCustomDates(m_rangeShown);
    updateCompareEnabled(m_rangeShown);
    m_name->setFocus();
    m_saved = false;
}

void TWReportInfoController::update()
{
    view();
    if (!m_report) {
        reset();
        return;
    }
    const TWReport &report = *m_report;
    const quint32 type = quint32(report.reportType());
    const bool range = useDateRange(type);
    if (m_mode == TWEditorMode::Existing) {
        m_typePopUp->hide();
        m_typeLabel->show();
        m_typeLabel->setText(TWFormatter::formatter().reportTypeString(type));
    } else {
        m_typePopUp->show();
        m_typeLabel->hide();
        m_typePopUp->setCurrentIndex(int(tagForType(type)));
    }
    m_name->setText(report.name().isNull() ? QString(QLatin1String("")) : report.name());

    const QDateTime now = TWClock::now();
    const QDateTime weekAgo = now.addSecs(-kWeek);
    if (range) {
        showDateRangeView(true, false);
        selectPopUpTag(m_rangePopUp, tagForDateType(quint32(report.dateType())));
        setCustomDate(m_from, dayOf(report.fromDate(), weekAgo));
        setCustomDate(m_to, dayOf(report.toDate(), now));
        m_rangeCompare->setChecked(report.compare());
        if (report.compare()) {
            selectPopUpTag(m_rangeComparePopUp, tagForDateType(quint32(report.compareDateType())));
            setCustomDate(m_compareFrom, dayOf(report.compareFromDate(), weekAgo));
            setCustomDate(m_compareTo, dayOf(report.compareToDate(), now));
        } else {
            selectPopUpTag(m_rangeComparePopUp, TWReportDateTypeAllDates);
            setCustomDate(m_compareFrom, dayOf(QDateTime(), weekAgo));
            setCustomDate(m_compareTo, dayOf(QDateTime(), now));
        }
    } else {
        showDateRangeView(false, false);
        selectPopUpTag(m_datePopUp, tagForDateType(quint32(report.dateType())));
        setCustomDate(m_date, dayOf(report.fromDate(), now));
        m_dateCompare->setChecked(report.compare());
        if (report.compare()) {
            selectPopUpTag(m_dateComparePopUp, tagForDateType(quint32(report.compareDateType())));
            setCustomDate(m_compareDate, dayOf(report.compareFromDate(), now));
        } else {
            selectPopUpTag(m_dateComparePopUp, TWReportDateTypeToday);
            setCustomDate(m_compareDate, dayOf(QDateTime(), now));
        }
    }
    m_graphs->setChecked(report.showGraphs());
    updateCustomDates(range);
    updateCompareEnabled(range);
    m_name->setFocus();
    m_saved = false;
}

// ---- Actions ----

void TWReportInfoController::doType()
{
    if (!m_view)
        return;
    const quint32 type = typeForTag(popUpTag(m_typePopUp));
    const bool range = useDateRange(type);
    showDateRangeView(range, true);
    m_name->setText(TWFormatter::formatter().reportTypeString(type));
    // The dates travel with the user from one view to the other.
    if (range) {
        setCustomDate(m_from, customDate(m_date));
        m_rangeCompare->setChecked(m_dateCompare->isChecked());
        setCustomDate(m_compareFrom, customDate(m_compareDate));
    } else {
        setCustomDate(m_date, customDate(m_from));
        m_dateCompare->setChecked(m_rangeCompare->isChecked());
        setCustomDate(m_compareDate, customDate(m_compareFrom));
    }
    updateCustomDates(range);
    updateCompareEnabled(range);
}

void TWReportInfoController::doDateType(int tag)
{
    switch (tag) {
    case 0:
        updateCustomDates(true);
        break;
    case 1:
        updateCompareEnabled(true);
        break;
    case 2:
        updateCustomDates(false);
        break;
    case 3:
        updateCompareEnabled(false);
        break;
    default:
        break;
    }
}

void TWReportInfoController::doCompare(int tag)
{
    if (tag == 0)
        updateCompareEnabled(true);
    else if (tag == 1)
        updateCompareEnabled(false);
}

void TWReportInfoController::updateCustomDates(bool range)
{
    if (!m_view)
        return;
    if (range) {
        const quint32 dateType = popUpTag(m_rangePopUp);
        const bool custom = dateType == TWReportDateTypeCustomRange;
        showPicker(m_from, custom, dateType, false);
        showPicker(m_to, custom, dateType, true);
    } else {
        const quint32 dateType = popUpTag(m_datePopUp);
        showPicker(m_date, dateType == TWReportDateTypeCustomDate, dateType, false);
    }
}

void TWReportInfoController::updateCompareEnabled(bool range)
{
    if (!m_view)
        return;
    if (range) {
        const bool on = m_rangeCompare->isChecked();
        m_rangeComparePopUp->setEnabled(on);
        const quint32 dateType = popUpTag(m_rangeComparePopUp);
        const bool custom = on && dateType == TWReportDateTypeCustomRange;
        showPicker(m_compareFrom, custom, dateType, false);
        showPicker(m_compareTo, custom, dateType, true);
    } else {
        const bool on = m_dateCompare->isChecked();
        m_dateComparePopUp->setEnabled(on);
        const quint32 dateType = popUpTag(m_dateComparePopUp);
        showPicker(m_compareDate, on && dateType == TWReportDateTypeCustomDate, dateType, false);
    }
}

void TWReportInfoController::showDateRangeView(bool range, bool animate)
{
    view();
    if (range == m_rangeShown && (range ? m_rangeView : m_dateView)->isVisibleTo(m_view))
        return;
    m_rangeShown = range;
    m_rangeView->setVisible(range);
    m_dateView->setVisible(!range);
    fitWindow(animate);
}

void TWReportInfoController::fitWindow(bool animate)
{
    if (QLayout *layout = m_view->layout())
        layout->activate();
    const int height = m_view->sizeHint().height();
    QWidget *window = m_view->window();
    if (window == m_view.data()) {
        m_view->resize(m_view->width(), height);
        return;
    }
    // A sheet's layout fits its window to the view and leaves its top edge in
    // place; a popover's frame is moved here, its top edge kept as well.
    const QLayout *windowLayout = window->layout();
    if (windowLayout && windowLayout->sizeConstraint() == QLayout::SetFixedSize)
        return;
    const int delta = height - m_view->height();
    if (delta == 0)
        return;
    QRect frame = window->geometry();
    frame.setHeight(frame.height() + delta);
    if (m_animation)
        m_animation->stop();
    if (animate && window->isVisible()) {
        auto *animation = new QPropertyAnimation(window, "geometry", this);
        animation->setDuration(kAnimationMilliseconds);
        animation->setStartValue(window->geometry());
        animation->setEndValue(frame);
        m_animation = animation;
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        window->setGeometry(frame);
    }
}

void TWReportInfoController::showInvalid(const QString &key)
{
    twRunNotice(key, m_view ? m_view->window() : nullptr);
}

void TWReportInfoController::doSave(int tag)
{
    if (!m_view)
        return;
    // Ends any typing in progress, so its text is what is saved.
    if (QWidget *focus = m_view->focusWidget())
        focus->clearFocus();
    // A date whose text was refused is mended before anything is kept.
    if (tag == 1 && twExplainFirstRefusedField(m_view))
        return;
    const quint32 type = m_mode == TWEditorMode::New
                             ? typeForTag(popUpTag(m_typePopUp))
                             : (m_report ? quint32(m_report->reportType()) : 0);
    const bool range = useDateRange(type);

    quint32 dateType = 0;
    quint32 compareDateType = 0;
    QDateTime from, to, compareFrom, compareTo;
    bool compare = false;
    if (range) {
        dateType = dateTypeForTag(popUpTag(m_rangePopUp));
        compareDateType = dateTypeForTag(popUpTag(m_rangeComparePopUp));
        from = startOfDay(customDate(m_from));
        to = endOfDay(customDate(m_to));
        compare = m_rangeCompare->isChecked();
        compareFrom = startOfDay(customDate(m_compareFrom));
        compareTo = endOfDay(customDate(m_compareTo));
    } else {
        dateType = dateTypeForTag(popUpTag(m_datePopUp));
        compareDateType = dateTypeForTag(popUpTag(m_dateComparePopUp));
        from = endOfDay(customDate(m_date));
        compare = m_dateCompare->isChecked();
        compareFrom = endOfDay(customDate(m_compareDate));
    }

    bool made = false;
    if (tag == 1) {
        // Only a custom range is checked: the other types ignore the pickers.
        if (dateType == TWReportDateTypeCustomRange && from.date() > to.date()) {
            showInvalid(TWLocalized("invalidDateRange"));
            return;
        }
        if (compare && compareDateType == TWReportDateTypeCustomRange &&
            compareFrom.date() > compareTo.date()) {
            showInvalid(TWLocalized("invalidCompareDateRange"));
            return;
        }
        const QString name = m_name->text().isEmpty() ? QString() : m_name->text();
        if (m_mode == TWEditorMode::Existing && m_report) {
            TWReport &report = *m_report;
            report.setName(name);
            report.setDateType(TWReportDateType(dateType));
            report.setFromDate(from);
            report.setToDate(to);
            report.setCompare(compare);
            report.setCompareDateType(TWReportDateType(compareDateType));
            report.setCompareFromDate(compareFrom);
            report.setCompareToDate(compareTo);
            report.setShowGraphs(m_graphs->isChecked());
            m_saved = true;
            made = true;
        } else if (m_mode == TWEditorMode::New && m_business) {
            const qint32 identifier = m_business->nextReportIdentifier();
            made = acceptIdentifier(identifier);
            if (made) {
                m_report = TWReport::reportWithIdentifier(
                    identifier, name, 0, 0, TWReportType(type), TWReportDateType(dateType), from,
                    to, compare, TWReportDateType(compareDateType), compareFrom, compareTo,
                    m_graphs->isChecked());
            }
        }
    }
    finishSave(tag, made);
}
