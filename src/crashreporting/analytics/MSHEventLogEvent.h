#pragma once
// One usage-analytics event as it is written to an event file: priority (0 high, 1 medium,
// 2 low), a millisecond timestamp, a key and an optional payload; the makers of the lifecycle,
// custom and metadata events; and the identifiers and timestamps those events carry.

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <optional>

class MSHEventLogEvent
{
public:
    MSHEventLogEvent() = default;
    MSHEventLogEvent(uint64_t priority, uint64_t timestamp, const QString &key,
                     const std::optional<QByteArray> &payload = std::nullopt);

    uint64_t priority() const { return m_priority; }
    uint64_t timestamp() const { return m_timestamp; }
    const QString &key() const { return m_key; }
    const std::optional<QByteArray> &payload() const { return m_payload; }

    // The record line: timestamp, tab, key; with a payload a tab, its byte count, a tab and
    // the bytes; then a line feed.
    QByteArray eventData() const;

    bool operator==(const MSHEventLogEvent &other) const;
    bool operator!=(const MSHEventLogEvent &other) const { return !(*this == other); }
    size_t hash() const;

    // An analytics event: the payload is the compact JSON object of the values plus "eventId".
    // None when the values cannot be written as JSON.
    static std::optional<MSHEventLogEvent> analyticsEvent(const QString &key, uint64_t priority,
                                                          uint64_t timestamp,
                                                          const QString &eventIdentifier,
                                                          const QVariantMap &payloadValues = {});
    static std::optional<MSHEventLogEvent> applicationInstalledEvent(uint64_t timestamp,
                                                                     const QString &identifier);
    static std::optional<MSHEventLogEvent> applicationLaunchedEvent(uint64_t timestamp,
                                                                    const QString &identifier);
    static std::optional<MSHEventLogEvent> applicationCrashedEvent(uint64_t timestamp,
                                                                   const QString &identifier);

    enum class Lifecycle { WillTerminate, WillResignActive, DidBecomeActive };
    static std::optional<MSHEventLogEvent>
    applicationLifecycleEvent(Lifecycle notification, uint64_t timestamp, const QString &identifier,
                              bool highPriorityEventOnBackground);

    // Key "custom", priority 2. A null name gives none.
    static std::optional<MSHEventLogEvent> customEvent(const QString &name,
                                                       const QVariantMap &attributes,
                                                       uint64_t timestamp,
                                                       const QString &identifier);

    // Key "metadata" with the session's metadata JSON as payload.
    static MSHEventLogEvent metadataEvent(uint64_t priority, uint64_t timestamp,
                                          const QByteArray &metadataJSONData);

private:
    uint64_t m_priority = 0;
    uint64_t m_timestamp = 0;
    QString m_key;
    std::optional<QByteArray> m_payload;
};

// A new UUID, upper case with dashes (36 characters).
QString MSHAnalyticsGenerateIdentifier();
// Now (the application clock) in whole milliseconds since 1970.
uint64_t MSHAnalyticsGenerateTimestamp();
