#include "ledger/TWPreviewPanel.h"

#include "app/TWBusinessController.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QApplication>
#include <QAudioOutput>
#include <QCloseEvent>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QMimeDatabase>
#include <QPdfDocument>
#include <QPdfView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace
{

QPointer<TWPreviewPanel> s_sharedPanel;

// Text files larger than this show their beginning only: the window is for a
// glance, and a log of hundreds of megabytes would stall it.
constexpr qint64 kTextPreviewLimit = 1024 * 1024;

enum class PreviewFormat { Image, Pdf, Text, Audio, Other };

PreviewFormat formatOfFile(const QString &path, std::uint32_t type)
{
    const QMimeDatabase database;
    const QMimeType mime = database.mimeTypeForFile(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (mime.inherits(QStringLiteral("application/pdf")) || suffix == QLatin1String("pdf"))
        return PreviewFormat::Pdf;
    if (type == TWAttachmentTypeAudio || mime.name().startsWith(QLatin1String("audio/")))
        return PreviewFormat::Audio;
    if (type == TWAttachmentTypePhoto || mime.name().startsWith(QLatin1String("image/")))
        return PreviewFormat::Image;
    if (mime.inherits(QStringLiteral("text/plain")))
        return PreviewFormat::Text;
    return PreviewFormat::Other;
}

} // namespace

TWPreviewPanel *TWPreviewPanel::sharedPreviewPanel()
{
    if (!s_sharedPanel) {
        s_sharedPanel = new TWPreviewPanel();
        if (QCoreApplication *app = QCoreApplication::instance()) {
            QObject::connect(app, &QCoreApplication::aboutToQuit, s_sharedPanel.data(),
                             [] { releaseSharedPreviewPanel(); });
        }
    }
    return s_sharedPanel;
}

bool TWPreviewPanel::sharedPreviewPanelExists()
{
    return !s_sharedPanel.isNull();
}

void TWPreviewPanel::releaseSharedPreviewPanel()
{
    if (TWPreviewPanel *panel = s_sharedPanel.data()) {
        panel->orderOut();
        s_sharedPanel = nullptr;
        delete panel;
    }
}

TWPreviewPanel::TWPreviewPanel() : QWidget(nullptr, Qt::Tool)
{
    setObjectName(QStringLiteral("previewPanel"));
    setWindowTitle(TWLocalized("previewTitle"));
    setMinimumSize(320, 260);
    resize(640, 520);

    auto *layout = new QVBoxLayout(this);
    auto *header = new QHBoxLayout();
    m_titleLabel = new QLabel(this);
    m_titleLabel->setTextFormat(Qt::PlainText);
    m_titleLabel->setObjectName(QStringLiteral("previewTitleLabel"));
    QFont titleFont = m_titleLabel->font();
    titleFont.setBold(true);
    m_titleLabel->setFont(titleFont);
    m_countLabel = new QLabel(this);
    m_countLabel->setTextFormat(Qt::PlainText);
    header->addWidget(m_titleLabel, 1);
    header->addWidget(m_countLabel);
    layout->addLayout(header);

    m_stack = new QStackedWidget(this);
    layout->addWidget(m_stack, 1);

    m_emptyLabel = new QLabel(TWLocalized("previewNoItems"), this);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_stack->addWidget(m_emptyLabel);

    m_imageLabel = new QLabel(this);
    m_imageLabel->setAlignment(Qt::AlignCenter);
    m_imageLabel->setMinimumSize(1, 1);
    m_imageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_stack->addWidget(m_imageLabel);

    m_pdf = new QPdfDocument(this);
    m_pdfView = new QPdfView(this);
    m_pdfView->setDocument(m_pdf);
    m_pdfView->setPageMode(QPdfView::PageMode::MultiPage);
    m_pdfView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_stack->addWidget(m_pdfView);

    m_textView = new QPlainTextEdit(this);
    m_textView->setReadOnly(true);
    m_textView->setFocusPolicy(Qt::NoFocus);
    m_stack->addWidget(m_textView);

    // Recordings and everything else share the look of an icon over the name.
    const auto makeIconPage = [this](QLabel *&icon, QLabel *&name, QLabel *&detail) {
        auto *page = new QWidget(this);
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->addStretch(1);
        icon = new QLabel(page);
        icon->setAlignment(Qt::AlignCenter);
        name = new QLabel(page);
        name->setAlignment(Qt::AlignCenter);
        name->setTextFormat(Qt::PlainText);
        name->setWordWrap(true);
        detail = new QLabel(page);
        detail->setAlignment(Qt::AlignCenter);
        detail->setTextFormat(Qt::PlainText);
        pageLayout->addWidget(icon);
        pageLayout->addWidget(name);
        pageLayout->addWidget(detail);
        return page;
    };
    m_iconView = makeIconPage(m_iconLabel, m_iconNameLabel, m_iconDetailLabel);
    // The same stretch as above the icon, so the icon sits in the middle; a
    // plain expanding spacer gets nothing beside a stretch and leaves it at the bottom.
    static_cast<QVBoxLayout *>(m_iconView->layout())->addStretch(1);
    m_stack->addWidget(m_iconView);

    QLabel *audioIcon = nullptr;
    QLabel *audioName = nullptr;
    m_audioView = makeIconPage(audioIcon, audioName, m_audioTimeLabel);
    audioIcon->setObjectName(QStringLiteral("previewAudioIcon"));
    audioName->setObjectName(QStringLiteral("previewAudioName"));
    m_playButton = new QPushButton(TWLocalized("previewPlay"), m_audioView);
    m_playButton->setFocusPolicy(Qt::NoFocus);
    auto *buttonRow = new QHBoxLayout();
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_playButton);
    buttonRow->addStretch(1);
    static_cast<QVBoxLayout *>(m_audioView->layout())->addLayout(buttonRow);
    static_cast<QVBoxLayout *>(m_audioView->layout())->addStretch(1);
    m_stack->addWidget(m_audioView);
    connect(m_playButton, &QPushButton::clicked, this, [this] {
        if (!m_player)
            return;
        if (m_player->playbackState() == QMediaPlayer::PlayingState)
            m_player->pause();
        else
            m_player->play();
    });

    setFocusPolicy(Qt::StrongFocus);
    showCurrentItem();
}

