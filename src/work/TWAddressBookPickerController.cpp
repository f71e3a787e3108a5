#include "work/TWAddressBookPickerController.h"

#include "app/TWAlert.h"
#include "app/TWPackageFileDialog.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <utility>

// The people of the list, filtered by the search: name and e-mail columns.
class TWAddressBookPeopleModel final : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setPeople(TWPersonList people)
    {
        // Sorted once by what the list shows; the search only filters.
        QList<Entry> keyed;
        keyed.reserve(people.size());
        for (TWPersonPtr &person : people) {
            QString name = TWAddressBookPickerController::displayName(*person);
            QString text = TWAddressBookPickerController::searchText(*person);
            keyed.append({std::move(name), std::move(text), std::move(person)});
        }
        std::stable_sort(keyed.begin(), keyed.end(), [](const Entry &a, const Entry &b) {
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        });
        m_all = std::move(keyed);
        filter(m_search);
    }

    void filter(const QString &search)
    {
        beginResetModel();
        m_search = search;
        m_shown.clear();
        const bool all = search.trimmed().isEmpty();
        for (const Entry &entry : std::as_const(m_all))
            if (all || TWStringAdditions::searchString(entry.text, search, true))
                m_shown.append(entry);
        endResetModel();
    }

    TWPersonPtr person(int row) const
    {
        return row >= 0 && row < m_shown.size() ? m_shown.at(row).person : nullptr;
    }
    int rowOf(const TWPersonPtr &person) const
    {
        for (int row = 0; row < m_shown.size(); ++row)
            if (m_shown.at(row).person == person)
                return row;
        return -1;
    }
    TWPersonList shown() const
    {
        TWPersonList list;
        list.reserve(m_shown.size());
        for (const Entry &entry : m_shown)
            list.append(entry.person);
        return list;
    }
    int total() const { return int(m_all.size()); }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_shown.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const TWPersonPtr entry = person(index.row());
        if (!entry || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        if (index.column() == 0)
            return m_shown.at(index.row()).name;
        return TWAddressBookPickerController::multiValueStringWithPerson(
            entry.get(), TWPersonProperty::Email, std::nullopt);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return TWLocalized(section == 0 ? "name" : "contactEmail");
    }

private:
    struct Entry {
        QString name; // as listed
        QString text; // as searched
        TWPersonPtr person;
    };
    QList<Entry> m_all;
    QList<Entry> m_shown;
    QString m_search;
};

TWAddressBookPickerController::TWAddressBookPickerController(QObject *parent) : QObject(parent)
{
}

TWAddressBookPickerController::~TWAddressBookPickerController()
{
    delete m_window;
}

QDialog *TWAddressBookPickerController::window()
{
    if (!m_window)
        build();
    return m_window;
}

