#include "ui/record/recordmessages.h"

#include "core/record/recordhealth.h"
#include "core/record/screenrecord.h"
#include "core/record/soundsettings.h"

#include <QDebug>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QtConcurrent>

namespace {
QMessageBox *nonBlockingBox(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(icon, title, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    return box;
}

// A place for a window of `size` on the screen of `area` that does not cover `area`: beside
// it, below or above it; over its top-left corner when the area fills the screen.
QPoint besideArea(const QRect &area, const QSize &size)
{
    QScreen *screen = QGuiApplication::screenAt(area.center());
    const QRect desk = screen ? screen->availableGeometry() : area;
    const int midX = area.center().x() - size.width() / 2;
    const int midY = area.center().y() - size.height() / 2;
    const QList<QPoint> places{{area.right() + 12, midY},
                               {area.left() - 12 - size.width(), midY},
                               {midX, area.bottom() + 12},
                               {midX, area.top() - 12 - size.height()}};
    for (QPoint place : places) {
        place.setX(
            std::clamp(place.x(), desk.left(), std::max(desk.left(), desk.right() - size.width())));
        place.setY(
            std::clamp(place.y(), desk.top(), std::max(desk.top(), desk.bottom() - size.height())));
        if (!QRect(place, size).intersects(area))
            return place;
    }
    return desk.topLeft() + QPoint(24, 24);
}
}  // namespace

void installRecordMessagePresenter()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // Warnings reach the teacher on the bar's line (RecordHealth::engineWarning); they are
    // logged by the engine.
    ScreenRecord::setMessagePresenter([](QObject *, bool critical, const QString &text) {
        if (critical)
            nonBlockingBox(QMessageBox::Critical, QObject::tr("错误"), text)->show();
    });
}

void showRecordNotice(const QString &text)
{
    nonBlockingBox(QMessageBox::Information, QObject::tr("提示"), text)->show();
}

QString noMicrophoneQuestion()
{
    return QObject::tr("未发现音频输入设备！是否不录声音继续录制？");
}

QString recordWithoutSoundText()
{
    return QObject::tr("不录声音继续");
}

void askBeforeRecording(QWidget *window, const QRect &recorded,
                        const std::function<void(bool record)> &answer)
{
    const QString wanted = SoundSettings::load().microphone;
    auto *watcher = new QFutureWatcher<MicrophoneChoice>(window);
    QObject::connect(
        watcher, &QFutureWatcher<MicrophoneChoice>::finished, window,
        [watcher, window, recorded, answer]() {
            watcher->deleteLater();
            if (!watcher->result().device.isEmpty()) {
                answer(true);
                return;
            }
            auto *box = new QMessageBox(QMessageBox::Question, QObject::tr("提示"),
                                        noMicrophoneQuestion(), QMessageBox::NoButton, window);
            box->setAttribute(Qt::WA_DeleteOnClose);
            QPushButton *go = box->addButton(recordWithoutSoundText(), QMessageBox::AcceptRole);
            box->addButton(QObject::tr("取消"), QMessageBox::RejectRole);
            box->setDefaultButton(go);
            box->adjustSize();
            box->move(besideArea(recorded, box->sizeHint()));
            QObject::connect(box, &QMessageBox::finished, window,
                             [box, go, answer]() { answer(box->clickedButton() == go); });
            box->open();
        });
    watcher->setFuture(QtConcurrent::run(
        [wanted]() { return chooseMicrophone(DeviceUtil::getAudioDeviceInfo(), wanted); }));
}

void tellAfterRecording(const ScreenRecord *recorder, bool stoppedForDisk)
{
    const qint64 late = recorder ? recorder->latePictureCount() : 0;
    const qint64 total = recorder ? recorder->pictureCount() : 0;
    qInfo() << "recording ended: pictures late" << late << "of" << total;
    QStringList lines;
    if (stoppedForDisk)
        lines << RecordHealth::diskFullText();
    const QString lateText = RecordHealth::latePicturesText(late, total);
    if (!lateText.isEmpty())
        lines << lateText;
    if (!lines.isEmpty())
        showRecordNotice(lines.join('\n'));
}