TWPreviewPanel::~TWPreviewPanel()
{
    stopPlayer();
}

void TWPreviewPanel::setDataSource(TWPreviewPanelDataSource *dataSource)
{
    m_dataSource = dataSource;
    reloadData();
}

void TWPreviewPanel::forgetController(TWBusinessControllerDelegate *controlDelegate,
                                      TWPreviewPanelDataSource *dataSource,
                                      TWPreviewPanelDelegate *delegate)
{
    if (controlDelegate && m_controlDelegate == controlDelegate) {
        // It cannot be told any more: just let go.
        m_controlDelegate = nullptr;
        m_controller = nullptr;
        hide();
        stopPlayer();
    }
    if (delegate && m_delegate == delegate)
        m_delegate = nullptr;
    if (dataSource && m_dataSource == dataSource) {
        m_dataSource = nullptr;
        reloadData();
    }
}

void TWPreviewPanel::makeKeyAndOrderFront(TWBusinessController *controller)
{
    if (!controller || !controller->acceptsPreviewPanelControl())
        return;
    TWBusinessControllerDelegate *delegate = controller->delegate();
    if (m_controller != controller || m_controlDelegate != delegate) {
        endControl();
        m_controller = controller;
        m_controlDelegate = delegate;
        controller->beginPreviewPanelControl();
    }
    show();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
}

void TWPreviewPanel::orderOut()
{
    hide();
    stopPlayer();
    endControl();
}

void TWPreviewPanel::endControl()
{
    TWBusinessControllerDelegate *delegate = m_controlDelegate;
    QPointer<TWBusinessController> controller = m_controller;
    m_controlDelegate = nullptr;
    m_controller = nullptr;
    if (delegate && controller)
        delegate->endPreviewPanelControl(controller);
    // Whoever had control let go of the window; nothing of theirs is kept.
    m_dataSource = nullptr;
    m_delegate = nullptr;
    reloadData();
}

void TWPreviewPanel::reloadData()
{
    m_count = m_dataSource ? std::max(0, m_dataSource->numberOfPreviewItems(this)) : 0;
    if (m_count == 0)
        m_index = -1;
    else
        m_index = std::clamp(m_index, 0, m_count - 1);
    showCurrentItem();
}

void TWPreviewPanel::setCurrentPreviewItemIndex(int index)
{
    if (m_count == 0) {
        m_index = -1;
    } else {
        m_index = std::clamp(index, 0, m_count - 1);
    }
    showCurrentItem();
}

void TWPreviewPanel::selectNextItem()
{
    if (m_count > 0 && m_index + 1 < m_count)
        setCurrentPreviewItemIndex(m_index + 1);
}

void TWPreviewPanel::selectPreviousItem()
{
    if (m_count > 0 && m_index > 0)
        setCurrentPreviewItemIndex(m_index - 1);
}

void TWPreviewPanel::keyPressEvent(QKeyEvent *event)
{
    if (m_delegate && m_delegate->previewPanelHandleKey(this, event)) {
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        selectPreviousItem();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        selectNextItem();
        break;
    case Qt::Key_Escape:
    case Qt::Key_Space:
        orderOut();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TWPreviewPanel::closeEvent(QCloseEvent *event)
{
    stopPlayer();
    endControl();
    QWidget::closeEvent(event);
}

void TWPreviewPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_kind == ContentImage)
        updateImage();
}

