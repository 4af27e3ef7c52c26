#include "core/platform/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace {

// An XDG base folder: the variable when it holds an absolute path (relative ones are to be
// ignored), else the default under the home folder.
QString baseFolder(const QProcessEnvironment &environment, const char *variable,
                   const QString &home, const char *fallback)
{
    const QString value = environment.value(QString::fromLatin1(variable));
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(home + QLatin1Char('/') + QLatin1String(fallback));
}

const AppPaths::Folders &folders()
{
    // Thread-safe initialisation; the application object must exist by now.
    static const AppPaths::Folders decided = [] {
        const QString app = QCoreApplication::applicationDirPath();
        return AppPaths::decide(app, AppPaths::isInstalled(app),
                                QProcessEnvironment::systemEnvironment(), QDir::homePath());
    }();
    return decided;
}

}  // namespace

bool AppPaths::isInstalled(const QString &applicationFolder)
{
    const QByteArray path = QFile::encodeName(applicationFolder);
    // access() also sees a read-only mount, which the permission bits do not show to root.
    if (path.isEmpty() || ::access(path.constData(), W_OK) != 0)
        return true;
    const QString entry = QStringLiteral("%1/../share/applications/%2")
                              .arg(applicationFolder, QLatin1String(kDesktopEntryName));
    return QFileInfo::exists(entry);
}

AppPaths::Folders AppPaths::decide(const QString &applicationFolder, bool installed,
                                   const QProcessEnvironment &environment, const QString &home)
{
    if (!installed) {
        const QString app = QDir::cleanPath(applicationFolder);
        return {app, app, app};
    }
    const QString name = QLatin1Char('/') + QLatin1String(kFolderName);
    return {baseFolder(environment, "XDG_CONFIG_HOME", home, ".config") + name,
            baseFolder(environment, "XDG_DATA_HOME", home, ".local/share") + name,
            baseFolder(environment, "XDG_CACHE_HOME", home, ".cache") + name};
}

QString AppPaths::folder(Kind kind)
{
    const Folders &f = folders();
    const QString &path = kind == Kind::Config ? f.config : kind == Kind::Data ? f.data : f.cache;
    if (!QFileInfo(path).isDir())
        QDir().mkpath(path);
    return path;
}

QString AppPaths::filePath(Kind kind, const QString &relative)
{
    return folder(kind) + QLatin1Char('/') + relative;
}

bool AppPaths::usesApplicationFolder()
{
    return folders().config == QDir::cleanPath(QCoreApplication::applicationDirPath());
}
