#pragma once
// One report folder seen from the upload pipeline: its identifier, where its record files lie,
// whether it holds anything worth sending and what its metadata says. The metadata is read once,
// on first use, and kept (a later move of the folder does not read it again).

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class MSHInternalReport
{
public:
    static std::shared_ptr<MSHInternalReport> reportWithPath(const QString &path);
    // Takes the identifier from the folder's metadata ("session_id"); none when it has none.
    explicit MSHInternalReport(const QString &path);
    // The running process's own folder, whose identifier is known.
    MSHInternalReport(const QString &path, const QString &executionIdentifier);

    QString identifier() const { return m_identifier; }
    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }
    QString directoryName() const;
    QString pathForContentFile(const QString &fileName) const;
    QString metadataPath() const;
    QString binaryImagePath() const;

    // Whether the folder holds a crash record or logged errors that read as a record.
    bool needsToBeSubmitted() const;
    // The exception, kernel-exception and signal records, in that order, whether or not present.
    void
    enumerateSymbolicatableFilesInContent(const std::function<void(const QString &)> &block) const;

    // The record lines of the file; none when it has none.
    static std::optional<QList<QJsonObject>> readMetadataAtPath(const QString &path);
    const QList<QJsonObject> &metadataSections() const;

    // Null strings (and an empty date) where the metadata lacks the file, section or key.
    QString APIKey() const;
    std::optional<QDateTime> dateCreated() const;
    QString OSVersion() const;
    QString OSBuildVersion() const;
    QString bundleVersion() const;
    QString bundleShortVersionString() const;
    QVariantMap customKeys() const { return {}; }

private:
    QString metadataString(int section, const QString &name, const QString &key) const;

    QString m_identifier;
    QString m_path;
    mutable std::optional<QList<QJsonObject>> m_metadataSections;
};
