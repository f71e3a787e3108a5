#include "app/TWControls.h"

#include "app/TWDocumentPrompts.h"
#include "app/TWPackageFileDialog.h"
#include "app/TWPopover.h"

#include "foundation/TWLocalized.h"
#include "model/TWUtilities.h"

#include <QDialog>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

bool TWPopUpButton::selectItemWithTag(int tag)
{
    for (int i = 0; i < count(); ++i) {
        const QVariant data = itemData(i);
        if (data.isValid() && data.toInt() == tag) {
            setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

// ---- Image well ----

TWSelectImageView::TWSelectImageView(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(32, 32);
}

void TWSelectImageView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

void TWSelectImageView::setPlaceholder(const QString &placeholder)
{
    m_placeholder = placeholder;
    update();
}

TWErrorResult TWSelectImageView::loadImageFile(const QString &path)
{
    const TWError notAnImage(QStringLiteral("Tallyworth Image"), 1, TWLocalized("notAnImage"));
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() ||
        qint64(size.width()) * size.height() > kMaximumPixels)
        return notAnImage;
    // The cap is process-wide in Qt: set it around this one read.
    const int previous = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(kAllocationLimitMB);
    const QImage image = reader.read();
    QImageReader::setAllocationLimit(previous);
    if (image.isNull())
        return notAnImage;
    setImage(image);
    return std::nullopt;
}

void TWSelectImageView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_image.isNull()) {
        const QSizeF fitted = TWUtilities::scaleSize(m_image.size(), size());
        const QRectF target((width() - fitted.width()) / 2.0, (height() - fitted.height()) / 2.0,
                            fitted.width(), fitted.height());
        painter.drawImage(target, m_image);
        return;
    }
    if (m_placeholder.isEmpty())
        return;
    QFont font(QStringLiteral("Helvetica"));
    font.setBold(true);
    font.setPointSizeF(15.0);
    painter.setFont(font);
    painter.setPen(QColor(128, 128, 128));
    const QFontMetricsF metrics(font);
    const QSizeF text(metrics.horizontalAdvance(m_placeholder), metrics.height());
    painter.drawText(QRectF((width() - text.width()) / 2.0, (height() - text.height()) / 2.0,
                            text.width(), text.height()),
                     Qt::AlignCenter, m_placeholder);
}

void TWSelectImageView::mousePressEvent(QMouseEvent *event)
{
    // The press alone does nothing; the release decides.
    event->accept();
}

void TWSelectImageView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        choose();
}

void TWSelectImageView::choose()
{
    if (m_dialog)
        return;
    QWidget *owner = window();
    // Inside a modal dialog the chooser is a sheet on it; elsewhere a window
    // of its own. Inside a popover it would close the popover (and the chosen
    // picture would reach a closed editor): the popover steps aside until the
    // chooser is done, which is a sheet on the popover's window meanwhile.
    const bool sheet = owner && owner->isWindow() && owner->isModal();
    QPointer<TWPopover> popover = qobject_cast<TWPopover *>(owner);
    QWidget *parent = sheet ? owner : popover ? popover->parentWidget() : nullptr;
    QStringList patterns;
    for (const QString &type : TWUtilities::imageFileTypes())
        patterns.append(QStringLiteral("*.") + type);
    if (popover)
        popover->suspend();
    m_dialog = TWPackageFileDialog::ask(
        TWPackageFileDialog::Purpose::OpenFile, parent, QString(), QString(),
        {QStringLiteral("%1 (%2)").arg(TWLocalized("images"), patterns.join(u' '))},
        [view = QPointer<TWSelectImageView>(this), popover](const QStringList &files) {
            if (popover)
                popover->resume();
            if (!view || files.isEmpty())
                return;
            if (TWErrorResult error = view->loadImageFile(files.first()))
                TWDocumentPrompts::prompts().showMessage(error->localizedDescription(),
                                                         view->window());
        });
    m_dialog->setObjectName(QStringLiteral("selectImageDialog"));
}

// ---- Background, progress, double underline ----

void TWBackgroundView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (m_colour.isValid())
        painter.fillRect(event->rect(), m_colour);
}

void TWProgress::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool active = window()->isActiveWindow();
    const QColor colour = m_colour.isValid() ? m_colour : palette().color(QPalette::Highlight);
    const QColor fill = active ? colour : QColor::fromRgbF(0.7f, 0.7f, 0.7f);
    QColor stroke = QColor::fromRgbF(0.6f, 0.6f, 0.6f);
    if (active && m_colour.isValid())
        stroke = QColor::fromRgbF(std::max(0.0f, fill.redF() - 0.2f),
                                  std::max(0.0f, fill.greenF() - 0.2f),
                                  std::max(0.0f, fill.blueF() - 0.2f), 1.0f);
    const QRectF shapeRect = QRectF(rect()).adjusted(3.5, 5.5, -3.5, -5.5);
    QPainterPath shape;
    shape.addRoundedRect(shapeRect, 4.0, 4.0);
    if (m_progress < 1.0f) {
        painter.fillPath(shape, QColor::fromRgbF(0.8f, 0.8f, 0.8f));
        painter.strokePath(shape, QPen(QColor::fromRgbF(0.6f, 0.6f, 0.6f), 1.0));
        const qreal filled = shapeRect.width() * std::clamp(qreal(m_progress), 0.0, 1.0);
        painter.setClipRect(QRectF(shapeRect.x() - 1.0, 0, filled + 1.0, height()));
        if (filled <= 0.0)
            return;
    }
    painter.fillPath(shape, fill);
    painter.strokePath(shape, QPen(stroke, 1.0));
}

void TWAmountLabel::setAmountText(const QString &text)
{
    m_amount = text;
    updateShown();
    updateGeometry();
}

QSize TWAmountLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(m_amount) + margins.left() + margins.right() + 1,
            QLabel::sizeHint().height()};
}

QSize TWAmountLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(QStringLiteral("\u2026")) + margins.left() +
                margins.right() + 1,
            QLabel::minimumSizeHint().height()};
}

void TWAmountLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateShown();
}

void TWAmountLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateShown();
}

void TWAmountLabel::updateShown()
{
    const QString shown =
        fontMetrics().elidedText(m_amount, Qt::ElideRight, contentsRect().width());
    if (shown != text())
        setText(shown);
    setToolTip(shown == m_amount ? QString() : m_amount);
}

void TWDoubleUnderlineLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (text().isEmpty())
        return;
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text());
    const QRect content = contentsRect();
    int left = content.left();
    if (alignment() & Qt::AlignRight)
        left = content.right() - textWidth + 1;
    else if (alignment() & Qt::AlignHCenter)
        left = content.left() + (content.width() - textWidth) / 2;
    const int baseline =
        content.top() + (content.height() + metrics.ascent() - metrics.descent()) / 2;
    const int first = std::min(height() - 3, baseline + 2);
    painter.setPen(QPen(palette().color(foregroundRole()), 1));
    painter.drawLine(left, first, left + textWidth, first);
    painter.drawLine(left, first + 2, left + textWidth, first + 2);
}
