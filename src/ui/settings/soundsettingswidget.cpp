#include "ui/settings/soundsettingswidget.h"

#include "core/media/pausefinder.h"
#include "core/record/deviceutil.h"
#include "core/record/soundlevelprobe.h"
#include "ui/record/soundlevelmeter.h"
#include "ui/settings/settingsstyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QtConcurrent>

using namespace settingsstyle;

SoundSettingsWidget::SoundSettingsWidget(QWidget *parent) : QWidget(parent)
{
    m_settings = SoundSettings::load();
    m_probe = new SoundLevelProbe(this);
    buildForm();
    connect(m_probe, &SoundLevelProbe::levelChanged, m_meter, &SoundLevelMeter::setLevel);
    refreshMicrophones();
}

SoundSettingsWidget::~SoundSettingsWidget() = default;

void SoundSettingsWidget::buildForm()
{
    setObjectName(QStringLiteral("SoundSettingsWidget"));
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(30, 20, 30, 30);
    root->setSpacing(0);
    auto *title = new QLabel(tr("声音"), this);
    title->setObjectName(QStringLiteral("label_title"));
    title->setStyleSheet(kTitleStyle);
    root->addWidget(title);
    root->addSpacing(28);

    auto *microphoneTitle = new QLabel(tr("麦克风"), this);
    microphoneTitle->setObjectName(QStringLiteral("label_microphone"));
    microphoneTitle->setStyleSheet(kTextStyle);
    root->addWidget(microphoneTitle);
    root->addSpacing(10);
    m_microphones = new QComboBox(this);
    m_microphones->setObjectName(QStringLiteral("combo_microphone"));
    m_microphones->setStyleSheet(kComboStyle);
    m_microphones->setMinimumHeight(34);
    m_microphones->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    root->addWidget(m_microphones);
    root->addSpacing(10);
    m_meter = new SoundLevelMeter(this);
    m_meter->setTrackColour(QColor(QStringLiteral("#eceef2")));
    m_meter->setFixedHeight(6);
    root->addWidget(m_meter);
    root->addSpacing(6);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("label_microphone_note"));
    m_note->setStyleSheet(kNoteStyle);
    m_note->setWordWrap(true);
    m_note->hide();
    root->addWidget(m_note);
    root->addSpacing(22);

    const auto addOption = [this, root](const QString &name, const QString &text,
                                        const QString &hint, bool checked) {
        auto *box = new QCheckBox(text, this);
        box->setObjectName(name);
        box->setStyleSheet(kCheckStyle);
        box->setChecked(checked);
        box->setCursor(Qt::PointingHandCursor);
        root->addWidget(box);
        root->addSpacing(4);
        auto *explain = new QLabel(hint, this);
        explain->setObjectName(name + QStringLiteral("_hint"));
        explain->setStyleSheet(kHintStyle);
        explain->setWordWrap(true);
        explain->setContentsMargins(24, 0, 0, 0);
        root->addWidget(explain);
        root->addSpacing(16);
        return box;
    };
    m_computerSound =
        addOption(QStringLiteral("check_computer_sound"), tr("同时录制电脑声音"),
                  tr("把电脑播放的声音（视频、网页等）一起录进课程"), m_settings.computerSound);
    m_noiseReduction = addOption(QStringLiteral("check_noise_reduction"), tr("降噪"),
                                 tr("减弱风扇、空调等持续的背景噪音"), m_settings.noiseReduction);

    // The editor's "查找停顿" finds the pauses at least this long.
    auto *pauseRow = new QHBoxLayout;
    pauseRow->setSpacing(10);
    auto *pauseTitle = new QLabel(tr("最短停顿"), this);
    pauseTitle->setObjectName(QStringLiteral("label_min_pause"));
    pauseTitle->setStyleSheet(kTextStyle);
    m_minPause = new QComboBox(this);
    m_minPause->setObjectName(QStringLiteral("combo_min_pause"));
    m_minPause->setStyleSheet(kComboStyle);
    m_minPause->setMinimumHeight(30);
    for (int seconds = pauses::kMinimumSecondsLow; seconds <= pauses::kMinimumSecondsHigh;
         ++seconds)
        m_minPause->addItem(tr("%1 秒").arg(seconds), seconds);
    m_minPause->setCurrentIndex(m_minPause->findData(pauses::minimumSeconds()));
    pauseRow->addWidget(pauseTitle);
    pauseRow->addWidget(m_minPause);
    pauseRow->addStretch();
    root->addLayout(pauseRow);
    root->addSpacing(4);
    auto *pauseHint =
        new QLabel(tr("编辑器的“查找停顿”找出至少这么长、画面也不动的无声段落"), this);
    pauseHint->setObjectName(QStringLiteral("label_min_pause_hint"));
    pauseHint->setStyleSheet(kHintStyle);
    pauseHint->setWordWrap(true);
    root->addWidget(pauseHint);
    root->addStretch();

    connect(m_minPause, &QComboBox::activated, this,
            [this](int index) { pauses::setMinimumSeconds(m_minPause->itemData(index).toInt()); });
    connect(m_microphones, &QComboBox::activated, this,
            &SoundSettingsWidget::on_combo_microphone_activated);
    connect(m_computerSound, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.computerSound = on;
        m_settings.save();
    });
    connect(m_noiseReduction, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.noiseReduction = on;
        m_settings.save();
    });
}

