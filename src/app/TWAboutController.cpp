#include "app/TWAboutController.h"

#include "app/TWAlert.h"
#include "app/TWAppLinks.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWSaveFile.h"
#include "model/TWPreferences.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#ifndef TW_BUILD_NUMBER
#define TW_BUILD_NUMBER "1"
#endif

namespace
{

QString &storedBuildNumber()
{
    static QString number = QStringLiteral(TW_BUILD_NUMBER);
    return number;
}

// A flat button drawn like a link: underlined, in the link colour.
QPushButton *linkButton(const QString &title, QWidget *parent, const QFont &font)
{
    auto *button = new QPushButton(title, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    QFont underlined = font;
    underlined.setUnderline(true);
    button->setFont(underlined);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, QColor(0, 0, 255));
    button->setPalette(palette);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: #0000ff; border: none; padding: 2px; }"));
    return button;
}

} // namespace

TWAboutController::TWAboutController(QObject *parent) : QObject(parent)
{
    auto *window = new QWidget(nullptr, Qt::Dialog);
    window->setObjectName(QStringLiteral("TWAbout"));
    window->setWindowTitle(TWLocalized("aboutTitle").arg(QCoreApplication::applicationName()));
    window->setAttribute(Qt::WA_DeleteOnClose, false);

    auto *icon = new QLabel(window);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/tallyworth.png")).pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);

    m_nameLabel = new QLabel(QCoreApplication::applicationName(), window);
    QFont nameFont = m_nameLabel->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    m_nameLabel->setFont(nameFont);
    m_nameLabel->setAlignment(Qt::AlignCenter);
    m_nameLabel->setTextFormat(Qt::PlainText);

    m_versionLabel = new QLabel(versionText(), window);
    m_versionLabel->setAlignment(Qt::AlignCenter);
    m_versionLabel->setTextFormat(Qt::PlainText);

    m_contactButton = new QPushButton(window);
    const QFont linkFont = m_contactButton->font();
    delete m_contactButton;
    m_contactButton = linkButton(TWLocalized("aboutContact"), window, linkFont);
    m_supportButton = linkButton(TWLocalized("aboutSupport"), window, linkFont);
    m_websiteButton = linkButton(TWLocalized("aboutWebsite"), window, linkFont);
    connect(m_contactButton, &QPushButton::clicked, this, [this] { doContact(); });
    connect(m_supportButton, &QPushButton::clicked, this, [this] { doSupport(); });
    connect(m_websiteButton, &QPushButton::clicked, this, [this] { doWebsite(); });

    auto *acknowledgements = new QPushButton(TWLocalized("acknowledgements"), window);
    auto *license = new QPushButton(TWLocalized("license"), window);
    m_acknowledgementsButton = acknowledgements;
    m_licenseButton = license;
    connect(acknowledgements, &QPushButton::clicked, this, [this] { doAcknowledgements(); });
    connect(license, &QPushButton::clicked, this, [this] { doLicense(); });

    auto *links = new QHBoxLayout;
    links->addStretch();
    links->addWidget(m_contactButton);
    links->addWidget(m_supportButton);
    links->addWidget(m_websiteButton);
    links->addStretch();
    auto *documents = new QHBoxLayout;
    documents->addStretch();
    documents->addWidget(acknowledgements);
    documents->addWidget(license);
    documents->addStretch();

    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(32, 24, 32, 20);
    layout->setSpacing(8);
    layout->addWidget(icon);
    layout->addWidget(m_nameLabel);
    layout->addWidget(m_versionLabel);
    layout->addSpacing(8);
    layout->addLayout(links);
    layout->addSpacing(8);
    layout->addLayout(documents);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_window = window;
    window->adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

TWAboutController::~TWAboutController()
{
    delete m_window;
}

void TWAboutController::showWindow()
{
    // A link whose address is not configured is shown but off.
    m_contactButton->setEnabled(!TWAppLinks::contactAddress().isEmpty());
    m_supportButton->setEnabled(!TWAppLinks::supportAddress().isEmpty());
    m_websiteButton->setEnabled(!TWAppLinks::website().isEmpty());
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

QString TWAboutController::versionText()
{
    return QStringLiteral("%1 %2 (%3)")
        .arg(TWLocalized("version"), QCoreApplication::applicationVersion(), buildNumber());
}

QString TWAboutController::buildNumber()
{
    return storedBuildNumber();
}

void TWAboutController::setBuildNumber(const QString &number)
{
    storedBuildNumber() = number;
}

void TWAboutController::doContact()
{
    if (TWAppLinks::contactAddress().isEmpty())
        return;
    twOpenURL(
        TWApplicationDelegate::mailLink(TWAppLinks::contactAddress(), TWLocalized("tallyworth")));
}

void TWAboutController::doSupport()
{
    if (TWAppLinks::supportAddress().isEmpty())
        return;
    twOpenURL(TWApplicationDelegate::mailLink(TWAppLinks::supportAddress(),
                                              TWLocalized("tallyworthSupport")));
}

void TWAboutController::doWebsite()
{
    if (!TWAppLinks::website().isEmpty())
        twOpenURL(TWAppLinks::website());
}

void TWAboutController::doAcknowledgements()
{
    openDocument(QStringLiteral("Acknowledgements"));
}

void TWAboutController::doLicense()
{
    openDocument(QStringLiteral("License"));
}

void TWAboutController::openDocument(const QString &name)
{
    const QString folder = TWPreferences::preferences().temporaryDirectoryURL();
    if (folder.isEmpty())
        return;
    QFile resource(QStringLiteral(":/about/%1.pdf").arg(name));
    if (!resource.open(QIODevice::ReadOnly))
        return;
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".pdf");
    QSaveFile file(path);
    const QByteArray bytes = resource.readAll();
    if (!file.open(QIODevice::WriteOnly) ||
        twCommitSaveFile(file, file.write(bytes) == bytes.size()))
        return;
    twOpenURL(QUrl::fromLocalFile(path));
}