void TWPreviewPanel::showCurrentItem()
{
    stopPlayer();
    m_image = QImage();
    m_item = (m_dataSource && m_index >= 0) ? m_dataSource->previewItemAtIndex(this, m_index)
                                            : TWAttachmentPtr();
    m_countLabel->setText(
        m_count > 1 ? TWLocalized("previewItemCount").arg(m_index + 1).arg(m_count) : QString());
    if (!m_item) {
        m_kind = ContentNone;
        m_titleLabel->clear();
        setWindowTitle(TWLocalized("previewTitle"));
        m_stack->setCurrentWidget(m_emptyLabel);
        return;
    }
    const TWAttachment &attachment = *m_item;
    m_titleLabel->setText(attachment.previewItemTitle());
    setWindowTitle(attachment.previewItemTitle().isEmpty() ? TWLocalized("previewTitle")
                                                           : attachment.previewItemTitle());

    const QString path = attachment.previewItemURL().toLocalFile();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        showIcon(attachment, TWLocalized("previewFileMissing"));
        return;
    }
    bool shown = false;
    switch (formatOfFile(path, attachment.type())) {
    case PreviewFormat::Image:
        shown = showImage(path);
        break;
    case PreviewFormat::Pdf:
        shown = showPdf(path);
        break;
    case PreviewFormat::Text:
        shown = showText(path);
        break;
    case PreviewFormat::Audio:
        showAudio(path);
        shown = true;
        break;
    case PreviewFormat::Other:
        break;
    }
    if (!shown)
        showIcon(attachment, QString());
}

void TWPreviewPanel::showIcon(const TWAttachment &attachment, const QString &reason)
{
    m_kind = ContentIcon;
    const QFileIconProvider provider;
    const QIcon icon = provider.icon(QFileInfo(attachment.filePath()));
    m_iconLabel->setPixmap(icon.pixmap(128, 128));
    m_iconNameLabel->setText(attachment.fileName());
    QString detail = TWFormatter::formatter().dataSizeString(attachment.fileSize());
    if (!reason.isEmpty())
        detail = reason;
    m_iconDetailLabel->setText(detail);
    m_stack->setCurrentWidget(m_iconView);
}

bool TWPreviewPanel::showImage(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    m_image = reader.read();
    if (m_image.isNull())
        return false;
    m_kind = ContentImage;
    m_stack->setCurrentWidget(m_imageLabel);
    updateImage();
    return true;
}

void TWPreviewPanel::updateImage()
{
    if (m_image.isNull())
        return;
    const QSize room = m_imageLabel->size().boundedTo(m_image.size()).expandedTo(QSize(1, 1));
    m_imageLabel->setPixmap(
        QPixmap::fromImage(m_image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

bool TWPreviewPanel::showPdf(const QString &path)
{
    m_pdf->close();
    if (m_pdf->load(path) != QPdfDocument::Error::None || m_pdf->pageCount() <= 0) {
        m_pdf->close();
        return false;
    }
    m_kind = ContentPdf;
    m_stack->setCurrentWidget(m_pdfView);
    return true;
}

bool TWPreviewPanel::showText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(kTextPreviewLimit);
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (file.size() > kTextPreviewLimit)
        text += QStringLiteral("\n…");
    m_textView->setPlainText(text);
    m_kind = ContentText;
    m_stack->setCurrentWidget(m_textView);
    return true;
}

void TWPreviewPanel::showAudio(const QString &path)
{
    m_kind = ContentAudio;
    if (!m_player) {
        m_player = new QMediaPlayer(this);
        m_audioOutput = new QAudioOutput(this);
        m_player->setAudioOutput(m_audioOutput);
        connect(m_player, &QMediaPlayer::positionChanged, this, [this] { updateAudioTime(); });
        connect(m_player, &QMediaPlayer::durationChanged, this, [this] { updateAudioTime(); });
        connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                [this](QMediaPlayer::PlaybackState state) {
                    m_playButton->setText(TWLocalized(
                        state == QMediaPlayer::PlayingState ? "previewPause" : "previewPlay"));
                });
    }
    m_player->setSource(QUrl::fromLocalFile(path));
    const QFileIconProvider provider;
    if (auto *icon = m_audioView->findChild<QLabel *>(QStringLiteral("previewAudioIcon")))
        icon->setPixmap(provider.icon(QFileInfo(path)).pixmap(128, 128));
    if (auto *name = m_audioView->findChild<QLabel *>(QStringLiteral("previewAudioName")))
        name->setText(m_item ? m_item->fileName() : QString());
    m_playButton->setText(TWLocalized("previewPlay"));
    updateAudioTime();
    m_stack->setCurrentWidget(m_audioView);
}

void TWPreviewPanel::updateAudioTime()
{
    const TWFormatter &formatter = TWFormatter::formatter();
    double total = m_item ? m_item->timeSeconds() : 0.0;
    double position = 0.0;
    if (m_player) {
        if (m_player->duration() > 0)
            total = double(m_player->duration()) / 1000.0;
        position = double(m_player->position()) / 1000.0;
    }
    m_audioTimeLabel->setText(formatter.timeString(position, true, 0) + QStringLiteral(" / ") +
                              formatter.timeString(total, true, 0));
}

void TWPreviewPanel::stopPlayer()
{
    if (m_player) {
        m_player->stop();
        m_player->setSource(QUrl());
    }
}
