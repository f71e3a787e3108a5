#pragma once
// The start every benchmark of a view shares: an application on the offscreen
// platform (unless QT_QPA_PLATFORM names another), the local zone read as the
// program reads it, and the generated business of "--transactions N" (and
// "--invoices N", "--bills N"), its attachment files in a folder removed at exit;
// and the timing of a phase as a user waits for it.

#include "TWBenchBusiness.h"

#include "foundation/TWLocalZone.h"

#include "store/TWBusiness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

// Runs `step` `rounds` times, each with `paint` painted after it (and `before`, untimed, before
// it), and prints the median and the slowest in milliseconds.
inline void twBenchPhase(const char *what, const std::function<void()> &step, QWidget *paint,
                         int rounds = 20, const std::function<void()> &before = {})
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        if (before)
            before();
        QElapsedTimer timer;
        timer.start();
        step();
        paint->repaint();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-34s median %9.3f ms   slowest %8.2f ms\n", what, times[times.size() / 2],
                times.back());
    std::fflush(stdout);
}

// Marks the stored transaction a view was made of cleared, or not cleared again, as the
// register's Cleared does: one real write, so nothing a view read before it stands. For the
// phases that time the refresh after transactions changed.
inline void twBenchToggleCleared(TWBusiness &business, const TWTransactionPtr &view)
{
    const TWTransactionPtr stored =
        view ? business.transactionWithIdentifier(view->identifier()) : nullptr;
    if (!stored)
        return;
    stored->setCleared(!stored->cleared());
    if (business.updateTransaction(stored, true, false, false, false))
        std::fprintf(stderr, "marking a transaction cleared failed\n");
}

// The first transaction linked to one of the documents (invoices or bills); null when none is.
template <typename Documents>
TWTransactionPtr twBenchDocumentTransaction(TWBusiness &business, const Documents &documents)
{
    for (const auto &document : documents) {
        if (!document)
            continue;
        TWTransactionList linked;
        if constexpr (std::is_same_v<typename Documents::value_type, TWInvoicePtr>)
            linked = business.transactionsWithInvoice(*document);
        else
            linked = business.transactionsWithBill(*document);
        if (!linked.isEmpty())
            return linked.first();
    }
    return nullptr;
}

class TWBenchWidgetsMain
{
public:
    TWBenchWidgetsMain(int &argc, char **argv) : m_app(offscreenByDefault(argc), argv)
    {
        if (m_folder.isValid())
            m_business = twBenchBusinessFromArguments(argc, argv, 1,
                                                      m_folder.filePath(QStringLiteral("files")));
    }

    // Null (with a message on stderr when generating failed) when there is none.
    TWBusiness *business() const { return m_business.get(); }
    // A temporary folder removed at exit (the attachment files are in its "files").
    const QTemporaryDir &folder() const { return m_folder; }

private:
    // Set before the application is made, so it is read; the zone as the program's own
    // start sets it, before any thread runs.
    static int &offscreenByDefault(int &argc)
    {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        TWLocalZone::install();
        return argc;
    }

    QApplication m_app;
    QTemporaryDir m_folder;
    std::unique_ptr<TWBusiness> m_business;
};
