#include "core/recovery/projectrecovery.h"

#include "core/media/ffmpeghandles.h"
#include "core/project/projectdata.h"
#include "core/record/mp4rewrite.h"
#include "core/storage/infocommand.h"
#include "core/storage/projectindex.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <limits>
#include <vector>

namespace {
// Lengths measured in different ways (the container's, the packets') differ by a rounding.
constexpr qint64 kRoundingMs = 50;

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}
}  // namespace

QStringList ProjectRecovery::candidateFolders()
{
    QStringList folders{ProjectData::defaultProjectDir()};
    // dataDir() names "<data>/<md5>/"; its parent holds the working folders of all packed files.
    const QString dataRoot = QFileInfo(QDir::cleanPath(dataDir(QString()))).absolutePath();
    const QFileInfoList subfolders =
        QDir(dataRoot).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    const QString temp = QDir::cleanPath(QDir(ProjectData::defaultProjectDir()).absolutePath());
    for (const QFileInfo &info : subfolders)
        if (QDir::cleanPath(info.absoluteFilePath()) != temp)
            folders.append(withSlash(info.absoluteFilePath()));
    return folders;
}

bool ProjectRecovery::inspect(const QString &folder, InterruptedProject *found)
{
    if (!WorkingFolderMark::exists(folder))
        return false;
    InterruptedProject project;
    project.folder = withSlash(folder);
    // A mark that cannot be read names no running process; the project in the folder is
    // offered without a packed file.
    WorkingFolderMark::read(folder, &project.mark);
    if (project.mark.processIsRunning())
        return false;
    // No index yet: the folder was taken and the program ended before its first clip. An
    // empty file is one too: the first index, naming no clips, is not forced to the disk, and
    // after a power cut only its name may be there.
    const QString index = QDir(folder).filePath(QStringLiteral("pro.lsnc"));
    const QFileInfo indexInfo(index);
    if (!indexInfo.exists() || indexInfo.size() == 0)
        return false;
    QList<QJsonObject> objects;
    project.indexReadable = readProjectIndexFile(index, &objects, &project.indexError);
    if (project.indexReadable) {
        if (objects.isEmpty())
            return false;
        for (const QJsonObject &json : objects) {
            AVData clip = AVData::fromJson(json);
            clip.filePath = QStringLiteral("%1/%2").arg(project.folder, clip.fileName);
            project.clips.append(clip);
        }
        project.heldByPackedFile =
            !project.mark.filePath.isEmpty() && packedFileHolds(project.mark.filePath, project);
    }
    *found = project;
    return true;
}

bool ProjectRecovery::packedFileHolds(const QString &packedFile, const InterruptedProject &project)
{
    PackedProjectContents packed;
    QString error;
    if (!readPackedProjectContents(packedFile, &packed, &error) ||
        packed.clips.size() != project.clips.size())
        return false;
    // Positions are derived; everything else of a clip is the teacher's work.
    const auto comparable = [](const AVData &clip) {
        QJsonObject json = clip.toJson();
        json.remove(QStringLiteral("position"));
        return json;
    };
    for (int i = 0; i < project.clips.size(); ++i) {
        const AVData &clip = project.clips.at(i);
        if (comparable(AVData::fromJson(packed.clips.at(i))) != comparable(clip))
            return false;
        const QFileInfo media(clip.filePath);
        if (!media.isFile() || packed.memberSizes.value(clip.fileName, -1) != media.size())
            return false;
    }
    return true;
}

QList<InterruptedProject> ProjectRecovery::findInterrupted(const QStringList &folders)
{
    QList<InterruptedProject> found;
    for (const QString &folder : folders) {
        InterruptedProject project;
        if (inspect(folder, &project))
            found.append(project);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const InterruptedProject &a, const InterruptedProject &b) {
                         return a.mark.writtenMs > b.mark.writtenMs;
                     });
    return found;
}

bool ProjectRecovery::isFragmentedMp4(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    qint64 pos = 0;
    while (pos + 8 <= size) {
        if (!file.seek(pos))
            return false;
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return false;
        quint64 boxSize = qFromBigEndian<quint32>(header.constData());
        const QByteArray type = header.mid(4, 4);
        if (type == "moof")
            return true;
        if (boxSize == 1) {
            if (header.size() < 16)
                return false;
            boxSize = qFromBigEndian<quint64>(header.constData() + 8);
        } else if (boxSize == 0) {
            return false;  // the last box runs to the end of the file
        }
        if (boxSize < 8)
            return false;
        pos += qint64(boxSize);
    }
    return false;
}

