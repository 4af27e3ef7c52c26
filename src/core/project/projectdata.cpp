#include "core/project/projectdata.h"
#include "core/platform/filesync.h"

#include "core/platform/apppaths.h"
#include "core/storage/projectindex.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSettings>
#include <QThreadPool>
#include <QUuid>

ProjectData *ProjectData::instance()
{
    static ProjectData *project = new ProjectData;
    return project;
}

ProjectData::ProjectData()
{
    connect(this, &ProjectData::sig_ClipsChanged, this, [this] { ++m_clipsVersion; });
    reset();
}

ProjectData::~ProjectData()
{
    waitForIndexWrites();
}

void ProjectData::setProjectDir(const QString &dir)
{
    m_projectDir = dir;
    for (AVData &d : m_avDatas)
        d.filePath = QStringLiteral("%1/%2").arg(m_projectDir, d.fileName);
    emit sig_FolderChanged();
}

void ProjectData::setFilePath(const QString &path)
{
    if (m_filePath == path)
        return;
    m_filePath = path;
    emit sig_FolderChanged();
}

QString ProjectData::indexFilePath() const
{
    return QStringLiteral("%1/pro.lsnc").arg(m_projectDir);
}

QString ProjectData::coverPath() const
{
    return QStringLiteral("%1/Cover.png").arg(m_projectDir);
}

int ProjectData::indexOf(const AVData &clip) const
{
    for (int i = 0; i < m_avDatas.size(); ++i)
        if (m_avDatas.at(i).uuid == clip.uuid)
            return i;
    return -1;
}

void ProjectData::recomputePositions(int from)
{
    if (from < 0)
        from = 0;
    qint64 p = 0;
    if (from > 0 && from <= m_avDatas.size()) {
        const AVData &prev = m_avDatas.at(from - 1);
        p = prev.position + prev.length();
    }
    for (int k = from; k < m_avDatas.size(); ++k) {
        m_avDatas[k].position = p;
        p += m_avDatas.at(k).length();
    }
}

void ProjectData::insert(int index, const AVData &clip)
{
    if (index < 0 || index > m_avDatas.size())
        index = m_avDatas.size();
    m_avDatas.insert(index, clip);
    recomputePositions(index);
    emit sig_ClipsChanged();
}

void ProjectData::replace(const AVData &clip)
{
    const int i = indexOf(clip);
    if (i < 0)
        return;
    m_avDatas.removeAt(i);
    insert(i, clip);
}

void ProjectData::removeAt(int index)
{
    if (index < 0 || index >= m_avDatas.size())
        return;
    m_avDatas.removeAt(index);
    recomputePositions(index);
    emit sig_ClipsChanged();
}

void ProjectData::setAvDatas(const QList<AVData> &clips)
{
    m_avDatas = clips;
    recomputePositions(0);
    emit sig_ClipsChanged();
}

void ProjectData::setDuration(const QString &path, qint64 durationMs)
{
    const QFileInfo target(path);
    for (AVData &d : m_avDatas)
        if (QFileInfo(d.filePath) == target)
            d.duration = durationMs;
    emit sig_ClipsChanged();
}

ClipAtResult ProjectData::clipAt(qint64 timeMs) const
{
    ClipAtResult result;
    if (timeMs < 0 || m_avDatas.isEmpty())
        return result;
    for (const AVData &d : m_avDatas) {
        if (d.position <= timeMs && timeMs < d.position + d.length()) {
            result.clip = d;
            result.offset = timeMs - d.position;
            return result;
        }
    }
    result.clip = m_avDatas.last();
    result.offset = result.clip.length();
    return result;
}

AVData ProjectData::newClip(const QString &fileName) const
{
    AVData d;
    QString name = fileName;
    if (name.isEmpty())
        name = QStringLiteral("%1.mp4").arg(QUuid::createUuid().toString());
    QString candidate = QStringLiteral("%1%2").arg(m_projectDir, name);
    int counter = 2;
    while (QFileInfo::exists(candidate)) {
        const int dot = name.lastIndexOf('.');
        const QString stem = dot < 0 ? name : name.left(dot);
        const QString ext = dot < 0 ? QString() : name.mid(dot);
        name = QStringLiteral("%1_%2%3").arg(stem).arg(counter++).arg(ext);
        candidate = QStringLiteral("%1%2").arg(m_projectDir, name);
    }
    d.fileName = name;
    d.filePath = candidate;
    return d;
}

void ProjectData::markSaved()
{
    m_savedAvDatas = m_avDatas;
}

void ProjectData::markUnsaved()
{
    m_savedAvDatas.clear();
}

bool ProjectData::isModified() const
{
    if (m_avDatas.size() != m_savedAvDatas.size())
        return true;
    for (int i = 0; i < m_avDatas.size(); ++i)
        if (m_avDatas.at(i).uuid != m_savedAvDatas.at(i).uuid)
            return true;
    return false;
}

void ProjectData::clear()
{
    m_avDatas.clear();
    m_savedAvDatas.clear();
    m_projectDir.clear();
    m_filePath.clear();
    emit sig_ClipsChanged();
    emit sig_FolderChanged();
}

void ProjectData::reset()
{
    clear();
    setProjectDir(defaultProjectDir());
}

QVariant ProjectData::toVariant() const
{
    QVariantList list;
    for (const AVData &d : m_avDatas)
        list.append(QVariant(d.toJson()));
    return list;
}

static QJsonObject toJsonObject(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::QJsonObject)
        return v.toJsonObject();
    return QJsonObject::fromVariantMap(v.toMap());
}

