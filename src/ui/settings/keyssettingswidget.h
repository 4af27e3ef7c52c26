#pragma once
// The settings page's "快捷键" section: the keys that pause/continue and stop a recording, turn
// the pen and the laser pointer on and off and clear the drawing, from any window while a
// recording window is open (GlobalKeys). Each key can be changed (kept in "conf.ini" at once)
// or all put back to the defaults. A line says whether the desktop lets the keys work from
// other windows; each time the page is shown, a key another program holds is named with a
// line under it (X11; a desktop portal reports no such thing). Main thread only.
#include <QList>
#include <QWidget>

class QKeySequenceEdit;
class QLabel;

class KeysSettingsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit KeysSettingsWidget(QWidget *parent = nullptr);

    // Shows the keys as stored and looks again for keys another program holds.
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void apply(int action, const QKeySequence &typed);

    QList<QKeySequenceEdit *> m_edits;
    QList<QLabel *> m_states;
    QLabel *m_route = nullptr;
    QLabel *m_error = nullptr;
    bool m_filling = false;
};
