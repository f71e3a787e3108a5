#pragma once
// The one rule by which every client of the component reads its service's answers: success,
// permanent failure or a failure worth retrying, the server's requested delay ("Retry-After"),
// and whether a successful answer has the content type the request asked for. Errors are of the
// domain "KTBNetworkError"; see the codes below.

#include "crashreporting/common/MSHError.h"
#include "crashreporting/network/MSHURLRequest.h"

#include <functional>

namespace KTBNetworkErrorCode
{
// Types 3 and 4: the server failed or throttled; worth another attempt.
inline constexpr int Retryable = -1;
// The request never left: its URL is not an absolute http or https URL (no service configured).
inline constexpr int NoServiceURL = -2;
inline constexpr int NoTask = -3;
// Type 1, or a success of the wrong content type.
inline constexpr int PermanentFailure = -4;
// Type 2.
inline constexpr int ClientFailure = -5;
inline constexpr int RetriesExhausted = -6;
} // namespace KTBNetworkErrorCode

class KTBNetworkResponseHandler
{
public:
    enum ResponseType {
        Success = 0,
        PermanentFailure = 1,
        ClientFailure = 2,
        ServerFailure = 3,
        Throttled = 4,
    };

    static const QString errorDomain;
    // Delay when the server names none (or an unreadable one), and the longest delay honoured.
    static constexpr double defaultRetryValue = 300.0;
    static constexpr double maximumRetryValue = 3600.0;

    static QByteArray headerForResponse(const MSHHTTPURLResponse &response, const QByteArray &key);
    // Seconds to wait before the next attempt: "Retry-After" as a number of seconds (fractions
    // allowed) or as an HTTP-date; 300 when absent, negative or unreadable; at most 3600.
    static double retryValueForResponse(const MSHHTTPURLResponse &response);
    static QByteArray requestIdForResponse(const MSHHTTPURLResponse &response);
    // Type by status code; a response without one (null or status 0) is a permanent failure.
    static ResponseType responseTypeForStatus(int statusCode);
    static void clientResponseType(const MSHHTTPURLResponse *response,
                                   const std::function<void(ResponseType, int)> &handler);
    static MSHErrorResult errorForResponse(const MSHHTTPURLResponse &response, ResponseType type,
                                           int status);
    // True without an "Accept" header; otherwise the media type must equal it (case ignored) and,
    // when both name a charset, the charsets must match too.
    static bool contentTypeForResponse(const MSHHTTPURLResponse &response,
                                       const MSHURLRequest &request);
    // retry, error: a transport error is handed on as it is and never retried.
    static void
    handleCompletedResponse(const MSHHTTPURLResponse *response,
                            const MSHURLRequest &originalRequest, const MSHErrorResult &error,
                            const std::function<void(bool, const MSHErrorResult &)> &block);

    // Whether the URL can reach a service at all: absolute, http or https, with a host.
    static bool isServiceURL(const QUrl &url);
    // The error of a request refused for its URL; logged under the prefix.
    static MSHError noServiceURLError(const QUrl &url, const char *logPrefix);
};
