#pragma once
// A thin bar that shows the microphone's level while recording (and on the settings page):
// green, orange near full scale, red at it; nothing at all while muted or silent. Main thread
// only.
#include <QWidget>

class SoundLevelMeter : public QWidget
{
    Q_OBJECT
public:
    // The bar starts at this level; quieter sound shows nothing.
    static constexpr double kFloorDb = -60.0;

    explicit SoundLevelMeter(QWidget *parent = nullptr);

    // dBFS; soundlevel::kSilentDb (or anything under the floor) shows nothing.
    void setLevel(double db);
    // The part of the width the bar fills, 0 to 1.
    double fill() const;
    double level() const { return m_db; }
    // The colour of the empty bar (a faint white by default, for the dark recording bars).
    void setTrackColour(const QColor &colour);
    QSize sizeHint() const override { return QSize(80, 4); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_db = -120.0;
    QColor m_track{255, 255, 255, 40};
};
