#include "ledger/TWValueCompleter.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>

namespace
{
constexpr qsizetype kMinimumCompletionLength = 4;
constexpr qint32 kPayeeField = -5;
constexpr qint32 kDescriptionField = -6;
} // namespace

bool twFieldCompletes(const TWField &field)
{
    return field.type() == TWFieldTypeText || field.identifier() == kPayeeField ||
           field.identifier() == kDescriptionField;
}

QStringList twValueCompletions(const QStringList &names, const QString &text)
{
    QStringList result;
    if (text.size() < kMinimumCompletionLength)
        return result;
    const QString typed = text.toUpper();
    for (const QString &name : names) {
        if (name.toUpper().startsWith(typed))
            result.append(name);
    }
    return result;
}

void TWValueListModel::setNames(const QStringList &names)
{
    beginResetModel();
    m_names = names;
    endResetModel();
}

int TWValueListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_names.size());
}

QVariant TWValueListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_names.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_names.at(index.row());
    return {};
}

TWValueCompleter::TWValueCompleter(QObject *parent)
    : QObject(parent), m_model(new TWValueListModel(this)), m_completer(new QCompleter(this))
{
    m_completer->setModel(m_model);
    // The list is already filtered; the completer must not filter it again or
    // put one entry into the text by itself.
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this,
            [this](const QString &text) {
                if (m_textField) {
                    // A chosen name is an edit like typing it.
                    m_textField->setText(text);
                    m_textField->setModified(true);
                    emit m_textField->editingFinished();
                }
            });
}

void TWValueCompleter::offer(QLineEdit *textField, const QStringList &names)
{
    m_model->setNames(names);
    m_textField = textField;
    if (names.isEmpty() || !textField) {
        hide();
        return;
    }
    m_completer->setWidget(textField);
    m_completer->complete();
    m_completer->popup()->setCurrentIndex(QModelIndex());
}

void TWValueCompleter::hide()
{
    if (m_completer->popup())
        m_completer->popup()->hide();
}
