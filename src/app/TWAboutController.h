#pragma once
// The About window: the application's name and version, links to write to the maker, to its
// support and to its web site, and the acknowledgements and licence documents. Made once by
// the application delegate and shown again on later About commands.

#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

class TWAboutController final : public QObject
{
    Q_OBJECT
public:
    explicit TWAboutController(QObject *parent = nullptr);
    ~TWAboutController() override;

    QWidget *window() const { return m_window; }
    void showWindow();

    // "Version 2.1 (345)": the word, the running version and the build number.
    static QString versionText();
    // The build number the version line shows (set by the build).
    static QString buildNumber();
    static void setBuildNumber(const QString &number);

    void doContact();
    void doSupport();
    void doWebsite();
    void doAcknowledgements();
    void doLicense();

    QLabel *nameLabel() const { return m_nameLabel; }
    QLabel *versionLabel() const { return m_versionLabel; }
    QPushButton *contactButton() const { return m_contactButton; }
    QPushButton *supportButton() const { return m_supportButton; }
    QPushButton *websiteButton() const { return m_websiteButton; }
    QPushButton *acknowledgementsButton() const { return m_acknowledgementsButton; }
    QPushButton *licenseButton() const { return m_licenseButton; }

private:
    // Copies a document out of the resources into the temporary folder and opens it.
    void openDocument(const QString &name);

    QPointer<QWidget> m_window;
    QLabel *m_nameLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    QPushButton *m_contactButton = nullptr;
    QPushButton *m_supportButton = nullptr;
    QPushButton *m_websiteButton = nullptr;
    QPushButton *m_acknowledgementsButton = nullptr;
    QPushButton *m_licenseButton = nullptr;
};
