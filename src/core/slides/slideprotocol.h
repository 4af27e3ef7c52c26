#pragma once
// What the presentation recording window and the slide-show agent (lumora_slide_agent) agree
// on: where the agent finds the window's local server, and the words and message types they
// exchange. One message is one line of UTF-8 text; the agent sends JSON objects
// {"cmd_type": ..., "value": ...}, the window sends plain words. Header only, so that the
// agent uses it without linking the program's libraries. Any thread.
#include <QByteArray>
#include <QString>

namespace SlideProtocol {

// The local server of the container whose native window is `containerWinId`, in the process
// `containerPid`. The process id keeps two copies of the program (or two test displays whose
// window ids happen to agree) apart.
inline QString serverName(qint64 containerPid, quint64 containerWinId)
{
    return QStringLiteral("lumora-slides-%1-%2").arg(containerPid).arg(containerWinId);
}

// The title of the agent's slide-show window contains this text.
inline QString windowTitleMark()
{
    return QStringLiteral("幻灯片放映");
}

// Words to the agent.
inline constexpr char kHeartbeat[] = "heartbeat";
inline constexpr char kPreviousPage[] = "previous_page";
inline constexpr char kNextPage[] = "next_page";
inline constexpr char kClose[] = "close";

// Message types from the agent.
inline constexpr char kWindowHwnd[] = "window_hwnd";  // value: its window id (number)
inline constexpr char kPptPage[] = "ppt_page";        // value: current slide, from 1
inline constexpr char kPptSize[] = "ppt_size";        // value: "W_H" of the slides
// While LibreOffice converts the presentation: value = milliseconds since it began.
inline constexpr char kPptConverting[] = "ppt_converting";

// How the agent ends (its exit status), so that the window can tell the teacher why.
enum AgentExit {
    kExitDone = 0,             // ended as asked, or its window went away
    kExitUnreadable = 1,       // missing, damaged, password-protected or not a presentation
    kExitUsage = 2,            // wrong command line
    kExitNoWindow = 3,         // the window that started it could not be reached
    kExitNoLibreOffice = 4,    // a presentation needs LibreOffice, which is not installed
    kExitConvertTimedOut = 5,  // LibreOffice took too long
};

// The longest line either side accepts; a longer one is thrown away unread.
inline constexpr int kMaxLineBytes = 4096;

// Cuts what arrives on the socket into lines, without keeping more than about kMaxLineBytes of
// a line that has not ended yet: such a line is dropped whole, up to its end.
class LineReader
{
public:
    void append(const QByteArray &bytes) { m_buffer += bytes; }

    // The next whole line, without its '\n'; false when no whole line is waiting.
    bool next(QByteArray *line)
    {
        for (;;) {
            const int end = m_buffer.indexOf('\n');
            if (end < 0) {
                if (m_buffer.size() > kMaxLineBytes) {
                    m_buffer.clear();
                    m_discarding = true;
                }
                return false;
            }
            *line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            if (!m_discarding)
                return true;
            m_discarding = false;
        }
    }

private:
    QByteArray m_buffer;
    bool m_discarding = false;  // inside a line longer than the protocol allows
};

}  // namespace SlideProtocol
