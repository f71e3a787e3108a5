#include "app/TWGroupInfoController.h"

#include "app/TWBusinessController.h"
#include "app/TWPopover.h"

#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace
{

// A new group starts in a middle grey.
QColor defaultTint()
{
    return QColor::fromRgbF(0.33f, 0.33f, 0.33f, 1.0f);
}

QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(28, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0, 0, 0, 90));
    if (colour.isValid()) {
        painter.setBrush(colour);
        painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    } else {
        painter.setBrush(Qt::white);
        painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
        painter.setPen(QColor(200, 0, 0));
        painter.drawLine(pixmap.rect().bottomLeft(), pixmap.rect().topRight());
    }
    return QIcon(pixmap);
}

} // namespace

TWGroupInfoController::TWGroupInfoController(QObject *parent) : TWInfoEditor(parent)
{
}

TWGroupInfoController::~TWGroupInfoController()
{
    if (m_view && !m_view->parent())
        delete m_view;
}

void TWGroupInfoController::build()
{
    m_view = new QWidget();
    m_view->setObjectName(QStringLiteral("TWGroupInfo"));
    m_name = new QLineEdit(m_view);
    m_name->setObjectName(QStringLiteral("nameTextField"));
    m_name->setMinimumWidth(220);
    m_colourButton = new QPushButton(m_view);
    m_colourButton->setObjectName(QStringLiteral("tintColorWell"));
    m_colourButton->setIconSize(QSize(28, 14));
    m_colourButton->setToolTip(TWLocalized("groupColour"));
    m_noColourButton = new QPushButton(TWLocalized("groupNoColour"), m_view);
    m_noColourButton->setObjectName(QStringLiteral("noColourButton"));
    connect(m_colourButton, &QPushButton::clicked, this, [this] { chooseColour(); });
    connect(m_noColourButton, &QPushButton::clicked, this, [this] { setColour(QColor()); });

    auto *colourRow = new QHBoxLayout();
    colourRow->addWidget(m_colourButton);
    colourRow->addWidget(m_noColourButton);
    colourRow->addStretch(1);
    auto *form = new QFormLayout();
    form->addRow(TWLocalized("groupName"), m_name);
    form->addRow(TWLocalized("groupColour"), colourRow);

    auto *buttons = addSaveCancelBox([this](int tag) { doSave(tag); });

    auto *layout = new QVBoxLayout(m_view);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TWGroupInfoController::setColour(const QColor &colour)
{
    m_colour = colour;
    if (m_colourButton)
        m_colourButton->setIcon(swatch(colour));
}

void TWGroupInfoController::chooseColour()
{
    auto *dialog = new QColorDialog(m_colour.isValid() ? m_colour : defaultTint(), m_view);
    dialog->setOption(QColorDialog::ShowAlphaChannel, true);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this,
            [this](const QColor &colour) { setColour(colour); });
    dialog->open();
}

void TWGroupInfoController::reset()
{
    if (!m_view)
        return;
    m_group.reset();
    m_popover = nullptr;
    m_name->clear();
    setColour(defaultTint());
    m_name->setFocus();
    m_saved = false;
}

void TWGroupInfoController::update()
{
    if (!m_view)
        return;
    if (!m_group) {
        reset();
        return;
    }
    m_name->setText(m_group->name());
    setColour(m_group->tintColour().isValid() ? m_group->tintColour() : QColor());
    m_name->setFocus();
    m_saved = false;
}

void TWGroupInfoController::doSave(int tag)
{
    if (!m_view)
        return;
    bool made = true;
    if (tag == 1) {
        const QString name = m_name->text().isEmpty() ? QString() : m_name->text();
        // A fully transparent choice counts as no tint.
        const QColor colour = m_colour.isValid() && m_colour.alpha() > 0 ? m_colour : QColor();
        if (m_mode == TWEditorMode::Existing && m_group) {
            m_group->setName(name);
            m_group->setTintColour(colour);
            m_saved = true;
        } else if (m_mode == TWEditorMode::New && m_business) {
            const qint32 identifier = m_business->nextGroupIdentifier();
            made = acceptIdentifier(identifier);
            if (made)
                m_group = TWGroup::groupWithIdentifier(identifier, TWItemType(m_type), name, 0, 0,
                                                       colour, false);
        }
    }
    finishSave(tag, made);
}
