#pragma once
// The widget a VlcMediaPlayer draws its picture into. Main thread only. It holds stacked native
// X11 windows of its own size ("surfaces"): the player draws the file it plays into the front
// one and opens the next file into one beneath, then raises that one when it switches; the
// others take fresh players while the ones before them are still being stopped. Deleting
// the widget first stops its player, because the video output must not outlive the window it draws
// into; deleting the player first is fine. When the surfaces get new native windows (the widget was
// moved into another window), the player is given them.
#include <QFrame>
#include <QImage>
#include <QList>
#include <QPointer>

class QTimer;
class VlcMediaPlayer;

class VlcWidgetVideo : public QFrame
{
    Q_OBJECT
public:
    explicit VlcWidgetVideo(QWidget *parent = nullptr);
    explicit VlcWidgetVideo(VlcMediaPlayer *player, QWidget *parent = nullptr);
    ~VlcWidgetVideo() override;

    // Attaches this widget to `player` (null detaches it from its current player).
    void setMediaPlayer(VlcMediaPlayer *player);
    VlcMediaPlayer *mediaPlayer() const;

    // Surfaces made at the start, and the most there may be.
    static constexpr int kSurfaces = 3;
    static constexpr int kMaxSurfaces = 12;

    // The native window of surface `index` (0 to kMaxSurfaces - 1); made, with those before
    // it, on first call.
    WId surface(int index);
    int surfaceCount() const;
    // Puts surface `index` in front of the other.
    void raiseSurface(int index);

    // A still picture over the surfaces, scaled into the widget: the project's first picture
    // while its media are still being unpacked. It stays until hidePoster(), or until the
    // video output of a file the player opened after it has been up for kPosterOverlapMs
    // (its first picture is drawn by then), so that the preview never goes black in between.
    void showPoster(const QImage &picture);
    void hidePoster();
    bool posterShown() const;
    static constexpr int kPosterOverlapMs = 120;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<VlcMediaPlayer> m_player;
    void addSurface();

    QList<QWidget *> m_surfaces;
    QWidget *m_poster = nullptr;  // made on first use
    // Hides the poster once the player's picture is up. Only a video output of a file opened
    // after the poster came counts: the one before may report late.
    QTimer *m_posterTimer = nullptr;
    bool m_posterWaitsForOpen = false;
    int m_front = 0;
    bool m_surfacesChanging = false;  // a hand-over of new surface windows is queued
};
