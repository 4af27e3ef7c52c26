#include "core/export/exportmp4layout.h"

#include "core/media/ffmpeghandles.h"
#include "core/media/mp4copy.h"

#include <QFile>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

namespace exportlayout {

QList<Chapter> chaptersFor(const QList<AVData> &clips, qint64 totalMs)
{
    QList<Chapter> chapters;
    QString previous;
    for (int i = 0; i < clips.size(); ++i) {
        const AVData &clip = clips.at(i);
        const QString title = clip.title.trimmed();
        if (!title.isEmpty() && (i == 0 || title != previous) && clip.position < totalMs) {
            if (!chapters.isEmpty())
                chapters.last().endMs = clip.position;
            chapters.append(Chapter{clip.position, totalMs, title});
        }
        previous = title;
    }
    // Two titles starting at the same time (an empty span between them) keep the later one.
    for (int i = chapters.size() - 1; i > 0; --i) {
        if (chapters.at(i - 1).startMs >= chapters.at(i).startMs)
            chapters.removeAt(i - 1);
    }
    return chapters;
}

bool addChapters(AVFormatContext *out, const QList<Chapter> &chapters)
{
    for (const Chapter &chapter : chapters) {
        auto *added = static_cast<AVChapter *>(av_mallocz(sizeof(AVChapter)));
        if (!added)
            return false;
        added->id = int64_t(out->nb_chapters) + 1;
        added->time_base = AVRational{1, 1000};
        added->start = chapter.startMs;
        added->end = chapter.endMs;
        int count = int(out->nb_chapters);
        if (av_dict_set(&added->metadata, "title", chapter.title.toUtf8().constData(), 0) < 0 ||
            av_dynarray_add_nofree(&out->chapters, &count, added) < 0) {
            av_dict_free(&added->metadata);
            av_free(added);
            return false;
        }
        out->nb_chapters = unsigned(count);
    }
    return true;
}

void addFastStartOption(AVDictionary **options)
{
    av_dict_set(options, "movflags", "+faststart", AV_DICT_APPEND);
}

bool indexComesFirst(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 end = file.size();
    qint64 at = 0;
    while (at + 8 <= end && file.seek(at)) {
        const QByteArray head = file.read(16);
        if (head.size() < 8)
            return false;
        quint64 size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | quint8(head.at(i));
        if (size == 1 && head.size() == 16) {
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | quint8(head.at(i));
        }
        const QByteArray type = head.mid(4, 4);
        if (type == "moov")
            return true;
        if (type == "mdat" || type == "moof" || size < 8)
            return false;
        at += qint64(size);
    }
    return false;
}

bool copyIndexFirst(const QString &source, const QString &target, const QList<Chapter> &chapters,
                    QString *reason)
{
    if (chapters.isEmpty() && indexComesFirst(source)) {
        if (QFile::copy(source, target))
            return true;
        *reason = QStringLiteral("copy %1 to %2 failed").arg(source, target);
        return false;
    }
    return mp4copy::copyStreams(source, target, reason,
                                [&chapters](AVFormatContext *out, AVDictionary **options) {
                                    addFastStartOption(options);
                                    return addChapters(out, chapters);
                                });
}

}  // namespace exportlayout