void ProjectData::fromVariant(const QVariant &variant)
{
    const QVariantList list = variant.toList();
    for (const QVariant &v : list)
        m_avDatas.append(clipInFolder(toJsonObject(v), m_projectDir));
    emit sig_ClipsChanged();
}

AVData ProjectData::clipInFolder(const QJsonObject &entry, const QString &folder)
{
    AVData clip = AVData::fromJson(entry);
    clip.filePath = QStringLiteral("%1/%2").arg(folder, clip.fileName);
    return clip;
}

namespace {
// What tells a file from an earlier version of it.
QString fileStamp(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() ? QStringLiteral("%1/%2/%3")
                               .arg(info.size())
                               .arg(info.lastModified().toMSecsSinceEpoch())
                               .arg(info.metadataChangeTime().toMSecsSinceEpoch())
                         : QString();
}

// Writes `avDatas` as the index `target`: QSettings writes a temporary file beside it (it
// merges with what a file holds, so it starts from none); the rename is ours, after the bytes
// are on disk as `durability` asks.
bool writeIndexFile(const QString &target, const QVariant &avDatas, Durability durability)
{
    const QString temporary = target + QStringLiteral(".tmp");
    QFile::remove(temporary);
    {
        QSettings index(temporary, QSettings::IniFormat);
        index.setValue("avDatas", avDatas);
        index.sync();
        if (index.status() != QSettings::NoError) {
            qWarning() << "writeIndex: cannot write" << temporary;
            QFile::remove(temporary);
            return false;
        }
    }
    if (!replaceDurably(temporary, target, durability)) {
        qWarning() << "writeIndex: cannot replace" << target;
        return false;
    }
    return true;
}

QThreadPool *indexWriter()
{
    // Never destroyed: every project waits for its writes before it goes.
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return pool;
}
}  // namespace

bool ProjectData::indexUpToDate(const QString &target)
{
    {
        QMutexLocker lock(&m_indexWriteMutex);
        if (m_finishedWrite) {
            m_writtenVersion = m_finishedWrite->version;
            m_writtenIndex = m_finishedWrite->target;
            m_writtenStamp = m_finishedWrite->stamp;
            m_finishedWrite.reset();
        }
    }
    // The editor and the folder's keeper both write after an edit; the second write would
    // change nothing, unless something else has touched the file since.
    return m_writtenVersion == m_clipsVersion && m_writtenIndex == target &&
           fileStamp(target) == m_writtenStamp;
}

bool ProjectData::writeIndex()
{
    waitForIndexWrites();
    const QString target = indexFilePath();
    if (indexUpToDate(target))
        return true;
    Durability durability = Durability::ToDisk;
    if (m_avDatas.isEmpty()) {
        QList<QJsonObject> onDisk;
        if (!QFileInfo::exists(target))
            durability = Durability::Lazily;
        else if (readProjectIndexFile(target, &onDisk, nullptr) && onDisk.isEmpty())
            return true;  // it says so already
    }
    if (!writeIndexFile(target, toVariant(), durability))
        return false;
    m_writtenVersion = m_clipsVersion;
    m_writtenIndex = target;
    m_writtenStamp = fileStamp(target);
    return true;
}

void ProjectData::writeIndexInBackground()
{
    if (m_avDatas.isEmpty()) {
        writeIndex();
        return;
    }
    const QString target = indexFilePath();
    if (indexUpToDate(target))
        return;
    {
        QMutexLocker lock(&m_indexWriteMutex);
        if (m_indexWriting && m_handedVersion == m_clipsVersion && m_handedIndex == target)
            return;  // on its way
    }
    IndexWrite write{target, toVariant(), m_clipsVersion, QString()};
    QMutexLocker lock(&m_indexWriteMutex);
    m_handedVersion = m_clipsVersion;
    m_handedIndex = target;
    m_waitingWrite = std::move(write);
    if (m_indexWriting)
        return;  // the running job takes it next
    m_indexWriting = true;
    indexWriter()->start([this] { runIndexWrites(); });
}

void ProjectData::runIndexWrites()
{
    QMutexLocker lock(&m_indexWriteMutex);
    while (m_waitingWrite) {
        IndexWrite write = std::move(*m_waitingWrite);
        m_waitingWrite.reset();
        lock.unlock();
        // QSettings would make a folder that has gone (the editor closed) again.
        const bool written = QFileInfo(QFileInfo(write.target).path()).isDir() &&
                             writeIndexFile(write.target, write.avDatas, Durability::ToDisk);
        if (written)
            write.stamp = fileStamp(write.target);
        lock.relock();
        if (written)
            m_finishedWrite = std::move(write);
    }
    m_indexWriting = false;
    m_indexWritesDone.wakeAll();
}

void ProjectData::waitForIndexWrites()
{
    QMutexLocker lock(&m_indexWriteMutex);
    while (m_indexWriting)
        m_indexWritesDone.wait(&m_indexWriteMutex);
}

QList<QJsonObject> ProjectData::readIndexObjects(const QString &indexFile)
{
    QList<QJsonObject> objects;
    QSettings index(indexFile, QSettings::IniFormat);
    const QVariantList list = index.value("avDatas").toList();
    for (const QVariant &v : list)
        objects.append(toJsonObject(v));
    return objects;
}

static QString md5Hex(const QString &path)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString ProjectData::defaultProjectDir()
{
    return AppPaths::filePath(AppPaths::Kind::Data, QStringLiteral("data/temp/"));
}

QString dataDir(const QString &path)
{
    return AppPaths::filePath(AppPaths::Kind::Data, QStringLiteral("data/%1/").arg(md5Hex(path)));
}

QString cacheDir(const QString &path)
{
    return AppPaths::filePath(AppPaths::Kind::Cache, QStringLiteral("cache/%1/").arg(md5Hex(path)));
}
