#pragma once
// Finds the clients and projects a task or expense file names (an exact name
// first, then the word search, each text once per run), and what the task and
// expense imports share on top of that: the project of a row, and the clients
// and projects a file names that the business lacks.

#include "import/core/TWImportNames.h"
#include "import/core/TWImportWarnings.h"
#include "model/TWClient.h"
#include "model/TWProject.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class TWBusiness;

// A project the business lacks and the client name given with it.
struct TWImportMissingProject {
    QString project;
    QString client;
    bool operator==(const TWImportMissingProject &) const = default;
};
using TWImportMissingProjects = QList<TWImportMissingProject>;

class TWImportProjects
{
public:
    explicit TWImportProjects(const TWBusiness &business);

    TWClientPtr client(const QString &text);
    // Among the client's projects, or among every project without a client.
    TWProjectPtr project(const QString &text, const TWClientPtr &client);
    // Among the projects that belong to no client.
    TWProjectPtr unassignedProject(const QString &text);

    // The project of a row: the client and project texts found (missing ones
    // reported), else the default project, else the business's first project,
    // else none.
    TWProjectPtr rowProject(const QString &clientText, const QString &projectText,
                            const TWProjectPtr &defaultProject, TWImportWarningList &missingClients,
                            TWImportWarningList &missingProjects);

    // The clients and projects the file names and the business lacks, in
    // order of first appearance, through the last client (-2) and project
    // (-3) columns below the first row's length. `skipEmpty`: rows with an
    // empty client or project text give nothing (tasks).
    void missing(const QList<QStringList> &rows, const QList<qint32> &codes, bool skipEmpty,
                 QStringList *clients, TWImportMissingProjects *projects);

private:
    TWImportNames<TWProject> &projectsOf(qint32 clientIdentifier);

    const TWBusiness &m_business;
    TWImportNames<TWClient> m_clients;
    TWImportNames<TWProject> m_allProjects;
    QHash<qint32, TWImportNames<TWProject>> m_clientProjects;
};
