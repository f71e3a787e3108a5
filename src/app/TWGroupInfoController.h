#pragma once
// Edits a source-list group's name and tint: as a sheet for a new group
// (mode New) or inside the information popover for a copy of a listed one
// (mode Existing). The document adds or stores the result.

#include "app/TWRecordEditors.h"

#include "model/TWGroup.h"

#include <QColor>

class QLineEdit;
class QPushButton;

class TWGroupInfoController final : public TWInfoEditor
{
    Q_OBJECT
public:
    explicit TWGroupInfoController(QObject *parent = nullptr);
    ~TWGroupInfoController() override;

    TWItemPtr item() const override { return m_group; }
    void setItem(const TWItemPtr &item) override
    {
        m_group = std::dynamic_pointer_cast<TWGroup>(item);
    }
    const TWGroupPtr &group() const { return m_group; }
    void setGroup(const TWGroupPtr &group) { m_group = group; }

    void reset() override;
    void update() override;
    // Tag 1 saves, any other cancels.
    void doSave(int tag);

    // The tint chosen; invalid for no colour.
    const QColor &colour() const { return m_colour; }
    void setColour(const QColor &colour);
    // Opens the colour dialog (with alpha) on the current tint.
    void chooseColour();

    QLineEdit *nameTextField() const { return m_name; }
    QPushButton *colourButton() const { return m_colourButton; }
    QPushButton *noColourButton() const { return m_noColourButton; }

private:
    void build() override;

    TWGroupPtr m_group;
    QLineEdit *m_name = nullptr;
    QPushButton *m_colourButton = nullptr;
    QPushButton *m_noColourButton = nullptr;
    QColor m_colour;
};
