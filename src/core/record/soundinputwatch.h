#pragma once
// SoundInputWatch: which source the sound server records for one of this program's recording
// streams, found by its stream name, asked every half second. The server may move a recording
// to another source by itself (a USB microphone unplugged, another input chosen in the
// desktop's sound settings) and tells nobody; the recorder tells the teacher.
//
// Threads: the watch asks on a thread of its own and calls `changed` there, once at the first
// answer and then whenever the source differs from the last one reported. Constructed and
// destroyed on any one thread; the destructor stops and waits for the thread.
#include "core/record/deviceutil.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class SoundInputWatch
{
public:
    using Changed = std::function<void(const TDeviceInfo &source)>;

    SoundInputWatch(const QByteArray &streamName, Changed changed);
    ~SoundInputWatch();
    SoundInputWatch(const SoundInputWatch &) = delete;
    SoundInputWatch &operator=(const SoundInputWatch &) = delete;

    static constexpr int kIntervalMs = 500;

private:
    void watchInThread();
    // Waits `ms` or until stopped; false when stopped.
    bool pause(int ms);

    QByteArray m_streamName;
    Changed m_changed;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};
