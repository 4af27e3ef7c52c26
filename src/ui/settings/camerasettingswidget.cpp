#include "ui/settings/camerasettingswidget.h"

#include "core/camera/camerafeed.h"
#include "ui/camera/camerapreview.h"
#include "ui/settings/settingsstyle.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QtConcurrent>

using namespace settingsstyle;

namespace {
struct Found
{
    QList<CameraInfo> cameras;
    QString whyNone;
};

struct Opened
{
    std::shared_ptr<CameraFeed> feed;
    QString error;
};

constexpr int kPreviewWidth = 176;
}  // namespace

CameraSettingsWidget::CameraSettingsWidget(QWidget *parent) : QWidget(parent)
{
    m_settings = CameraSettings::load();
    buildForm();
}

CameraSettingsWidget::~CameraSettingsWidget() = default;

void CameraSettingsWidget::buildForm()
{
    setObjectName(QStringLiteral("CameraSettingsWidget"));
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(30, 20, 30, 20);
    root->setSpacing(0);
    auto *title = new QLabel(tr("摄像头"), this);
    title->setObjectName(QStringLiteral("label_title"));
    title->setStyleSheet(kTitleStyle);
    root->addWidget(title);
    root->addSpacing(20);

    m_cameras = new QComboBox(this);
    m_cameras->setObjectName(QStringLiteral("combo_camera"));
    m_cameras->setStyleSheet(kComboStyle);
    m_cameras->setMinimumHeight(34);
    m_cameras->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    root->addWidget(m_cameras);
    root->addSpacing(6);
    m_none = new QLabel(this);
    m_none->setObjectName(QStringLiteral("label_camera_none"));
    m_none->setStyleSheet(kNoteStyle);
    m_none->setWordWrap(true);
    m_none->hide();
    root->addWidget(m_none);
    root->addSpacing(12);

    auto *row = new QHBoxLayout;
    row->setSpacing(24);
    m_preview = new CameraPreview(this);
    m_preview->setObjectName(QStringLiteral("view_camera_preview"));
    m_preview->setFixedSize(kPreviewWidth, kPreviewWidth);
    row->addWidget(m_preview, 0, Qt::AlignTop);

    auto *options = new QVBoxLayout;
    options->setSpacing(10);
    const auto check = [this, options](const QString &name, const QString &text, bool on) {
        auto *box = new QCheckBox(text, this);
        box->setObjectName(name);
        box->setStyleSheet(kCheckStyle);
        box->setChecked(on);
        box->setCursor(Qt::PointingHandCursor);
        options->addWidget(box);
        return box;
    };
    m_show = check(QStringLiteral("check_camera_show"), tr("录制时显示摄像头"),
                   m_settings.showWhileRecording);
    const auto choices = [this, options](const QString &label, QButtonGroup *group,
                                         const QList<QPair<QString, QString>> &buttons,
                                         int chosen) {
        auto *line = new QHBoxLayout;
        line->setSpacing(12);
        auto *text = new QLabel(label, this);
        text->setStyleSheet(kTextStyle);
        line->addWidget(text);
        for (int i = 0; i < buttons.size(); ++i) {
            auto *button = new QRadioButton(buttons[i].second, this);
            button->setObjectName(buttons[i].first);
            button->setStyleSheet(kRadioStyle);
            button->setCursor(Qt::PointingHandCursor);
            button->setChecked(i == chosen);
            group->addButton(button, i);
            line->addWidget(button);
        }
        line->addStretch();
        options->addLayout(line);
    };
    m_shapes = new QButtonGroup(this);
    choices(tr("形状"), m_shapes,
            {{QStringLiteral("radio_circle"), tr("圆形")},
             {QStringLiteral("radio_rounded"), tr("圆角矩形")}},
            int(m_settings.shape));
    m_sizes = new QButtonGroup(this);
    choices(tr("大小"), m_sizes,
            {{QStringLiteral("radio_small"), tr("小")},
             {QStringLiteral("radio_medium"), tr("中")},
             {QStringLiteral("radio_large"), tr("大")}},
            int(m_settings.size));
    m_mirror = check(QStringLiteral("check_camera_mirror"), tr("镜像"), m_settings.mirrorPreview);
    m_mirrorRecording = check(QStringLiteral("check_camera_mirror_recording"), tr("录像中也镜像"),
                              m_settings.mirrorRecording);
    auto *hint = new QLabel(tr("录制时可以拖动摄像头画面到任意位置，滚动鼠标滚轮改变大小。"), this);
    hint->setObjectName(QStringLiteral("label_camera_hint"));
    hint->setStyleSheet(kHintStyle);
    hint->setWordWrap(true);
    options->addWidget(hint);
    options->addStretch();
    row->addLayout(options, 1);
    root->addLayout(row);
    root->addStretch();
    applyLook();

    connect(m_cameras, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= m_found.size())
            return;
        m_settings.camera = m_found[index];
        m_settings.save();
        openChosen();
    });
    connect(m_show, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.showWhileRecording = on;
        m_settings.save();
    });
    connect(m_shapes, &QButtonGroup::idClicked, this, [this](int id) {
        m_settings.shape = CameraShape(id);
        m_settings.save();
        applyLook();
    });
    connect(m_sizes, &QButtonGroup::idClicked, this, [this](int id) {
        m_settings.size = CameraSize(id);
        m_settings.save();
        CameraPlace::forgetSizes();
    });
    connect(m_mirror, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.mirrorPreview = on;
        m_settings.save();
        applyLook();
    });
    connect(m_mirrorRecording, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.mirrorRecording = on;
        m_settings.save();
    });
}

