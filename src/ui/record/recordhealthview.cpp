#include "ui/record/recordhealthview.h"

#include "core/record/recordhealth.h"
#include "core/record/soundsettings.h"
#include "ui/record/soundlevelmeter.h"

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
    m_warning->setText(text);
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
