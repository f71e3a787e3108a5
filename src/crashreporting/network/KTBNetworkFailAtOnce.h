#pragma once
// How both network clients refuse a request they cannot send: the completion handler still
// hears of it on the session's delegate queue, like any other answer, never inside the call.

#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/network/MSHURLSession.h"

#include <memory>

template <typename Handler>
void KTBNetworkFailAtOnce(const std::shared_ptr<MSHURLSession> &session, Handler completion,
                          const MSHError &error)
{
    if (!completion)
        return;
    auto deliver = [completion = std::move(completion), error] {
        completion({}, MSHHTTPURLResponse(), error);
    };
    if (session && session->delegateQueue())
        session->delegateQueue()->async(std::move(deliver));
    else
        deliver();
}
