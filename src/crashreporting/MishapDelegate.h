#pragma once
// What an application may answer the crash kit; every operation is optional and says whether it
// is implemented. This program passes none.

#include <functional>

class Mishap;
class MSHReport;

class MishapDelegate
{
public:
    virtual ~MishapDelegate() = default;

    // Decides whether a report of an earlier process is sent (the completion takes the answer).
    virtual bool implementsDidDetectReportForLastExecution() const { return false; }
    virtual void mishapDidDetectReportForLastExecution(const MSHReport &,
                                                       std::function<void(bool)> completion)
    {
        completion(true);
    }
    // The older forms, told after the decision.
    virtual bool implementsDidDetectCrashDuringPreviousExecutionWithReport() const { return false; }
    virtual void mishapDidDetectCrashDuringPreviousExecution(Mishap &, const MSHReport &) {}
    virtual bool implementsDidDetectCrashDuringPreviousExecution() const { return false; }
    virtual void mishapDidDetectCrashDuringPreviousExecution(Mishap &) {}

    virtual bool implementsCanUseBackgroundSessions() const { return false; }
    virtual bool mishapCanUseBackgroundSessions(Mishap &) { return true; }
    // Called at crash time, on the crashing thread.
    virtual bool implementsDidDetectCrash() const { return false; }
    virtual void mishapDidDetectCrash(Mishap &) {}
    virtual bool implementsEnsureDeliveryOfUnixSignal() const { return false; }
    virtual bool mishapEnsureDeliveryOfUnixSignal(Mishap &, int) { return false; }
};
