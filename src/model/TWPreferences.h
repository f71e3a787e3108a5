#pragma once
// The application-wide settings of one user (what to reopen, auto-save, time
// display, task timer, report sorting, export fonts, list colours, update
// check), kept in the user's settings store under keys named like the
// properties. Changes that affect what is drawn post "preferences" through the
// default notification centre; observers reread what they need.

#include <QColor>
#include <QDateTime>
#include <QMetaObject>
#include <QString>

#include <cstdint>
#include <memory>

class QSettings;

class TWPreferences
{
public:
    // The format version written under "version".
    static constexpr qint64 kVersion = 33554432;

    // The shared instance over the user's settings (made on first use on the
    // main thread, never released).
    static TWPreferences &preferences();

    // Over the user's settings when `settingsFile` is empty, else over that
    // INI file (tests).
    explicit TWPreferences(const QString &settingsFile = QString());
    // Removes this instance's temporary directory.
    ~TWPreferences();
    TWPreferences(const TWPreferences &) = delete;
    TWPreferences &operator=(const TWPreferences &) = delete;

    // Writes the store to disk; with `post` then posts "preferences".
    void syncSettings(bool post);

    std::uint32_t lastAccountType() const { return m_lastAccountType; }
    void setLastAccountType(std::uint32_t v);
    std::uint32_t lastReportType() const { return m_lastReportType; }
    void setLastReportType(std::uint32_t v);
    bool openLastBusiness() const { return m_openLastBusiness; }
    void setOpenLastBusiness(bool v);
    // A file path; empty when none.
    QString lastOpenBusinessURL() const { return m_lastOpenBusinessURL; }
    void setLastOpenBusinessURL(const QString &path);
    bool autoCompleteTextFields() const { return m_autoCompleteTextFields; }
    void setAutoCompleteTextFields(bool v);
    // Minutes; 0 switches auto-save off.
    qint64 autoSave() const { return m_autoSave; }
    void setAutoSave(qint64 v);
    // 0 clock h:mm[:ss], 1 decimal hours.
    std::uint32_t timeFormat() const { return m_timeFormat; }
    void setTimeFormat(std::uint32_t v);
    // The lowest identifier a new transaction may get.
    std::uint32_t startingIdentifier() const { return m_startingIdentifier; }
    void setStartingIdentifier(std::uint32_t v);
    bool defaultLastDateUnit() const { return m_defaultLastDateUnit; }
    void setDefaultLastDateUnit(bool v);
    // Minutes; 0 off.
    qint64 idleTimeout() const { return m_idleTimeout; }
    void setIdleTimeout(qint64 v);
    bool showTaskTimerInMenuBar() const { return m_showTaskTimerInMenuBar; }
    void setShowTaskTimerInMenuBar(bool v);
    qint64 minimumTaskTime() const { return m_minimumTaskTime; }
    void setMinimumTaskTime(qint64 v);
    qint64 roundInvoiceTaskTime() const { return m_roundInvoiceTaskTime; }
    void setRoundInvoiceTaskTime(qint64 v);
    std::uint32_t sortReportsAccounts() const { return m_sortReportsAccounts; }
    void setSortReportsAccounts(std::uint32_t v);
    std::uint32_t sortReportsClients() const { return m_sortReportsClients; }
    void setSortReportsClients(std::uint32_t v);
    std::uint32_t sortReportsMerchants() const { return m_sortReportsMerchants; }
    void setSortReportsMerchants(std::uint32_t v);
    bool checkForUpdate() const { return m_checkForUpdate; }
    void setCheckForUpdate(bool v);
    // Empty when none.
    QString checkForUpdateSkipVersion() const { return m_checkForUpdateSkipVersion; }
    void setCheckForUpdateSkipVersion(const QString &v);
    // Invalid when none.
    QDateTime checkForUpdateNextDate() const { return m_checkForUpdateNextDate; }
    void setCheckForUpdateNextDate(const QDateTime &v);
    QString normalExportFontName() const { return m_normalExportFontName; }
    void setNormalExportFontName(const QString &v);
    QString boldExportFontName() const { return m_boldExportFontName; }
    void setBoldExportFontName(const QString &v);
    QString italicExportFontName() const { return m_italicExportFontName; }
    void setItalicExportFontName(const QString &v);
    // Held as doubles, stored in single precision.
    double smallExportFontSize() const { return m_smallExportFontSize; }
    void setSmallExportFontSize(double v);
    double normalExportFontSize() const { return m_normalExportFontSize; }
    void setNormalExportFontSize(double v);
    double largeExportFontSize() const { return m_largeExportFontSize; }
    void setLargeExportFontSize(double v);

