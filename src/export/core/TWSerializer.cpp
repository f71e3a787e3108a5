#include "export/core/TWSerializer.h"

#include "model/TWGraph.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWSaveFile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace
{

const QString kExportErrorDomain = QStringLiteral("Tallyworth Export Error");

} // namespace

QByteArray TWSerializer::data() const
{
    const QString output = text();
    if (output.isNull())
        return QByteArray();
    QByteArray bytes = output.toUtf8();
    // An empty text still gives data (empty, not null).
    if (bytes.isNull())
        bytes = QByteArray("");
    return bytes;
}

QImage TWSerializer::cellGraphImage(const TWCell &cell)
{
    if (cell.type() != TWCellTypeGraph)
        return QImage();
    // A report's graph cell holds the graph itself; other writers' cells a
    // plain image.
    if (cell.rawValue().metaType() == QMetaType::fromType<TWGraphPtr>()) {
        const TWGraphPtr graph = cell.rawValue().value<TWGraphPtr>();
        return graph ? graph->graphImage() : QImage();
    }
    if (cell.rawValue().metaType().id() != QMetaType::QImage)
        return QImage();
    return cell.rawValue().value<QImage>();
}

TWErrorResult TWSerializer::writeData(const QByteArray &data, const QString &path)
{
    const auto failure = [&path](const QString &reason) {
        return TWError(
            kExportErrorDomain, -1,
            TWLocalized("exportWriteDescription").arg(QFileInfo(path).fileName(), reason));
    };
    if (data.isNull())
        return failure(TWLocalized("exportNothingReason"));
    // A folder in the way is never replaced.
    if (QFileInfo(path).isDir())
        return failure(TWLocalized("exportFolderReason"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    if (const TWErrorResult error = twCommitSaveFile(file, file.write(data) == data.size()))
        return failure(error->localizedDescription());
    return std::nullopt;
}

QList<TWTransactionList>
TWSerializer::transactionsByAccount(QHash<qint32, qsizetype> &indexOf,
                                    const std::function<void(qint32)> &other) const
{
    const TWAccountList &exported = accounts();
    for (qsizetype index = 0; index < exported.size(); ++index) {
        if (exported.at(index) && !indexOf.contains(exported.at(index)->identifier()))
            indexOf.insert(exported.at(index)->identifier(), index);
    }
    QList<TWTransactionList> listed(exported.size());
    const auto sortIn = [&](qint32 accountIdentifier, const TWTransactionPtr &transaction) {
        const auto found = indexOf.constFind(accountIdentifier);
        if (found != indexOf.constEnd()) {
            TWTransactionList &list = listed[*found];
            // Once per account, even with two lines in it.
            if (list.isEmpty() || list.constLast() != transaction)
                list.append(transaction);
        } else if (other) {
            other(accountIdentifier);
        }
    };
    for (const TWTransactionPtr &transaction : transactions()) {
        if (!transaction)
            continue;
        if (transaction->hasSplit()) {
            for (const TWSplitPtr &split : transaction->splits()) {
                if (split)
                    sortIn(split->accountIdentifier(), transaction);
            }
        } else {
            sortIn(transaction->account1Identifier(), transaction);
            sortIn(transaction->account2Identifier(), transaction);
        }
    }
    return listed;
}
