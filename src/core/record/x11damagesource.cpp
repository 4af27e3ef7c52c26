#include "core/record/x11damagesource.h"

#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QDebug>

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace {
// How often the pointer's place is asked for: as often as pictures may go out.
constexpr qint64 kPointerPollUs = PictureCadence::kMinSpacingUs;

template <typename Reply> struct FreeReply
{
    void operator()(Reply *reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

bool present(xcb_connection_t *connection, xcb_extension_t *extension, int *firstEvent)
{
    const xcb_query_extension_reply_t *data = xcb_get_extension_data(connection, extension);
    if (!data || !data->present)
        return false;
    *firstEvent = data->first_event;
    return true;
}
}  // namespace

X11DamageSource::X11DamageSource(const QRect &rect) : m_rect(rect) {}

X11DamageSource::~X11DamageSource()
{
    close();
    avcodec_parameters_free(&m_parameters);
}

void X11DamageSource::close()
{
    if (m_connection) {
        if (m_damage)
            xcb_damage_destroy(m_connection, m_damage);
        if (m_segment)
            xcb_shm_detach(m_connection, m_segment);
        xcb_flush(m_connection);
        xcb_disconnect(m_connection);
        m_connection = nullptr;
    }
    m_damage = 0;
    m_segment = 0;
    if (m_screen) {
        shmdt(m_screen);
        m_screen = nullptr;
    }
}

bool X11DamageSource::open(QString *error)
{
    const int width = m_rect.width();
    const int height = m_rect.height();
    if (width <= 0 || height <= 0 || width % 2 || height % 2) {
        *error = QStringLiteral("no rectangle to record: %1x%2").arg(width).arg(height);
        return false;
    }
    m_parameters = avcodec_parameters_alloc();
    m_picture = std::make_unique<YuvPicture>(m_rect.size());
    if (!m_parameters || !m_picture->isValid()) {
        *error = QStringLiteral("no memory for pictures of %1x%2").arg(width).arg(height);
        return false;
    }
    m_picture->describe(m_parameters);

    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        *error = QStringLiteral("cannot connect to the X display \"%1\"")
                     .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")));
        close();
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        *error = QStringLiteral("the X display has no screen %1").arg(screenNumber);
        close();
        return false;
    }
    const xcb_screen_t *screen = screens.data;
    m_root = screen->root;
    if (screen->root_depth != 24 && screen->root_depth != 32) {
        *error = QStringLiteral("the screen's depth is %1, not 24 or 32").arg(screen->root_depth);
        close();
        return false;
    }
    if (!QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels).contains(m_rect)) {
        *error = QStringLiteral("the rectangle is not within the screen");
        close();
        return false;
    }
    int shmEvent = 0;
    for (auto [extension, name, first] : {std::tuple{&xcb_damage_id, "DAMAGE", &m_damageEvent},
                                          std::tuple{&xcb_xfixes_id, "XFIXES", &m_fixesEvent},
                                          std::tuple{&xcb_shm_id, "MIT-SHM", &shmEvent}}) {
        if (!present(m_connection, extension, first)) {
            *error = QStringLiteral("the X server lacks the %1 extension").arg(name);
            close();
            return false;
        }
    }
    // Each extension is used only after its version was agreed on.
    ReplyPtr<xcb_damage_query_version_reply_t> damageVersion(xcb_damage_query_version_reply(
        m_connection, xcb_damage_query_version(m_connection, 1, 1), nullptr));
    ReplyPtr<xcb_xfixes_query_version_reply_t> fixesVersion(xcb_xfixes_query_version_reply(
        m_connection, xcb_xfixes_query_version(m_connection, 4, 0), nullptr));
    ReplyPtr<xcb_shm_query_version_reply_t> shmVersion(
        xcb_shm_query_version_reply(m_connection, xcb_shm_query_version(m_connection), nullptr));
    if (!damageVersion || !fixesVersion || fixesVersion->major_version < 2 || !shmVersion) {
        *error = QStringLiteral("the X server's DAMAGE, XFIXES or MIT-SHM is too old");
        close();
        return false;
    }

    const size_t bytes = size_t(width) * size_t(height) * 4;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void *memory = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void *>(-1);
    if (memory == reinterpret_cast<void *>(-1)) {
        if (id >= 0)
            shmctl(id, IPC_RMID, nullptr);
        *error = QStringLiteral("no shared memory for the screen: %1").arg(strerror(errno));
        close();
        return false;
    }
    m_screen = static_cast<uint8_t *>(memory);
    m_segment = xcb_generate_id(m_connection);
    ReplyPtr<xcb_generic_error_t> attached(
        xcb_request_check(m_connection, xcb_shm_attach_checked(m_connection, m_segment, id, 0)));
    // Gone as soon as both sides let go of it.
    shmctl(id, IPC_RMID, nullptr);
    if (attached) {
        m_segment = 0;
        *error = QStringLiteral("the X server cannot share memory with this program");
        close();
        return false;
    }
    m_damage = xcb_generate_id(m_connection);
    ReplyPtr<xcb_generic_error_t> created(xcb_request_check(
        m_connection, xcb_damage_create_checked(m_connection, m_damage, m_root,
                                                XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES)));
    if (created) {
        m_damage = 0;
        *error = QStringLiteral("the X server refuses to report drawing on the screen");
        close();
        return false;
    }
    xcb_xfixes_select_cursor_input(m_connection, m_root,
                                   XCB_XFIXES_CURSOR_NOTIFY_MASK_DISPLAY_CURSOR);
    // The first picture: the whole rectangle, read now so that a failure shows here.
    m_dirtyRows.assign(size_t(height), 0);
    markRows(0, height);
    pollPointer();
    if (!makePicture()) {
        *error = QStringLiteral("reading the screen through shared memory failed");
        close();
        return false;
    }
    m_firstPicture = true;
    m_spacing = PictureCadence();
    qInfo() << "X11DamageSource: recording" << m_rect << "from the X server's changes";
    return true;
}

