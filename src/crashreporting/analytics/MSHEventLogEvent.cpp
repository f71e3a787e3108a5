#include "crashreporting/analytics/MSHEventLogEvent.h"

#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHLog.h"
#include "foundation/TWClock.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

MSHEventLogEvent::MSHEventLogEvent(uint64_t priority, uint64_t timestamp, const QString &key,
                                   const std::optional<QByteArray> &payload)
    : m_priority(priority), m_timestamp(timestamp), m_key(key), m_payload(payload)
{
}

QByteArray MSHEventLogEvent::eventData() const
{
    QByteArray line = QByteArray::number(qulonglong(m_timestamp));
    line += '\t';
    line += m_key.toUtf8();
    if (m_payload) {
        line += '\t';
        line += QByteArray::number(qlonglong(m_payload->size()));
        line += '\t';
        line += *m_payload;
    }
    line += '\n';
    return line;
}

bool MSHEventLogEvent::operator==(const MSHEventLogEvent &other) const
{
    return m_priority == other.m_priority && m_timestamp == other.m_timestamp &&
           m_key == other.m_key && m_payload == other.m_payload;
}

size_t MSHEventLogEvent::hash() const
{
    const size_t payloadHash = m_payload ? qHash(*m_payload) : 0;
    return size_t(m_priority) + 2 * size_t(m_timestamp) + 4 * qHash(m_key) + 8 * payloadHash;
}

std::optional<MSHEventLogEvent>
MSHEventLogEvent::analyticsEvent(const QString &key, uint64_t priority, uint64_t timestamp,
                                 const QString &eventIdentifier, const QVariantMap &payloadValues)
{
    QJsonObject object = QJsonObject::fromVariantMap(payloadValues);
    // A value JSON cannot hold comes back null: such an event is not written.
    for (auto it = payloadValues.cbegin(); it != payloadValues.cend(); ++it) {
        if (it.value().isValid() && !it.value().isNull() && object.value(it.key()).isNull()) {
            if (KTBDebugEnabled())
                MSHLog("[Mishap:Pulse]",
                       QStringLiteral("MSHAnalyticsEvent unable to JSON-encode "
                                      "payloadValueDictionary {error: value of %1}")
                           .arg(it.key()));
            return std::nullopt;
        }
    }
    object.insert(QStringLiteral("eventId"), eventIdentifier);
    return MSHEventLogEvent(priority, timestamp, key,
                            QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<MSHEventLogEvent> MSHEventLogEvent::applicationInstalledEvent(uint64_t timestamp,
                                                                            const QString &id)
{
    return analyticsEvent(QStringLiteral("app_installed"), 0, timestamp, id);
}

std::optional<MSHEventLogEvent> MSHEventLogEvent::applicationLaunchedEvent(uint64_t timestamp,
                                                                           const QString &id)
{
    return analyticsEvent(QStringLiteral("app_launched"), 1, timestamp, id);
}

std::optional<MSHEventLogEvent> MSHEventLogEvent::applicationCrashedEvent(uint64_t timestamp,
                                                                          const QString &id)
{
    return analyticsEvent(QStringLiteral("app_crashed"), 1, timestamp, id);
}

std::optional<MSHEventLogEvent>
MSHEventLogEvent::applicationLifecycleEvent(Lifecycle notification, uint64_t timestamp,
                                            const QString &id, bool highPriorityEventOnBackground)
{
    switch (notification) {
    case Lifecycle::WillTerminate:
        return analyticsEvent(QStringLiteral("app_terminated"), 1, timestamp, id);
    case Lifecycle::WillResignActive:
        return analyticsEvent(QStringLiteral("app_became_inactive"),
                              highPriorityEventOnBackground ? 0 : 1, timestamp, id);
    case Lifecycle::DidBecomeActive:
        return analyticsEvent(QStringLiteral("app_became_active"), 0, timestamp, id);
    }
    return std::nullopt;
}

std::optional<MSHEventLogEvent> MSHEventLogEvent::customEvent(const QString &name,
                                                              const QVariantMap &attributes,
                                                              uint64_t timestamp, const QString &id)
{
    if (name.isNull()) {
        MSHLog("[Mishap]", QStringLiteral("Cannot init CustomEvent with a nil name"));
        return std::nullopt;
    }
    QVariantMap values;
    values.insert(QStringLiteral("custom_type"), name);
    values.insert(QStringLiteral("custom_attributes"), attributes);
    return analyticsEvent(QStringLiteral("custom"), 2, timestamp, id, values);
}

MSHEventLogEvent MSHEventLogEvent::metadataEvent(uint64_t priority, uint64_t timestamp,
                                                 const QByteArray &metadataJSONData)
{
    return MSHEventLogEvent(priority, timestamp, QStringLiteral("metadata"), metadataJSONData);
}

QString MSHAnalyticsGenerateIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

uint64_t MSHAnalyticsGenerateTimestamp()
{
    const qint64 milliseconds = TWClock::now().toMSecsSinceEpoch();
    return milliseconds < 0 ? 0 : uint64_t(milliseconds);
}
