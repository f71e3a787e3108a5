#pragma once
// What the three export sheets share: the format and interval pop-ups, the
// custom dates with their calendar popovers, the two check-box tables (what
// to export and which columns, the columns put in order by dragging), the
// export button's rule, the date check, the save panel and the write with the
// document's progress sheet. Each sheet edits a copy of the stored settings
// and hands it to the store only when the user exports.

#include "app/TWAppRegistry.h"
#include "app/TWCalendarController.h"
#include "app/TWLazyViewController.h"
#include "app/TWPopover.h"
#include "export/ui/TWExportChoiceModel.h"
#include "foundation/TWError.h"

#include <QAbstractButton>

#include <QDateTime>
#include <QPointer>

#include <functional>

class QCheckBox;
class QDateEdit;
class QFormLayout;
class QPushButton;
class QTableView;
class QToolButton;
class TWPopUpButton;

class TWExportSheetController : public TWLazyViewController<TWEditorController>,
                                public TWCalendarControllerDelegate
{
    Q_OBJECT
public:
    // Asks where to write: `proposed` is the file name offered; `done` gets
    // the chosen path, or an empty one when the user cancelled.
    using SaveLocation = std::function<void(QWidget *parent, const QString &proposed,
                                            std::function<void(const QString &path)> done)>;
    // A window-modal save panel; tests put in an answer of their own (an
    // empty function puts the panel back).
    static void setSaveLocation(SaveLocation location);

    explicit TWExportSheetController(QObject *parent = nullptr);
    ~TWExportSheetController() override;

    void reset() override;

    // Export (tag 1) or cancel (any other tag).
    void doExport(int tag);
    // The custom dates are in order (else the alert, and false).
    bool validate();

    // Controls, for the sheet's own wiring and for tests.
    TWPopUpButton *fileTypePopUpButton() const { return m_fileType; }
    TWPopUpButton *intervalPopUpButton() const { return m_interval; }
    QDateEdit *fromDatePicker() const { return m_fromDate; }
    QDateEdit *toDatePicker() const { return m_toDate; }
    QToolButton *fromDisclosureButton() const { return m_fromButton; }
    QToolButton *toDisclosureButton() const { return m_toButton; }
    QTableView *itemsTableView() const { return m_itemsTable; }
    QTableView *fieldsTableView() const { return m_fieldsTable; }
    TWExportChoiceModel *itemsModel() const { return m_itemsModel; }
    TWExportChoiceModel *fieldsModel() const { return m_fieldsModel; }
    QPushButton *exportButton() const { return m_exportButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

    void calendarDidSelectDate(const QDateTime &date, TWCalendarController *controller) override;

signals:
    // An error was handed to the document to show.
    void errorPresented(const TWError &error);

protected:
    // Built once with the view: the sheet's own rows above the tables.
    virtual void addControls(QFormLayout *form) { Q_UNUSED(form); }
    // The sheet's title ("Export Transactions").
    virtual QString sheetTitle() const = 0;
    // The format pop-up's items: title and tag.
    virtual QList<QPair<QString, int>> fileTypeItems() const = 0;
    virtual void doFileType(int tag) = 0;
    // The titles of the item table ("Accounts", "Projects").
    virtual QString itemsTitle() const = 0;
    virtual TWExportChoiceModel::Source itemsSource() = 0;
    virtual TWExportChoiceModel::Source fieldsSource() = 0;
    // Takes a fresh copy of the stored settings and the lists; shows it.
    virtual void resetSettings() = 0;
    // Whether something and some column are ticked.
    virtual bool canExport() const = 0;
    // Stores the copy and writes the export.
    virtual void exportNow() = 0;

    // The copy's interval and custom dates.
    virtual std::uint32_t interval() const = 0;
    virtual void setInterval(std::uint32_t interval) = 0;
    virtual QDateTime intervalDate(int tag) const = 0;
    virtual void setIntervalDate(int tag, const QDateTime &date) = 0;

    // The interval and custom dates of either kind of settings record (the
    // subclasses' overrides above forward to these).
    template <typename Settings> static std::uint32_t intervalOf(const Settings *settings)
    {
        return settings ? settings->interval() : 0;
    }
    template <typename Settings> static void setIntervalOf(Settings *settings, std::uint32_t v)
    {
        if (settings)
            settings->setInterval(v);
    }
    template <typename Settings> static QDateTime intervalDateOf(const Settings *settings, int tag)
    {
        if (!settings)
            return {};
        return tag == 0 ? settings->intervalFromDate() : settings->intervalToDate();
    }
    template <typename Settings>
    static void setIntervalDateOf(Settings *settings, int tag, const QDateTime &date)
    {
        if (!settings)
            return;
        if (tag == 0)
            settings->setIntervalFromDate(date);
        else
            settings->setIntervalToDate(date);
    }

    void updateExportButton();
    void updateDateControls();
    void reloadTables();
    // Asks for a location, then runs `write` with the document's progress
    // sheet around it and presents its error. A file name chosen without
    // `extension` (the format's; empty for a folder) gets it.
    void chooseLocationAndWrite(const QString &proposed, const QString &extension,
                                std::function<TWErrorResult(const QString &path)> write);
    void presentError(const TWError &error);

private:
    void build() override;
    void doIntervalDateDisclosure(int tag);

    TWPopUpButton *m_fileType = nullptr;
    TWPopUpButton *m_interval = nullptr;
    QDateEdit *m_fromDate = nullptr;
    QDateEdit *m_toDate = nullptr;
    QToolButton *m_fromButton = nullptr;
    QToolButton *m_toButton = nullptr;
    QTableView *m_itemsTable = nullptr;
    QTableView *m_fieldsTable = nullptr;
    TWExportChoiceModel *m_itemsModel = nullptr;
    TWExportChoiceModel *m_fieldsModel = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    TWCalendarController *m_calendar = nullptr;
};

// The display-order helpers the sheets share.
namespace TWExportOrder
{
// The settings' list sorted by each element's place in the display list.
template <typename T> QList<T> sortedByDisplay(const QList<T> &chosen, const QList<T> &display)
{
    QList<T> sorted = chosen;
    std::stable_sort(sorted.begin(), sorted.end(), [&display](const T &a, const T &b) {
        return display.indexOf(a) < display.indexOf(b);
    });
    return sorted;
}

// Moves display element `from` before the element now at `to` (after the
// last one when `to` is the count).
template <typename T> bool move(QList<T> &display, int from, int to)
{
    if (from < 0 || from >= display.size() || to < 0 || to > display.size() || from == to)
        return false;
    const T dragged = display.at(from);
    if (to == display.size()) {
        display.removeAt(from);
        display.append(dragged);
        return true;
    }
    const T before = display.at(to);
    display.removeAt(from);
    display.insert(display.indexOf(before), dragged);
    return true;
}
} // namespace TWExportOrder
