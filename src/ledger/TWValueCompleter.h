#pragma once
// Completion of the transaction editor's text fields from the business's
// remembered values: which fields complete, which names a typed text offers,
// and the popup that offers them without preselecting one.

#include "model/TWField.h"

#include <QAbstractListModel>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QCompleter;
class QLineEdit;

// The payee, the description and custom text fields complete; nothing else.
bool twFieldCompletes(const TWField &field);
// The names (in their order) that begin with `text` in any letter case; none
// while `text` is shorter than four characters.
QStringList twValueCompletions(const QStringList &names, const QString &text);

// The names offered for one text field, as a list model.
class TWValueListModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void setNames(const QStringList &names);
    const QStringList &names() const { return m_names; }
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_names;
};

class TWValueCompleter final : public QObject
{
    Q_OBJECT
public:
    explicit TWValueCompleter(QObject *parent = nullptr);
    // Shows `names` under the text field (hides the popup when empty); no
    // entry is selected until the user picks one.
    void offer(QLineEdit *textField, const QStringList &names);
    void hide();
    QStringList offered() const { return m_model->names(); }
    QCompleter *completer() const { return m_completer; }

private:
    TWValueListModel *m_model;
    QCompleter *m_completer;
    QPointer<QLineEdit> m_textField;
};
