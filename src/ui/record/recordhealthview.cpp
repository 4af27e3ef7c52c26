#include "ui/record/recordhealthview.h"

#include "core/record/recordhealth.h"
#include "core/record/soundsettings.h"
#include "ui/record/soundlevelmeter.h"

#include <QFontMetrics>
#include <QLabel>

RecordHealthView::RecordHealthView(RecordHealth *health, SoundLevelMeter *meter, QLabel *warning,
                                   QObject *parent)
    : QObject(parent), m_meter(meter), m_warning(warning)
{
    connect(health, &RecordHealth::levelChanged, this, [this](double db) {
        if (m_meter)
            m_meter->setLevel(db);
    });
    connect(health, &RecordHealth::silentMicrophoneChanged, this, [this](bool silent) {
        m_silent = silent;
        refresh();
    });
    connect(health, &RecordHealth::diskSpaceChanged, this, [this](bool low, qint64 secondsLeft) {
        m_diskLow = low;
        m_secondsLeft = secondsLeft;
        refresh();
    });
    connect(health, &RecordHealth::soundInputsOpened, this,
            [this](bool microphoneFellBack, bool computerSound) {
                m_microphoneFellBack = microphoneFellBack;
                if (m_computerSound) {
                    m_computerSound->setText(RecordHealth::computerSoundText(computerSound));
                    m_computerSound->show();
                }
                refresh();
            });
    connect(health, &RecordHealth::soundInputLost, this, [this](bool microphone) {
        (microphone ? m_microphoneLost : m_computerSoundLost) = true;
        refresh();
    });
    connect(health, &RecordHealth::soundInputBack, this, [this](bool microphone) {
        (microphone ? m_microphoneLost : m_computerSoundLost) = false;
        m_backText = RecordHealth::soundBackText(microphone);
        m_backTimer.start();
        refresh();
    });
    connect(health, &RecordHealth::engineWarning, this, [this](const QString &text) {
        m_engineWarning = text;
        refresh();
    });
    connect(health, &RecordHealth::microphoneChanged, this, [this](const QString &description) {
        m_microphoneNow = description;
        refresh();
    });
    m_backTimer.setSingleShot(true);
    m_backTimer.setInterval(kBackShownMs);
    connect(&m_backTimer, &QTimer::timeout, this, [this]() {
        m_backText.clear();
        refresh();
    });
    refresh();
}

void RecordHealthView::setComputerSoundLabel(QLabel *label)
{
    m_computerSound = label;
}

QString RecordHealthView::warningText() const
{
    if (m_diskLow)
        return RecordHealth::diskLowText(m_secondsLeft);
    if (m_microphoneLost || m_computerSoundLost)
        return RecordHealth::soundLostText(m_microphoneLost);
    if (!m_engineWarning.isEmpty())
        return m_engineWarning;
    if (!m_backText.isEmpty())
        return m_backText;
    if (!m_microphoneNow.isEmpty())
        return RecordHealth::microphoneNowText(m_microphoneNow);
    if (m_silent)
        return RecordHealth::silentMicrophoneText();
    if (m_microphoneFellBack)
        return microphoneFallbackText();
    return QString();
}

void RecordHealthView::refresh()
{
    if (!m_warning)
        return;
    const QString text = warningText();
    // The lines about sound inputs (a device's name can be of any length, a translation
    // longer) are cut to one line on a shown bar, the whole of them in the tooltip.
    const bool soundInput =
        text == RecordHealth::soundLostText(m_microphoneLost) ||
        (!m_backText.isEmpty() && text == m_backText) ||
        (!m_microphoneNow.isEmpty() && text == RecordHealth::microphoneNowText(m_microphoneNow));
    QString shown = text;
    if (soundInput && m_warning->isVisible() && m_warning->width() > 0)
        shown =
            QFontMetrics(m_warning->font()).elidedText(text, Qt::ElideRight, m_warning->width());
    m_warning->setText(shown);
    m_warning->setToolTip(text);
    m_warning->setVisible(!text.isEmpty());
}

QLabel *RecordHealthView::makeComputerSoundLabel(QWidget *parent, int pixelSize)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QStringLiteral("label_computer_sound"));
    label->setStyleSheet(QStringLiteral("color: #a0a0a6; font-size: %1px;").arg(pixelSize));
    // Its room is kept while hidden, so what lies beside it does not move when it shows.
    QSizePolicy keepRoom = label->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    label->setSizePolicy(keepRoom);
    label->hide();
    return label;
}