void SoundSettingsWidget::refreshMicrophones()
{
    if (m_loading)
        return;
    m_loading = true;
    m_microphones->clear();
    m_microphones->addItem(tr("正在查找麦克风..."));
    m_microphones->setEnabled(false);
    auto *watcher = new QFutureWatcher<QList<TDeviceInfo>>(this);
    connect(watcher, &QFutureWatcher<QList<TDeviceInfo>>::finished, this, [this, watcher]() {
        watcher->deleteLater();
        m_loading = false;
        fill(watcher->result());
        emit microphonesListed();
    });
    watcher->setFuture(QtConcurrent::run([]() { return DeviceUtil::getAudioDeviceInfo(); }));
}

void SoundSettingsWidget::fill(const QList<TDeviceInfo> &devices)
{
    m_microphones->clear();
    const QList<TDeviceInfo> microphones = microphonesOf(devices);
    if (microphones.isEmpty()) {
        m_microphones->addItem(tr("未发现麦克风"));
        m_microphones->setEnabled(false);
        m_note->hide();
        listenToChosen();
        return;
    }
    // The one a recording takes when the teacher chose none.
    const QString systemDefault = chooseMicrophone(devices, QString()).device;
    for (const TDeviceInfo &d : microphones) {
        QString text = d.description.isEmpty() ? d.devName : d.description;
        if (d.devName == systemDefault)
            text = tr("%1（默认）").arg(text);
        m_microphones->addItem(text, d.devName);
    }
    const MicrophoneChoice choice = chooseMicrophone(devices, m_settings.microphone);
    m_microphones->setCurrentIndex(std::max(0, m_microphones->findData(choice.device)));
    m_microphones->setEnabled(true);
    m_note->setText(microphoneFallbackText());
    m_note->setVisible(choice.fellBack);
    listenToChosen();
}

void SoundSettingsWidget::on_combo_microphone_activated(int index)
{
    const QString device = m_microphones->itemData(index).toString();
    if (device.isEmpty())
        return;
    m_settings.microphone = device;
    m_settings.save();
    m_note->hide();
    listenToChosen();
}

void SoundSettingsWidget::listenToChosen()
{
    const QString device = m_microphones->currentData().toString();
    if (!isVisible() || device.isEmpty()) {
        m_probe->stop();
        return;
    }
    if (device != m_probe->device() || !m_probe->isListening())
        m_probe->listen(device);
}

void SoundSettingsWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    listenToChosen();
}

void SoundSettingsWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_probe->stop();
}
