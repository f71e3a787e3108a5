#pragma once
// The small editor of a saved report: its type (new reports only), name,
// dates (a range, or one as-of date, by type), an optional comparison period
// and whether graphs show. A new report is made in a sheet (mode New); a copy of
// the selected one is edited in the document's popover (mode Existing), and the
// document stores it when the popover closes with `saved` set.

#include "app/TWRecordEditors.h"

#include "model/TWReport.h"

#include <QDateTime>
#include <QHash>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPropertyAnimation;

class TWReportInfoController final : public TWInfoEditor
{
    Q_OBJECT
public:
    explicit TWReportInfoController(QObject *parent = nullptr);
    ~TWReportInfoController() override;

    TWItemPtr item() const override { return m_report; }
    void setItem(const TWItemPtr &item) override
    {
        m_report = std::dynamic_pointer_cast<TWReport>(item);
    }
    const TWReportPtr &report() const { return m_report; }
    void setReport(const TWReportPtr &report) { m_report = report; }

    // An empty new report of the last type made.
    void reset() override;
    // The controls from `report` (none: reset).
    void update() override;

    // The actions of the controls.
    void doType();
    // `tag`: 0 range, 1 range comparison, 2 single date, 3 its comparison.
    void doDateType(int tag);
    // `tag`: 0 the range view's checkbox, 1 the single-date view's.
    void doCompare(int tag);
    // Tag 1 saves, any other cancels.
    void doSave(int tag);

    // Report type <-> its place in the type pop-up, and which date view it
    // uses; values outside 0..9 go to the balance sheet.
    static quint32 tagForType(quint32 type);
    static quint32 typeForTag(quint32 tag);
    // Date types 0..15 are their own tags; anything else is the custom date.
    static quint32 tagForDateType(quint32 dateType);
    static quint32 dateTypeForTag(quint32 tag);
    static bool useDateRange(quint32 type);

    // Swaps the date view shown; the window keeps its top edge.
    void showDateRangeView(bool range, bool animate);
    void updateCustomDates(bool range);
    void updateCompareEnabled(bool range);
    bool showsDateRangeView() const { return m_rangeShown; }

    // The controls, for the tests and the window.
    QComboBox *typePopUpButton() const { return m_typePopUp; }
    QLabel *typeLabel() const { return m_typeLabel; }
    QLineEdit *nameTextField() const { return m_name; }
    QCheckBox *showGraphsCheckbox() const { return m_graphs; }
    QWidget *dateRangeView() const { return m_rangeView; }
    QWidget *dateView() const { return m_dateView; }
    QComboBox *dateRangePopUpButton() const { return m_rangePopUp; }
    QDateEdit *fromDatePicker() const { return m_from; }
    QDateEdit *toDatePicker() const { return m_to; }
    QCheckBox *rangeCompareCheckbox() const { return m_rangeCompare; }
    QComboBox *rangeComparePopUpButton() const { return m_rangeComparePopUp; }
    QDateEdit *compareFromDatePicker() const { return m_compareFrom; }
    QDateEdit *compareToDatePicker() const { return m_compareTo; }
    QComboBox *datePopUpButton() const { return m_datePopUp; }
    QDateEdit *datePicker() const { return m_date; }
    QCheckBox *dateCompareCheckbox() const { return m_dateCompare; }
    QComboBox *dateCompareDatePopUpButton() const { return m_dateComparePopUp; }
    QDateEdit *compareDatePicker() const { return m_compareDate; }

private:
    void build() override;
    QWidget *buildRangeView();
    QWidget *buildDateView();
    // The date-type tag a pop-up shows, and choosing one.
    static quint32 popUpTag(const QComboBox *popUp);
    static void selectPopUpTag(QComboBox *popUp, quint32 tag);
    // A custom type's picker is enabled and shows its custom date; any other
    // type's is greyed and shows the date the report uses for that type (the
    // start of its range, or with `end` its end), while the custom date is
    // kept for Custom and for saving.
    void showPicker(QDateEdit *picker, bool custom, quint32 dateType, bool end);
    // The date the report uses for `dateType` (invalid when there is none).
    QDate usedDate(quint32 dateType, bool end) const;
    // The custom date a picker stands for, and setting it.
    QDate customDate(const QDateEdit *picker) const;
    void setCustomDate(QDateEdit *picker, const QDate &date);
    // The window the editor sits in: the view itself when it is shown alone.
    void fitWindow(bool animate);
    // The alert of a failed date check; the editor stays open.
    void showInvalid(const QString &key);

    TWReportPtr m_report;
    bool m_rangeShown = false;
    // The custom dates of the greyed pickers.
    QHash<const QDateEdit *, QDate> m_customDates;
    QComboBox *m_typePopUp = nullptr;
    QLabel *m_typeLabel = nullptr;
    QLineEdit *m_name = nullptr;
    QCheckBox *m_graphs = nullptr;
    QWidget *m_rangeView = nullptr;
    QWidget *m_dateView = nullptr;
    QComboBox *m_rangePopUp = nullptr;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QCheckBox *m_rangeCompare = nullptr;
    QComboBox *m_rangeComparePopUp = nullptr;
    QDateEdit *m_compareFrom = nullptr;
    QDateEdit *m_compareTo = nullptr;
    QComboBox *m_datePopUp = nullptr;
    QDateEdit *m_date = nullptr;
    QCheckBox *m_dateCompare = nullptr;
    QComboBox *m_dateComparePopUp = nullptr;
    QDateEdit *m_compareDate = nullptr;
    QPointer<QPropertyAnimation> m_animation;
};