ProjectRecovery::Probe ProjectRecovery::probe(const QString &path)
{
    Probe result;
    int ret = 0;
    ffmpeg::InputFormatContextPtr in = ffmpeg::openInput(path, &ret);
    if (!in || (ret = avformat_find_stream_info(in.get(), nullptr)) < 0) {
        qWarning() << "ProjectRecovery: cannot read" << path << ffmpeg::errorText(ret);
        return result;
    }
    int index = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0) {
        result.width = in->streams[index]->codecpar->width;
        result.height = in->streams[index]->codecpar->height;
    } else {
        index = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    }
    if (index < 0)
        return result;
    ffmpeg::PacketPtr pkt = ffmpeg::makePacket();
    if (!pkt)
        return result;
    // Per stream: the first time stamp and the end of the last packet.
    std::vector<qint64> first(in->nb_streams, std::numeric_limits<qint64>::max());
    std::vector<qint64> end(in->nb_streams, std::numeric_limits<qint64>::min());
    // A file cut off in the middle of a fragment ends in a read error; what came before counts.
    while (av_read_frame(in.get(), pkt.get()) >= 0) {
        const unsigned s = unsigned(pkt->stream_index);
        if (s < in->nb_streams && pkt->pts != AV_NOPTS_VALUE &&
            !(pkt->flags & AV_PKT_FLAG_CORRUPT)) {
            first[s] = std::min<qint64>(first[s], pkt->pts);
            end[s] = std::max<qint64>(end[s], pkt->pts + std::max<qint64>(pkt->duration, 0));
        }
        av_packet_unref(pkt.get());
    }
    const auto lengthMs = [&](unsigned s) -> qint64 {
        if (end[s] <= first[s])
            return -1;
        const AVStream *stream = in->streams[s];
        qint64 start = first[s];
        if (stream->start_time != AV_NOPTS_VALUE)
            start = std::min<qint64>(stream->start_time, start);
        return av_rescale_q(end[s] - std::max<qint64>(start, 0), stream->time_base,
                            AVRational{1, 1000});
    };
    result.durationMs = lengthMs(unsigned(index));
    for (unsigned s = 0; s < in->nb_streams; ++s)
        result.endMs = std::max(result.endMs, lengthMs(s));
    return result.durationMs > 0 ? result : Probe{};
}

ProjectRecovery::Repair ProjectRecovery::repair(const InterruptedProject &project)
{
    Repair repair;
    QHash<QString, Probe> probed;
    QSet<QString> fragmented;
    for (const AVData &original : project.clips) {
        const QString path = original.filePath;
        if (!probed.contains(path)) {
            if (QFileInfo(path).isFile() && isFragmentedMp4(path)) {
                fragmented.insert(path);
                // As the end of a normal recording does; a failure keeps the fragmented file.
                if (Mp4Rewrite::rewriteAsRegular(path))
                    repair.rewritten.append(path);
                else
                    qWarning() << "ProjectRecovery: keeping the fragmented file" << path;
            }
            probed.insert(path, QFileInfo(path).isFile() ? probe(path) : Probe{});
        }
        const Probe info = probed.value(path);
        AVData clip = original;
        const QString name = clip.title.isEmpty() ? clip.fileName : clip.title;
        if (info.durationMs <= 0) {
            qWarning().noquote() << "ProjectRecovery: dropped" << name
                                 << "- its file holds nothing playable:" << path;
            repair.dropped.append(name);
            continue;
        }
        // A clip still being recorded has no span yet: it runs to the end of the picture
        // written, as the end of a recording sets it. Other spans stay as they were unless
        // they reach past what the file holds.
        const bool unfinished = clip.endTime <= clip.beginTime;
        if (unfinished)
            clip.endTime = info.durationMs;
        if (clip.endTime > info.endMs + kRoundingMs)
            clip.endTime = info.endMs;
        clip.beginTime = std::max<qint64>(clip.beginTime, 0);
        if (clip.beginTime >= clip.endTime) {
            qWarning().noquote() << "ProjectRecovery: dropped" << name
                                 << "- its span lies past the end of" << path;
            repair.dropped.append(name);
            continue;
        }
        // A recording's length is set when it ends; one cut off has none or a stale one.
        if (unfinished || clip.duration <= 0 || clip.duration > info.endMs + kRoundingMs ||
            fragmented.contains(path))
            clip.duration = info.durationMs;
        if (clip.videoWidth <= 0 || clip.videoHeight <= 0) {
            clip.videoWidth = info.width;
            clip.videoHeight = info.height;
        }
        repair.clips.append(clip);
    }
    return repair;
}

void ProjectRecovery::load(ProjectData *project, const InterruptedProject &found,
                           const QList<AVData> &clips)
{
    project->clear();
    project->setFilePath(found.mark.filePath);
    project->setProjectDir(found.folder);
    project->setAvDatas(clips);
    project->markUnsaved();
}

bool ProjectRecovery::discard(const QString &folder)
{
    // The mark goes first: a folder half removed is not offered again.
    WorkingFolderMark::remove(folder);
    return QDir(folder).removeRecursively();
}
