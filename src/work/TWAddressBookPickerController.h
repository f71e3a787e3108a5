#pragma once
// Lets the user choose one person of the address book (the vCard files of
// the contacts folder, and files opened here) in an application-modal
// window with a search field and a list, and hands the person to its
// delegate. Its class operations turn a person into the texts the contact
// editors put into their fields.

#include "platform/TWAddressBook.h"

#include <QObject>
#include <QPointer>

#include <optional>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class TWAddressBookPeopleModel;

class TWAddressBookPickerControllerDelegate
{
public:
    virtual ~TWAddressBookPickerControllerDelegate() = default;
    // The chosen person, or none when the user cancelled or chose nobody.
    virtual void addressBookPickerControllerDidClose(const TWPersonPtr &person) = 0;
};

class TWAddressBookPickerController final : public QObject
{
    Q_OBJECT
public:
    explicit TWAddressBookPickerController(QObject *parent = nullptr);
    ~TWAddressBookPickerController() override;

    const QString &title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    void setDelegate(TWAddressBookPickerControllerDelegate *delegate) { m_delegate = delegate; }

    // The window, built on first use.
    QDialog *window();
    // Before each showing: the title, an empty search, the contacts folder
    // read again.
    void update();
    // Shows the window application-modal, centred on the screen, above
    // `owner`'s window; returns at once (the delegate hears the outcome).
    void showWindow(QWidget *owner);

    // A double click on a person: closes with that person.
    void selectPerson();
    // Tag 1 closes with the selected person, any other tag with none.
    void doSave(int tag);
    // Closes the window; the delegate gets the selected person (select) or none.
    void closeSelectPerson(bool select);
    // Asks for a vCard file and adds its people.
    void doOpenFile();
    // Adds the people of a vCard file and selects the first; false (with a
    // message on the window) when the file cannot be read.
    bool openFile(const QString &path);

    TWPersonPtr selectedPerson() const;
    // The people the list shows (the search applied), in order.
    TWPersonList shownPeople() const;
    // Selects the shown person at `row` (none for -1).
    void selectRow(int row);

    QLineEdit *searchField() const { return m_search; }
    QTreeView *peopleView() const { return m_list; }
    QLabel *statusLabel() const { return m_status; }
    QPushButton *openButton() const { return m_open; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

    // The organisation when there is one, else first and last name (either
    // alone when the other is missing), else the empty text.
    static QString personName(const TWPerson *person);
    // The first postal address on one line: street, city, state, ZIP code
    // and country, the present ones joined by ", ".
    static QString personAddress(const TWPerson *person);
    // The first value of a labelled property (labels none), or the first in
    // the person's order whose label is one of `labels`; else the empty text.
    static QString multiValueStringWithPerson(const TWPerson *person, TWPersonProperty property,
                                              const std::optional<QStringList> &labels);
    // What the list shows for a person: names with the organisation, or the
    // organisation, or the first e-mail address or phone number.
    static QString displayName(const TWPerson &person);
    // Whether the search text matches the person's names, organisation,
    // e-mail addresses or phone numbers (word by word, the last word begun).
    static bool personMatches(const TWPerson &person, const QString &search);
    // The words the search looks at.
    static QString searchText(const TWPerson &person);

protected:
    // Up and Down in the search field move through the list, so that Return
    // chooses without leaving the keyboard.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void reloadList();
    void updateStatus();

    QString m_title;
    TWAddressBookPickerControllerDelegate *m_delegate = nullptr;
    QPointer<QDialog> m_window;
    QLineEdit *m_search = nullptr;
    QTreeView *m_list = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_open = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
    TWAddressBookPeopleModel *m_model = nullptr;

    TWAddressBook::FolderResult m_folder;
    // People of the files opened here; kept while the picker lives.
    TWPersonList m_opened;
    // The person the window closes with, handed over when it has closed.
    TWPersonPtr m_chosen;
};