void X11DamageSource::markRows(int top, int bottom)
{
    top = std::max(0, top);
    bottom = std::min(m_rect.height(), bottom);
    if (top >= bottom)
        return;
    std::fill(m_dirtyRows.begin() + top, m_dirtyRows.begin() + bottom, uint8_t(1));
    m_dirty = true;
}

void X11DamageSource::takeEvents()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        const int type = event->response_type & 0x7f;
        if (type == m_damageEvent + XCB_DAMAGE_NOTIFY) {
            const auto *notify = reinterpret_cast<const xcb_damage_notify_event_t *>(event);
            const QRect area =
                QRect(notify->area.x, notify->area.y, notify->area.width, notify->area.height)
                    .intersected(m_rect);
            if (!area.isEmpty())
                markRows(area.top() - m_rect.top(), area.bottom() + 1 - m_rect.top());
        } else if (type == m_fixesEvent + XCB_XFIXES_CURSOR_NOTIFY) {
            m_pointerImageChanged = true;
        }
        std::free(event);
    }
}

bool X11DamageSource::fetchPointerImage()
{
    ReplyPtr<xcb_xfixes_get_cursor_image_reply_t> reply(xcb_xfixes_get_cursor_image_reply(
        m_connection, xcb_xfixes_get_cursor_image(m_connection), nullptr));
    if (!reply)
        return false;
    const uint32_t *pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    const int count = xcb_xfixes_get_cursor_image_cursor_image_length(reply.get());
    m_pointer.width = reply->width;
    m_pointer.height = reply->height;
    m_pointer.hotX = reply->xhot;
    m_pointer.hotY = reply->yhot;
    if (!pixels || count < m_pointer.width * m_pointer.height)
        m_pointer.width = m_pointer.height = 0;
    else
        m_pointer.image.assign(pixels, pixels + m_pointer.width * m_pointer.height);
    m_pointerX = reply->x;
    m_pointerY = reply->y;
    return true;
}

void X11DamageSource::pollPointer()
{
    if (m_pointerImageChanged) {
        m_pointerImageChanged = false;
        if (fetchPointerImage())
            m_pointerChanged = true;
    } else {
        ReplyPtr<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(
            m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
        if (!reply)
            return;
        m_pointerX = reply->same_screen ? reply->root_x : -1000000;
        m_pointerY = reply->same_screen ? reply->root_y : -1000000;
    }
    m_pointer.box =
        QRect(m_pointerX - m_pointer.hotX - m_rect.x(), m_pointerY - m_pointer.hotY - m_rect.y(),
              m_pointer.width, m_pointer.height);
    const QRect shown = m_pointer.box.intersected(QRect(QPoint(0, 0), m_rect.size()));
    if (shown != m_shownPointerBox)
        m_pointerChanged = true;
}

bool X11DamageSource::grabRows(int top, int bottom)
{
    const qsizetype stride = qsizetype(m_rect.width()) * 4;
    ReplyPtr<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        m_connection,
        xcb_shm_get_image(m_connection, m_root, int16_t(m_rect.x()), int16_t(m_rect.y() + top),
                          uint16_t(m_rect.width()), uint16_t(bottom - top), ~0u,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment, uint32_t(top * stride)),
        nullptr));
    return reply != nullptr;
}

const uint8_t *X11DamageSource::pointerRows(int row)
{
    const qsizetype stride = qsizetype(m_rect.width()) * 4;
    const int rows = int(qsizetype(m_pointerRows.size()) / stride);
    if (row < m_pointerRowsTop || row >= m_pointerRowsTop + rows)
        return nullptr;
    return m_pointerRows.data() + (row - m_pointerRowsTop) * stride;
}

