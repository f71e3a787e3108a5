#pragma once
// Small controls every window uses: buttons that stand for an object, an
// image well that picks its image from a file, a plain coloured background,
// a rounded progress bar and a label whose text is double-underlined.
//
// Qt already leaves hidden and disabled widgets out of the Tab chain; a
// disabled widget that still takes focus (allowed by the original controls)
// has no Qt equivalent, so a disabled button here takes no focus at all.

#include "foundation/TWError.h"

#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVariant>

class TWButton final : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;
};

class TWPopUpButton final : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    // The object the button stands for.
    const QVariant &representedObject() const { return m_representedObject; }
    void setRepresentedObject(const QVariant &object) { m_representedObject = object; }
    // The tag the actions dispatch on.
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    // The item data (tag) of the current item; 0 without one.
    int selectedTag() const { return currentIndex() >= 0 ? currentData().toInt() : 0; }
    // Selects the first item whose data is `tag`; false when none has it.
    bool selectItemWithTag(int tag);

private:
    QVariant m_representedObject;
    int m_tag = 0;
};

// An image well: shows its image scaled down, or its placeholder while empty;
// a click released inside asks for an image file. Nothing is sent; the owner
// reads `image()` later.
class TWSelectImageView final : public QWidget
{
    Q_OBJECT
public:
    explicit TWSelectImageView(QWidget *parent = nullptr);

    const QImage &image() const { return m_image; }
    void setImage(const QImage &image);
    const QString &placeholder() const { return m_placeholder; }
    void setPlaceholder(const QString &placeholder);

    // Reads an image file within the memory cap; on failure the image stays
    // and the error says the file is not an image.
    TWErrorResult loadImageFile(const QString &path);
    // The open dialog while it shows.
    QFileDialog *openDialog() const { return m_dialog; }

    // Images larger than this many pixels, or needing more memory than the
    // allocation cap (in megabytes), are refused.
    static constexpr qint64 kMaximumPixels = 40'000'000;
    static constexpr int kAllocationLimitMB = 256;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void choose();

    QImage m_image;
    QString m_placeholder;
    QPointer<QFileDialog> m_dialog;
};

class TWBackgroundView final : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    const QColor &backgroundColour() const { return m_colour; }
    void setBackgroundColour(const QColor &colour)
    {
        m_colour = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_colour;
};

// A rounded bar filled to `progress` (0.0 to 1.0) in `colour` while its
// window is active (the palette's highlight when no colour is set), grey
// otherwise, over a grey track.
class TWProgress final : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    float progress() const { return m_progress; }
    void setProgress(float progress)
    {
        m_progress = progress;
        update();
    }
    const QColor &colour() const { return m_colour; }
    void setColour(const QColor &colour)
    {
        m_colour = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float m_progress = 0.0f;
    QColor m_colour;
};

// An amount in a narrow place: shown whole where it fits, otherwise cut at its
// end with an ellipsis and whole in its tool tip. A right-aligned plain label
// would lose the amount's first digits with no sign of it.
class TWAmountLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    void setAmountText(const QString &text);
    const QString &amountText() const { return m_amount; }

    // As wide as the whole amount; it may shrink to the ellipsis.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateShown();

    QString m_amount;
};

// An amount label whose text carries two underlines (fonts have only one).
class TWDoubleUnderlineLabel final : public TWAmountLabel
{
    Q_OBJECT
public:
    using TWAmountLabel::TWAmountLabel;

protected:
    void paintEvent(QPaintEvent *event) override;
};
