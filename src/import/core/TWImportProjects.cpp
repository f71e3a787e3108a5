#include "import/core/TWImportProjects.h"

#include "model/TWWorkFields.h"
#include "store/TWBusiness.h"

#include <QSet>

TWImportProjects::TWImportProjects(const TWBusiness &business)
    : m_business(business), m_clients(business.clients()), m_allProjects(business.projects())
{
}

TWImportNames<TWProject> &TWImportProjects::projectsOf(qint32 clientIdentifier)
{
    auto found = m_clientProjects.find(clientIdentifier);
    if (found == m_clientProjects.end()) {
        TWProjectList projects;
        for (const TWProjectPtr &project : m_business.projects()) {
            if (project && project->clientIdentifier() == clientIdentifier)
                projects.append(project);
        }
        found = m_clientProjects.insert(clientIdentifier, TWImportNames<TWProject>(projects));
    }
    return *found;
}

TWClientPtr TWImportProjects::client(const QString &text)
{
    return m_clients.find(text);
}

TWProjectPtr TWImportProjects::project(const QString &text, const TWClientPtr &client)
{
    return client ? projectsOf(client->identifier()).find(text) : m_allProjects.find(text);
}

TWProjectPtr TWImportProjects::unassignedProject(const QString &text)
{
    return projectsOf(0).find(text);
}

TWProjectPtr TWImportProjects::rowProject(const QString &clientText, const QString &projectText,
                                          const TWProjectPtr &defaultProject,
                                          TWImportWarningList &missingClients,
                                          TWImportWarningList &missingProjects)
{
    TWClientPtr found;
    if (!clientText.isEmpty()) {
        found = client(clientText);
        if (!found)
            missingClients.add(clientText);
    }
    TWProjectPtr result;
    if (!projectText.isEmpty()) {
        result = project(projectText, found);
        if (!result)
            missingProjects.add(projectText);
    }
    if (!result)
        result = defaultProject;
    if (!result && !m_business.projects().isEmpty())
        result = m_business.projects().first();
    return result;
}

void TWImportProjects::missing(const QList<QStringList> &rows, const QList<qint32> &codes,
                               bool skipEmpty, QStringList *clients,
                               TWImportMissingProjects *projects)
{
    TWImportWarningList missingClients;
    TWImportMissingProjects missingProjects;
    QSet<QString> projectNames;
    qsizetype clientColumn = -1;
    qsizetype projectColumn = -1;
    if (!rows.isEmpty()) {
        const qsizetype n = std::min<qsizetype>(rows.first().size(), codes.size());
        for (qsizetype j = 0; j < n; ++j) {
            if (codes.at(j) == qint32(TWWorkSharedField::Client))
                clientColumn = j;
            else if (codes.at(j) == qint32(TWWorkSharedField::Project))
                projectColumn = j;
        }
    }
    if (clientColumn >= 0 && projectColumn >= 0) {
        for (const QStringList &row : rows) {
            if (clientColumn >= row.size() || projectColumn >= row.size())
                continue;
            const QString &clientText = row.at(clientColumn);
            const QString &projectText = row.at(projectColumn);
            if (skipEmpty && (clientText.isEmpty() || projectText.isEmpty()))
                continue;
            const TWClientPtr found = client(clientText);
            TWProjectPtr project;
            if (found) {
                project = this->project(projectText, found);
            } else {
                missingClients.add(clientText);
                project = unassignedProject(projectText);
            }
            if (!project && !projectNames.contains(projectText)) {
                projectNames.insert(projectText);
                missingProjects.append({projectText, clientText});
            }
        }
    }
    if (clients)
        *clients = missingClients.names();
    if (projects)
        *projects = missingProjects;
}
