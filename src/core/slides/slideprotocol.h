#pragma once
// What the presentation recording window and the slide-show agent (lumora_slide_agent) agree
// on: where the agent finds the window's local server, and the words and messages they
// exchange. The agent shows nothing itself: it converts the presentation and renders its pages
// with Poppler at the sizes the window asks for; the window shows and records those pictures.
//
// One message is one line of UTF-8 text; the agent sends JSON objects
// {"cmd_type": ..., "value": ...}, the window sends words ("render" with its numbers). A
// "page_picture" line is followed on the socket by the picture's bytes: `height` rows of
// `width` pixels, 4 bytes each, as QImage::Format_RGB32 keeps them (0xffRRGGBB in the
// machine's byte order), top row first. Header only, so that the agent uses it without linking
// the program's libraries. Any thread.
#include <QByteArray>
#include <QString>

namespace SlideProtocol {

// The local server of the window numbered `key` (unique in its process) in the process
// `containerPid`. The process id keeps two copies of the program apart.
inline QString serverName(qint64 containerPid, quint64 key)
{
    return QStringLiteral("lumora-slides-%1-%2").arg(containerPid).arg(key);
}

// Words to the agent.
inline constexpr char kHeartbeat[] = "heartbeat";
inline constexpr char kClose[] = "close";
// "render <page> <width> <height>": page from 1, the picture's size in pixels. The page is
// fitted into that size keeping its shape; what it leaves is black.
inline constexpr char kRender[] = "render";

// Message types from the agent.
// While LibreOffice converts the presentation: value = milliseconds since it began.
inline constexpr char kPptConverting[] = "ppt_converting";
inline constexpr char kPptSize[] = "ppt_size";    // value: "W_H" of the first slide, in points
inline constexpr char kPptPages[] = "ppt_pages";  // value: how many slides; sent after ppt_size
// value: {"page", "width", "height", "bytes"}; the picture's bytes follow the line.
inline constexpr char kPagePicture[] = "page_picture";
// value: {"page", "width", "height"}: that page could not be rendered.
inline constexpr char kPageFailed[] = "page_failed";

// The largest picture either side makes or accepts, each way.
inline constexpr int kMaxPictureSide = 8192;
// The bytes of a picture of `width` x `height`, or -1 when no such picture is allowed.
inline qint64 pictureBytes(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return -1;
    return width * height * 4;
}

// How the agent ends (its exit status), so that the window can tell the teacher why.
enum AgentExit {
    kExitDone = 0,             // ended as asked, or the window went away
    kExitUnreadable = 1,       // missing, damaged, password-protected or not a presentation
    kExitUsage = 2,            // wrong command line
    kExitNoWindow = 3,         // the window that started it could not be reached
    kExitNoLibreOffice = 4,    // a presentation needs LibreOffice, which is not installed
    kExitConvertTimedOut = 5,  // LibreOffice took too long
};

// The longest line either side accepts; a longer one is thrown away unread.
inline constexpr int kMaxLineBytes = 4096;

// Cuts what arrives on the socket into lines, without keeping more than about kMaxLineBytes of
// a line that has not ended yet: such a line is dropped whole, up to its end. A picture's bytes
// are taken with nextBytes before the next line is asked for.
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

    // The next `count` bytes as they came (a picture after its line); false while fewer are
    // waiting.
    bool nextBytes(qsizetype count, QByteArray *bytes)
    {
        if (m_buffer.size() < count)
            return false;
        *bytes = m_buffer.left(count);
        m_buffer.remove(0, count);
        return true;
    }
    qsizetype waiting() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
    bool m_discarding = false;  // inside a line longer than the protocol allows
};

}  // namespace SlideProtocol
