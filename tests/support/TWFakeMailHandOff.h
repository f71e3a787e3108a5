#pragma once
// Stands in for the mail program while it is alive: records the files it was
// handed (and whether each existed then) and answers as told.

#include "platform/TWMailHandOff.h"

#include <QFileInfo>
#include <QStringList>

class TWFakeMailHandOff final : public TWMailHandOff
{
public:
    TWFakeMailHandOff() { setMailHandOff(this); }
    ~TWFakeMailHandOff() override { setMailHandOff(nullptr); }
    TWFakeMailHandOff(const TWFakeMailHandOff &) = delete;
    TWFakeMailHandOff &operator=(const TWFakeMailHandOff &) = delete;

    bool mailFile(const QString &path) override
    {
        files.append(path);
        existed.append(QFileInfo(path).isFile());
        return answer;
    }

    bool answer = true;
    QStringList files;
    QList<bool> existed;
};
