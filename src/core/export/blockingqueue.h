#pragma once
// A bounded first-in first-out hand-over between two threads. push() waits while the queue is
// full, pop() waits while it is empty; both wait on conditions, never by polling. Producers
// end a stream by pushing an end marker of their own kind, so every wait ends once the other
// side keeps consuming or producing. Any thread.
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

#include <deque>
#include <utility>

template <typename T> class BlockingQueue
{
public:
    explicit BlockingQueue(int capacity) : m_capacity(capacity > 0 ? capacity : 1) {}

    void push(T item)
    {
        QMutexLocker lock(&m_mutex);
        while (int(m_items.size()) >= m_capacity)
            m_notFull.wait(&m_mutex);
        m_items.push_back(std::move(item));
        m_notEmpty.wakeOne();
    }

    T pop()
    {
        QMutexLocker lock(&m_mutex);
        while (m_items.empty())
            m_notEmpty.wait(&m_mutex);
        T item = std::move(m_items.front());
        m_items.pop_front();
        m_notFull.wakeOne();
        return item;
    }

private:
    const int m_capacity;
    QMutex m_mutex;
    QWaitCondition m_notFull;
    QWaitCondition m_notEmpty;
    std::deque<T> m_items;
};