void TWAddressBookPickerController::build()
{
    auto *dialog = new QDialog();
    m_window = dialog;
    dialog->setObjectName(QStringLiteral("TWAddressBookPicker"));
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->resize(520, 440);

    m_search = new QLineEdit(dialog);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(TWLocalized("addressBookSearch"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    connect(m_search, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_model->filter(text); });

    // The window goes with the window it was shown over; a new one gets a
    // new model.
    delete m_model;
    m_model = new TWAddressBookPeopleModel(this);
    m_list = new QTreeView(dialog);
    m_list->setObjectName(QStringLiteral("peoplePickerView"));
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setStretchLastSection(true);
    m_list->header()->resizeSection(0, 260);
    connect(m_list, &QTreeView::doubleClicked, this, [this] { selectPerson(); });

    m_status = new QLabel(dialog);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_open = new QPushButton(TWLocalized("addressBookOpenFile"), dialog);
    m_open->setObjectName(QStringLiteral("openButton"));
    m_open->setAutoDefault(false);
    m_cancel = new QPushButton(TWLocalized("cancel"), dialog);
    m_cancel->setAutoDefault(false);
    m_save = new QPushButton(TWLocalized("addressBookChoose"), dialog);
    m_save->setDefault(true);
    connect(m_open, &QPushButton::clicked, this, [this] { doOpenFile(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { doSave(0); });
    connect(m_save, &QPushButton::clicked, this, [this] { doSave(1); });

    auto *buttons = new QHBoxLayout();
    buttons->addWidget(m_open);
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    // Escape, the close box and Cancel all end without a person; the
    // delegate hears once the window is gone.
    connect(dialog, &QDialog::finished, this, [this] {
        const TWPersonPtr person = std::exchange(m_chosen, nullptr);
        if (m_delegate)
            m_delegate->addressBookPickerControllerDidClose(person);
    });
}

bool TWAddressBookPickerController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            const QModelIndexList rows = m_list->selectionModel()->selectedRows();
            const int current = rows.isEmpty() ? -1 : rows.constFirst().row();
            const int next = key == Qt::Key_Down ? current + 1 : current - 1;
            if (next >= 0 && next < m_model->rowCount())
                selectRow(next);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TWAddressBookPickerController::update()
{
    window();
    m_window->setWindowTitle(m_title);
    m_chosen.reset();
    m_folder = TWAddressBook::readFolder(TWAddressBook::contactsFolder());
    m_search->clear();
    reloadList();
    m_search->setFocus();
}

void TWAddressBookPickerController::reloadList()
{
    TWPersonList people = m_folder.people;
    people.append(m_opened);
    m_model->setPeople(std::move(people));
    updateStatus();
}

void TWAddressBookPickerController::updateStatus()
{
    QStringList lines;
    const QString folder = TWAddressBook::contactsFolder();
    if (m_model->total() == 0)
        lines.append(TWLocalized("addressBookEmpty").arg(folder));
    else
        lines.append(TWLocalized("addressBookSource").arg(folder));
    if (!m_folder.skippedFiles.isEmpty()) {
        // A few names say enough.
        QStringList names = m_folder.skippedFiles.mid(0, 3);
        if (m_folder.skippedFiles.size() > 3)
            names.append(QStringLiteral("…"));
        lines.append(TWLocalized("addressBookSkippedFiles")
                         .arg(m_folder.skippedFiles.size())
                         .arg(names.join(QStringLiteral(", "))));
    }
    if (m_folder.filesBeyondLimit > 0)
        lines.append(TWLocalized("addressBookTooManyFiles").arg(TWAddressBook::maximumFolderFiles));
    m_status->setText(lines.join(u'\n'));
}

void TWAddressBookPickerController::showWindow(QWidget *owner)
{
    window();
    QWidget *parent = owner ? owner->window() : nullptr;
    // Kept above the owner's window without becoming its child: a sheet's
    // window goes when the sheet ends, and the picker stays with its editor.
    m_window->winId();
    if (QWindow *handle = m_window->windowHandle())
        handle->setTransientParent(parent ? parent->windowHandle() : nullptr);
    m_window->setWindowModality(Qt::ApplicationModal);
    QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame(QPoint(), m_window->size());
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void TWAddressBookPickerController::selectPerson()
{
    closeSelectPerson(true);
}

void TWAddressBookPickerController::doSave(int tag)
{
    closeSelectPerson(tag == 1);
}

void TWAddressBookPickerController::closeSelectPerson(bool select)
{
    window();
    m_chosen = select ? selectedPerson() : nullptr;
    m_window->done(select ? QDialog::Accepted : QDialog::Rejected);
}

TWPersonPtr TWAddressBookPickerController::selectedPerson() const
{
    if (!m_list)
        return nullptr;
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : m_model->person(rows.constFirst().row());
}

TWPersonList TWAddressBookPickerController::shownPeople() const
{
    return m_model ? m_model->shown() : TWPersonList();
}

void TWAddressBookPickerController::selectRow(int row)
{
    window();
    if (row < 0 || row >= m_model->rowCount()) {
        m_list->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(row, 0);
    m_list->setCurrentIndex(index);
    m_list->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                QItemSelectionModel::Rows);
    m_list->scrollTo(index);
}

void TWAddressBookPickerController::doOpenFile()
{
    window();
    QPointer<TWAddressBookPickerController> guard(this);
    TWPackageFileDialog *dialog = TWPackageFileDialog::ask(
        TWPackageFileDialog::Purpose::OpenFile, m_window, QString(), QString(),
        {TWLocalized("vCardFiles") + QStringLiteral(" (*.vcf *.vcard)"),
         TWLocalized("allFiles") + QStringLiteral(" (*)")},
        [guard](const QStringList &files) {
            if (guard && !files.isEmpty())
                guard->openFile(files.constFirst());
        });
    dialog->setObjectName(QStringLiteral("openVCardDialog"));
}

bool TWAddressBookPickerController::openFile(const QString &path)
{
    window();
    const TWAddressBook::FileResult result = TWAddressBook::readFile(path);
    if (result.error != TWAddressBook::FileError::None) {
        QString reason;
        switch (result.error) {
        case TWAddressBook::FileError::NotRegularFile:
            reason = TWLocalized("addressBookNotRegularFile");
            break;
        case TWAddressBook::FileError::TooLarge:
            reason = TWLocalized("addressBookFileTooLarge")
                         .arg(TWAddressBook::maximumFileSize / (1024 * 1024));
            break;
        case TWAddressBook::FileError::NoContacts:
            reason = TWLocalized("addressBookNoContacts");
            break;
        default:
            reason = result.reason;
            break;
        }
        twRunAlert(TWAlert{TWLocalized("addressBookFileNotRead").arg(QFileInfo(path).fileName()),
                           reason,
                           {TWLocalized("ok")},
                           m_window});
        return false;
    }
    m_opened.append(result.people);
    m_search->clear();
    reloadList();
    selectRow(m_model->rowOf(result.people.constFirst()));
    return true;
}

// ---- Texts of a person ----

QString TWAddressBookPickerController::personName(const TWPerson *person)
{
    if (!person)
        return {};
    if (!person->organization.isEmpty())
        return person->organization;
    const QString &first = person->firstName;
    const QString &last = person->lastName;
    if (!first.isEmpty() && !last.isEmpty())
        return QStringLiteral("%1 %2").arg(first, last);
    return first.isEmpty() ? last : first;
}

QString TWAddressBookPickerController::personAddress(const TWPerson *person)
{
    QString text;
    text.reserve(250);
    if (!person || person->addresses.isEmpty())
        return text;
    const TWPersonAddress &address = person->addresses.constFirst();
    for (const QString *part :
         {&address.street, &address.city, &address.state, &address.zip, &address.country}) {
        if (part->isEmpty())
            continue;
        if (!text.isEmpty())
            text.append(QStringLiteral(", "));
        text.append(*part);
    }
    return text;
}

QString TWAddressBookPickerController::multiValueStringWithPerson(
    const TWPerson *person, TWPersonProperty property, const std::optional<QStringList> &labels)
{
    if (!person)
        return {};
    const QList<TWPersonLabeledValue> values = person->multiValue(property);
    if (values.isEmpty())
        return {};
    if (!labels)
        return values.constFirst().value;
    // The person's order decides, not the order of the labels asked for.
    for (const TWPersonLabeledValue &entry : values)
        if (labels->contains(entry.label))
            return entry.value;
    return {};
}

QString TWAddressBookPickerController::displayName(const TWPerson &person)
{
    QString names = QStringList{person.firstName, person.lastName}.join(u' ').trimmed();
    if (names.isEmpty())
        names = person.organization;
    else if (!person.organization.isEmpty())
        names = QStringLiteral("%1 (%2)").arg(names, person.organization);
    if (names.isEmpty())
        names = multiValueStringWithPerson(&person, TWPersonProperty::Email, std::nullopt);
    if (names.isEmpty())
        names = multiValueStringWithPerson(&person, TWPersonProperty::Phone, std::nullopt);
    return names.isEmpty() ? TWLocalized("addressBookNoName") : names;
}

QString TWAddressBookPickerController::searchText(const TWPerson &person)
{
    QStringList words{person.firstName, person.lastName, person.organization};
    for (const TWPersonLabeledValue &email : person.emails)
        words.append(QString(email.value).replace(u'@', u' '));
    for (const TWPersonLabeledValue &phone : person.phones)
        words.append(phone.value);
    return words.join(u' ');
}

bool TWAddressBookPickerController::personMatches(const TWPerson &person, const QString &search)
{
    return search.trimmed().isEmpty() ||
           TWStringAdditions::searchString(searchText(person), search, true);
}