    // List colours. An invalid QColor stands for the system's control text
    // colour, which the user interface resolves.
    QColor transactionColour() const { return m_colours[TransactionColour]; }
    void setTransactionColour(const QColor &c) { setColour(TransactionColour, c); }
    QColor estimateColour() const { return m_colours[EstimateColour]; }
    void setEstimateColour(const QColor &c) { setColour(EstimateColour, c); }
    QColor projectColour() const { return m_colours[ProjectColour]; }
    void setProjectColour(const QColor &c) { setColour(ProjectColour, c); }
    QColor taskColour() const { return m_colours[TaskColour]; }
    void setTaskColour(const QColor &c) { setColour(TaskColour, c); }
    QColor taskItemColour() const { return m_colours[TaskItemColour]; }
    void setTaskItemColour(const QColor &c) { setColour(TaskItemColour, c); }
    QColor expenseColour() const { return m_colours[ExpenseColour]; }
    void setExpenseColour(const QColor &c) { setColour(ExpenseColour, c); }
    QColor invoiceColour() const { return m_colours[InvoiceColour]; }
    void setInvoiceColour(const QColor &c) { setColour(InvoiceColour, c); }
    QColor billColour() const { return m_colours[BillColour]; }
    void setBillColour(const QColor &c) { setColour(BillColour, c); }
    QColor closedColour() const { return m_colours[ClosedColour]; }
    void setClosedColour(const QColor &c) { setColour(ClosedColour, c); }
    QColor lockedColour() const { return m_colours[LockedColour]; }
    void setLockedColour(const QColor &c) { setColour(LockedColour, c); }
    QColor completedColour() const { return m_colours[CompletedColour]; }
    void setCompletedColour(const QColor &c) { setColour(CompletedColour, c); }
    QColor paidColour() const { return m_colours[PaidColour]; }
    void setPaidColour(const QColor &c) { setColour(PaidColour, c); }
    QColor overdueColour() const { return m_colours[OverdueColour]; }
    void setOverdueColour(const QColor &c) { setColour(OverdueColour, c); }
    QColor oweColour() const { return m_colours[OweColour]; }
    void setOweColour(const QColor &c) { setColour(OweColour, c); }
    QColor clearedColour() const { return m_colours[ClearedColour]; }
    void setClearedColour(const QColor &c) { setColour(ClearedColour, c); }

    // The base address of the exchange-rate quote service (http or https);
    // empty when none is set, and then no rates are ever fetched. Read from
    // the settings each time, so an address set outside the program counts.
    QString exchangeRateServiceURL() const;
    void setExchangeRateServiceURL(const QString &v);

    // The maker's site (update file, news feed, product page) and the support
    // and contact mail addresses; empty when none is set, and then the update
    // check and the news stay idle and the links are off. Read from the
    // settings each time, like the exchange-rate service.
    QString siteURL() const;
    void setSiteURL(const QString &v);
    QString supportAddress() const;
    void setSupportAddress(const QString &v);
    QString contactAddress() const;
    void setContactAddress(const QString &v);

    // Held in memory only, taken from the locale at creation ("US", "USD" when
    // the locale has none).
    QString localeCountryCode() const { return m_localeCountryCode; }
    void setLocaleCountryCode(const QString &v) { m_localeCountryCode = v; }
    QString localeCurrencyCode() const { return m_localeCurrencyCode; }
    void setLocaleCurrencyCode(const QString &v) { m_localeCurrencyCode = v; }

    // This process's own temporary directory (mode 0700), made on first use;
    // empty when it cannot be made. The directory a run left behind without
    // quitting normally (still recorded in the settings) is used again when it
    // is safely ours: a real directory, not a link, in the temporary location,
    // owned by this user, closed to others, and not held by a running
    // instance. Two running instances never share one.
    QString temporaryDirectoryURL();
    // Removes the temporary directory with everything in it and forgets it;
    // also done when the application quits. A left-behind directory that this
    // run never used is removed too, under the same conditions.
    void deleteTempFiles();

    // Set at start when the stored preferences were of another version.
    bool upgraded() const { return m_upgraded; }
    void setUpgraded(bool v) { m_upgraded = v; }

private:
    enum Colour {
        TransactionColour,
        EstimateColour,
        ProjectColour,
        TaskColour,
        TaskItemColour,
        ExpenseColour,
        InvoiceColour,
        BillColour,
        ClosedColour,
        LockedColour,
        CompletedColour,
        PaidColour,
        OverdueColour,
        OweColour,
        ClearedColour,
        ColourCount
    };
    static QColor defaultColour(Colour which);
    void load();
    void setColour(Colour which, const QColor &colour);
    void store(const char *key, const QVariant &value, bool post);

    std::unique_ptr<QSettings> m_settings;
    std::uint32_t m_lastAccountType = 16;
    std::uint32_t m_lastReportType = 0;
    bool m_openLastBusiness = true;
    QString m_lastOpenBusinessURL;
    bool m_autoCompleteTextFields = true;
    qint64 m_autoSave = 5;
    std::uint32_t m_timeFormat = 0;
    std::uint32_t m_startingIdentifier = 1;
    bool m_defaultLastDateUnit = true;
    qint64 m_idleTimeout = 10;
    bool m_showTaskTimerInMenuBar = true;
    qint64 m_minimumTaskTime = 0;
    qint64 m_roundInvoiceTaskTime = 1;
    std::uint32_t m_sortReportsAccounts = 0;
    std::uint32_t m_sortReportsClients = 0;
    std::uint32_t m_sortReportsMerchants = 0;
    bool m_checkForUpdate = true;
    QString m_checkForUpdateSkipVersion;
    QDateTime m_checkForUpdateNextDate;
    QString m_normalExportFontName;
    QString m_boldExportFontName;
    QString m_italicExportFontName;
    double m_smallExportFontSize = 12.0;
    double m_normalExportFontSize = 14.0;
    double m_largeExportFontSize = 16.0;
    QColor m_colours[ColourCount];
    QString m_localeCountryCode;
    QString m_localeCurrencyCode;
    enum class TemporaryDirectoryClaim { Claimed, InUse, Unusable };
    // Takes `path` as this run's directory when it is safely ours and no
    // running instance holds it.
    TemporaryDirectoryClaim claimTemporaryDirectory(const QString &path);
    void releaseTemporaryDirectory();

    QString m_temporaryDirectory;
    // An exclusive lock on a file inside the directory, held while this run
    // uses it, so that no other instance takes it for a left-behind one.
    int m_temporaryDirectoryLock = -1;
    QMetaObject::Connection m_quitConnection;
    bool m_upgraded = false;
};
