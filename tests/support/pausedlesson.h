#pragma once
// A lesson recorded by the program's own recorder for the pause finder: a window on the test
// display moves its picture except in the still spans, while a tone played into the test sink
// (which the test microphone hears) stops in the silent spans. The engine reads the screen as
// it does by default (change-driven on X11) and the microphone as it does by default.
//
// Scheduling moves every switch by tens of ms, so what really happened is measured: the file's
// time 0 is the capture clock at startRecord; a still span runs from the last picture painted
// before it to the first painted after it; a silent span from the first silent sample heard to
// the first sounding one, as the sound server's latency tells. Main thread.
#include <QList>
#include <QPair>
#include <QString>

namespace PausedLesson {

using Spans = QList<QPair<double, double>>;  // seconds of the file, from and to

struct Recorded
{
    Spans silent;        // where each planned silent span fell in the file
    Spans still;         // where each planned still span fell in the file
    double seconds = 0;  // the time from start to stop
};

// Records about `seconds` into `file` with the planned `silent` and `still` spans (sorted,
// within the recording); false with the reason in `why` when the recording did not work.
bool record(const QString &file, double seconds, const Spans &silent, const Spans &still,
            Recorded *recorded, QString *why);

// The spans inside both `a` and `b` that last at least `minimumSeconds`.
Spans common(const Spans &a, const Spans &b, double minimumSeconds);

}  // namespace PausedLesson
