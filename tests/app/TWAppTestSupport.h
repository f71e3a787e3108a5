#pragma once
// Fixtures of the shell's suites: answers in place of the dialogs, a clean
// preference set and registry per test, businesses saved as packages, and
// waiting for the event loop.

#include "app/TWAlert.h"
#include "app/TWAppRegistry.h"
#include "app/TWBusinessController.h"
#include "app/TWDocumentPrompts.h"
#include "app/TWSiteRequest.h"

#include "TWTestSupport.h"
#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Answers the document commands' questions the way a test tells it, and
// records what would have been shown.
class TWTestPrompts final : public TWDocumentPrompts
{
public:
    bool upgrade = true;
    // Given the proposed path, the chosen one (empty: cancelled).
    std::function<QString(const QString &)> saveLocation = [](const QString &proposed) {
        return proposed;
    };
    QString openLocation;
    SaveChangesAnswer saveChanges = DontSave;
    bool revert = true;
    QStringList revertAsked;
    PackageChangedAnswer packageChanged = KeepUnsaved;
    QStringList packageChangedAsked;
    // Whether to try again a save or opening refused at once because another
    // process keeps the business locked (tried again up to 50 times).
    std::function<bool()> packageBusy = [this] { return packageBusyAsked.size() <= 50; };
    QStringList packageBusyAsked;

    QStringList proposed;
    QList<TWError> errors;
    QStringList messages;
    // Runs while the save-changes or revert question is open (the event loop
    // turns meanwhile: timers fire).
    std::function<void()> whileAsking;
    // Runs while a save's own message, error, question or Save As dialog is
    // open (once at a time: what it starts may show another).
    std::function<void()> whileShowing;

    bool askUpgrade(const QString &, QWidget *) override { return upgrade; }
    QString chooseSaveLocation(const QString &path, const QString &, QWidget *) override
    {
        proposed.append(path);
        showing();
        return saveLocation(path);
    }
    PackageChangedAnswer askPackageChanged(const QString &name, QWidget *) override
    {
        packageChangedAsked.append(name);
        showing();
        return packageChanged;
    }
    bool askPackageBusy(const QString &message, QWidget *) override
    {
        packageBusyAsked.append(message);
        showing();
        return packageBusy();
    }
    QString chooseOpenLocation(QWidget *) override { return openLocation; }
    // "name / open sheet" for each save-changes question.
    QStringList saveChangesAsked;
    SaveChangesAnswer askSaveChanges(const QString &name, QWidget *,
                                     const QString &openSheet) override
    {
        saveChangesAsked.append(name + QStringLiteral(" / ") + openSheet);
        if (whileAsking)
            whileAsking();
        return saveChanges;
    }
    bool askRevert(const QString &name, QWidget *) override
    {
        revertAsked.append(name);
        if (whileAsking)
            whileAsking();
        return revert;
    }
    void showError(const TWError &error, QWidget *) override
    {
        errors.append(error);
        showing();
    }
    void showMessage(const QString &message, QWidget *) override
    {
        messages.append(message);
        showing();
    }

private:
    bool m_showing = false;
    void showing()
    {
        if (!whileShowing || m_showing)
            return;
        m_showing = true;
        whileShowing();
        m_showing = false;
    }
};

// Every shell test starts from the same preferences, the interim registry and
// the test prompts.
class TWAppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TWAppRegistry::registry().reset();
        TWDocumentPrompts::setPrompts(&prompts);
        TWPreferences &preferences = TWPreferences::preferences();
        preferences.setOpenLastBusiness(true);
        preferences.setLastOpenBusinessURL(QString());
        preferences.setAutoSave(0);
        preferences.setShowTaskTimerInMenuBar(false);
        preferences.setUpgraded(false);
        TWBusinessController::setApplicationActiveQuery([] { return true; });
        // Start-up asks the site for news and updates: never the real one (nothing listens on
        // the discard port).
        TWSite::setBaseURL(QUrl(QStringLiteral("http://127.0.0.1:9/")));
    }
    void TearDown() override
    {
        TWBusinessController::setApplicationActiveQuery(nullptr);
        TWDocumentPrompts::setPrompts(nullptr);
        TWAppRegistry::registry().reset();
        // Windows and sheets released with deleteLater go now.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    // A new business named `name` saved as a package at `path`.
    static void savePackage(const QString &path, const QString &name = QStringLiteral("Test Firm"))
    {
        TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
        info->setName(name);
        TWErrorResult error;
        std::unique_ptr<TWBusiness> business = TWBusiness::businessWithBusinessInfo(info, &error);
        ASSERT_TRUE(business);
        ASSERT_OK(business->writeToURL(QUrl::fromLocalFile(path), TWSaveOperationSaveAs));
    }

    // A document on a new business (not shown, no file).
    static std::unique_ptr<TWBusinessController>
    newDocument(const QString &name = QStringLiteral("Test Firm"))
    {
        auto document = std::make_unique<TWBusinessController>();
        TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
        info->setName(name);
        EXPECT_OK(document->createWithBusinessInfo(info));
        document->setDisplayName(name);
        return document;
    }

    static QByteArray bytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QString businessName(const QString &package)
    {
        TWErrorResult error;
        auto business = TWBusiness::businessWithURL(QUrl::fromLocalFile(package), false, &error);
        return business ? business->businessInfo()->name() : QString();
    }

    TWTestPrompts prompts;
    TWTestTempDir dir;
};

// Alerts answered with the first button, their messages kept, for the
// object's life.
struct TWTestAlertAnswers {
    QStringList messages;
    TWTestAlertAnswers()
    {
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            messages.append(alert.message);
            if (completion)
                completion(1000);
        });
    }
    ~TWTestAlertAnswers() { twSetAlertPresenter({}); }
    TWTestAlertAnswers(const TWTestAlertAnswers &) = delete;
    TWTestAlertAnswers &operator=(const TWTestAlertAnswers &) = delete;
};
