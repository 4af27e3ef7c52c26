#include "ui/camera/cameracontrol.h"

#include "core/camera/camerafeed.h"
#include "core/camera/camerastep.h"
#include "core/record/screenrecord.h"
#include "ui/camera/camerapreview.h"

#include <QFutureWatcher>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <QtConcurrent>

namespace {
struct Opened
{
    std::shared_ptr<CameraFeed> feed;
    QString error;
};

Opened openChosen(const CameraSettings &settings)
{
    Opened opened;
    QString whyNone;
    const QList<CameraInfo> found = CameraFeed::findCameras(&whyNone);
    const CameraInfo *chosen = settings.choose(found);
    if (!chosen) {
        opened.error = whyNone.isEmpty() ? CameraControl::tr("没有找到摄像头") : whyNone;
        return opened;
    }
    opened.feed = CameraFeed::open(*chosen, &opened.error);
    return opened;
}
}  // namespace

CameraControl::CameraControl(const QString &kind, QWidget *previewParent, QObject *parent)
    : QObject(parent), m_kind(kind), m_settings(CameraSettings::load()),
      m_placement(std::make_shared<CameraPlacement>())
{
    m_place = CameraPlace::load(kind, m_settings.size);
    m_preview = new CameraPreview(previewParent);
    m_preview->setShape(m_settings.shape);
    m_preview->setMirrored(m_settings.mirrorPreview);
    m_preview->setPlace(m_place);
    m_preview->setText(tr("正在打开摄像头..."));
    m_preview->hide();
    connect(m_preview, &CameraPreview::sig_PlaceChanged, this, [this](const CameraPlace &place) {
        m_place = place;
        m_place.save(m_kind);
        publish();
    });
    connect(m_preview, &CameraPreview::sig_Ended, this, [this](const QString &reason) {
        m_error = reason;
        m_preview->setText(reason);
    });
    publish();
    if (m_settings.showWhileRecording)
        setOn(true);
}

CameraControl::~CameraControl()
{
    if (m_preview)
        m_preview->setFeed(nullptr);
}

void CameraControl::setArea(const QRect &area, const QSize &pictureSize)
{
    if (m_preview)
        m_preview->setArea(area, pictureSize);
}

bool CameraControl::isShowing() const
{
    return m_on && m_feed && !m_feed->hasEnded();
}

void CameraControl::setOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    if (m_preview) {
        m_preview->setVisible(on);
        if (on)
            m_preview->raise();
    }
    if (on && (!m_feed || m_feed->hasEnded()))
        open();
    publish();
    emit sig_OnChanged(on);
}

void CameraControl::open()
{
    if (m_opening)
        return;
    m_opening = true;
    m_error.clear();
    if (m_preview) {
        m_preview->setFeed(nullptr);
        m_preview->setText(tr("正在打开摄像头..."));
    }
    auto *watcher = new QFutureWatcher<Opened>(this);
    connect(watcher, &QFutureWatcher<Opened>::finished, this, [this, watcher]() {
        watcher->deleteLater();
        const Opened opened = watcher->result();
        onOpened(opened.feed, opened.error);
    });
    const CameraSettings settings = m_settings;
    watcher->setFuture(QtConcurrent::run([settings]() { return openChosen(settings); }));
}

void CameraControl::onOpened(std::shared_ptr<CameraFeed> feed, const QString &error)
{
    m_opening = false;
    m_feed = std::move(feed);
    m_error = m_feed ? QString() : error;
    m_placement->setFeed(m_feed);
    if (m_preview) {
        m_preview->setFeed(m_feed);
        if (!m_feed)
            m_preview->setText(cannotOpenText(m_error));
    }
    if (!m_feed && m_on)
        emit sig_Message(cannotOpenText(m_error));
    publish();
    emit sig_Opened();
}

void CameraControl::publish()
{
    CameraPlacement::State state;
    state.visible = m_on && m_feed;
    state.shape = m_settings.shape;
    state.place = m_place;
    state.mirror = m_settings.mirrorRecording;
    m_placement->set(state);
}

QString CameraControl::cannotOpenText(const QString &reason)
{
    return tr("无法打开摄像头：%1").arg(reason);
}

void CameraControl::confirmBeforeRecording(QWidget *dialogParent, std::function<void(bool)> go)
{
    if (!m_on || isShowing()) {
        go(true);
        return;
    }
    if (m_opening) {
        // Asked again once the camera answered.
        auto *once = new QObject(this);
        connect(this, &CameraControl::sig_Opened, once, [this, once, dialogParent, go]() {
            once->deleteLater();
            confirmBeforeRecording(dialogParent, go);
        });
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Question, tr("提示"),
                                cannotOpenText(m_error) + QLatin1Char('\n') +
                                    tr("是否不带摄像头开始录制？"),
                                QMessageBox::NoButton, dialogParent);
    box->setObjectName(QStringLiteral("box_camera_failed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *without = box->addButton(tr("不带摄像头录制"), QMessageBox::AcceptRole);
    box->addButton(tr("取消"), QMessageBox::RejectRole);
    box->setDefaultButton(without);
    connect(box, &QMessageBox::finished, this, [this, box, without, go]() {
        const bool record = box->clickedButton() == without;
        if (record)
            setOn(false);
        go(record);
    });
    box->open();
}

void CameraControl::attach(ScreenRecord *recorder)
{
    recorder->setCamera(m_placement);
}
