#pragma once
// The check-box tables of the export sheets: row 0 stands for all rows (on,
// off, or mixed), row n for element n - 1 of the sheet's display list. The
// sheet keeps the lists; the model asks it through `Source`. The column table
// reorders its rows by dragging (our own field MIME type; never onto row 0).

#include <QAbstractTableModel>

#include <functional>

class TWExportChoiceModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Source {
        std::function<int()> count;            // elements listed
        std::function<QString(int)> title;     // of element i
        std::function<bool(int)> isChosen;     // element i is in the settings' list
        std::function<int()> chosenCount;      // the settings' list's length
        std::function<void(int, bool)> choose; // appends or removes element i
        std::function<void(bool)> chooseAll;   // empties, then (on) appends all in order
        std::function<bool(int, int)> move;    // display positions; empty: no dragging
    };

    static const QString kFieldMimeType;

    explicit TWExportChoiceModel(Source source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    // The lists changed under the model.
    void reload();

signals:
    // A tick changed the settings' list.
    void choicesChanged();

private:
    Qt::CheckState allState() const;

    Source m_source;
};