void CameraSettingsWidget::applyLook()
{
    m_preview->setShape(m_settings.shape);
    m_preview->setMirrored(m_settings.mirrorPreview);
    // The circle is square, the rounded rectangle 16:9, as in the recording.
    m_preview->setFixedSize(kPreviewWidth, m_settings.shape == CameraShape::Circle
                                               ? kPreviewWidth
                                               : kPreviewWidth * 9 / 16);
}

void CameraSettingsWidget::refreshCameras()
{
    if (m_loading)
        return;
    m_loading = true;
    m_cameras->clear();
    m_cameras->addItem(tr("正在查找摄像头..."));
    m_cameras->setEnabled(false);
    m_preview->setFeed(nullptr);
    m_preview->setText(tr("正在查找摄像头..."));
    auto *watcher = new QFutureWatcher<Found>(this);
    connect(watcher, &QFutureWatcher<Found>::finished, this, [this, watcher]() {
        watcher->deleteLater();
        m_loading = false;
        m_listed = true;
        const Found found = watcher->result();
        fill(found.cameras, found.whyNone);
        emit camerasListed();
    });
    watcher->setFuture(QtConcurrent::run([]() {
        Found found;
        found.cameras = CameraFeed::findCameras(&found.whyNone);
        return found;
    }));
}

void CameraSettingsWidget::fill(const QList<CameraInfo> &cameras, const QString &whyNone)
{
    m_found = cameras;
    m_cameras->clear();
    if (cameras.isEmpty()) {
        m_cameras->addItem(tr("没有找到摄像头"));
        m_cameras->setEnabled(false);
        m_none->setText(whyNone);
        m_none->setVisible(!whyNone.isEmpty());
        m_preview->setText(tr("没有找到摄像头"));
        return;
    }
    m_none->hide();
    for (const CameraInfo &camera : cameras)
        m_cameras->addItem(camera.name.isEmpty() ? camera.id : camera.name);
    // The one recordings take (the first when the teacher chose none, or the chosen is gone):
    // kept with the next change.
    m_settings.camera = *m_settings.choose(cameras);
    m_cameras->setCurrentIndex(std::max(0, int(cameras.indexOf(m_settings.camera))));
    m_cameras->setEnabled(true);
    openChosen();
}

void CameraSettingsWidget::openChosen()
{
    const int index = m_cameras->currentIndex();
    m_preview->setFeed(nullptr);
    if (!isVisible() || index < 0 || index >= m_found.size())
        return;
    m_preview->setText(tr("正在打开摄像头..."));
    const CameraInfo camera = m_found[index];
    const int opening = ++m_opening;
    auto *watcher = new QFutureWatcher<Opened>(this);
    connect(watcher, &QFutureWatcher<Opened>::finished, this, [this, watcher, opening]() {
        watcher->deleteLater();
        const Opened opened = watcher->result();
        // A later choice, or the page hidden meanwhile: this camera is let go.
        if (opening != m_opening || !isVisible())
            return;
        m_preview->setFeed(opened.feed);
        if (!opened.feed)
            m_preview->setText(tr("无法打开摄像头：%1").arg(opened.error));
        emit previewOpened();
    });
    watcher->setFuture(QtConcurrent::run([camera]() {
        Opened opened;
        opened.feed = CameraFeed::open(camera, &opened.error);
        return opened;
    }));
}

void CameraSettingsWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_listed)
        refreshCameras();
    else if (!m_loading)
        openChosen();
}

void CameraSettingsWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    ++m_opening;
    m_preview->setFeed(nullptr);
}