std::vector<std::pair<int, int>> X11DamageSource::dirtyBands() const
{
    std::vector<std::pair<int, int>> bands;
    const int height = m_rect.height();
    for (int row = 0; row < height;) {
        if (!m_dirtyRows[size_t(row)]) {
            ++row;
            continue;
        }
        int end = row;
        while (end < height && m_dirtyRows[size_t(end)])
            ++end;
        bands.emplace_back(row, end);
        row = end;
    }
    return bands;
}

bool X11DamageSource::makePicture()
{
    const int height = m_rect.height();
    const qsizetype stride = qsizetype(m_rect.width()) * 4;
    // The changed bands of rows, read from the screen.
    bool ok = true;
    for (const auto &[top, bottom] : dirtyBands())
        ok = grabRows(top, bottom) && ok;
    // The pointer where it is now, drawn into a copy of the rows under it.
    const QRect picture(QPoint(0, 0), m_rect.size());
    const QRect box = m_pointer.box.intersected(picture);
    if (m_pointerChanged) {
        for (const QRect &r : {m_shownPointerBox, box}) {
            if (!r.isEmpty())
                std::fill(m_dirtyRows.begin() + r.top(), m_dirtyRows.begin() + r.bottom() + 1,
                          uint8_t(1));
        }
    }
    m_pointerRows.clear();
    if (!box.isEmpty()) {
        m_pointerRowsTop = box.top() & ~1;
        const int end = std::min(height, (box.bottom() + 2) & ~1);
        m_pointerRows.assign(m_screen + m_pointerRowsTop * stride, m_screen + end * stride);
        for (int y = box.top(); y <= box.bottom(); ++y) {
            auto *row = reinterpret_cast<uint32_t *>(m_pointerRows.data() +
                                                     (y - m_pointerRowsTop) * stride);
            const uint32_t *source =
                m_pointer.image.data() + (y - m_pointer.box.top()) * m_pointer.width;
            for (int x = box.left(); x <= box.right(); ++x) {
                const uint32_t p = source[x - m_pointer.box.left()];
                const uint32_t alpha = p >> 24;
                if (alpha == 0)
                    continue;
                const uint32_t under = row[x];
                uint32_t out = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const uint32_t mixed = ((p >> shift) & 0xff) +
                                           (((under >> shift) & 0xff) * (255 - alpha) + 127) / 255;
                    out |= std::min<uint32_t>(mixed, 255) << shift;
                }
                row[x] = out;
            }
        }
    }
    m_shownPointerBox = box;
    m_pointerChanged = false;
    // Only the rows that changed are converted.
    const auto thunk = [](void *self, int row) {
        return static_cast<X11DamageSource *>(self)->pointerRows(row);
    };
    for (const auto &[top, bottom] : dirtyBands()) {
        if (!m_picture->convertRows(m_screen, stride, top, bottom, thunk, this))
            ok = false;
    }
    std::fill(m_dirtyRows.begin(), m_dirtyRows.end(), uint8_t(0));
    m_dirty = false;
    return ok;
}

PictureSource::Read X11DamageSource::read(AVPacket *packet, qint64 *captureUs, int timeoutMs)
{
    const qint64 deadline = captureClockUs() + qint64(std::max(0, timeoutMs)) * 1000;
    for (;;) {
        if (m_interrupted.load() || !m_connection || xcb_connection_has_error(m_connection))
            return Read::Ended;
        const qint64 now = captureClockUs();
        if (now >= m_nextPointerPollUs) {
            pollPointer();
            m_nextPointerPollUs = now + kPointerPollUs;
        }
        takeEvents();
        const bool changed = m_dirty || m_pointerChanged || m_firstPicture;
        if (changed)
            m_spacing.changed(now);
        const qint64 allowedUs = changed ? m_spacing.dueUs() : PictureCadence::kNever;
        if (changed && now >= allowedUs) {
            // The picture is of the moment the screen is read; its conversion after does not
            // count in the spacing, so moving content keeps up to 30 pictures a second.
            const qint64 takenUs = captureClockUs();
            if (!m_firstPicture && !makePicture())
                qWarning() << "X11DamageSource: reading the screen failed";
            m_firstPicture = false;
            if (!m_picture->takeReference(packet)) {
                qWarning() << "X11DamageSource: no memory for a picture";
                return Read::Ended;
            }
            packet->pts = packet->dts = takenUs;
            m_spacing.take(now);
            *captureUs = takenUs;
            return Read::Picture;
        }
        if (now >= deadline)
            return Read::Unchanged;
        qint64 wake = std::min(deadline, m_nextPointerPollUs);
        if (changed)
            wake = std::min(wake, allowedUs);
        pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        poll(&descriptor, 1, int(std::max<qint64>(0, wake - now + 999) / 1000));
    }
}
