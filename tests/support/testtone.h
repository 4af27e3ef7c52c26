#pragma once
// A sine tone played into the test sink ("lumora_sink"), which the test microphone
// ("lumora_mic") hears. The constructor returns once the microphone really hears it: a
// playback stream only starts sounding when its buffer has filled, and a busy machine is slow
// to start the player, so a recording started right after launching it would begin in silence.
#include <QProcess>

class TestTone
{
public:
    explicit TestTone(int frequencyHz = 660);
    // The tone played into `sink`, heard on the source `heardOn`; with `noiseAmplitude`, white
    // noise of that amplitude (of full scale) is added, as a fan in the room would.
    TestTone(int frequencyHz, const QString &sink, const QString &heardOn,
             double noiseAmplitude = 0);
    ~TestTone();
    TestTone(const TestTone &) = delete;
    TestTone &operator=(const TestTone &) = delete;

    // Whether the microphone heard the tone within the constructor's time limit (10 s).
    bool isHeard() const { return m_heard; }

private:
    QProcess m_player;
    bool m_heard = false;
};
