// The English translation: every text of the code is translated (lupdate finds nothing new or
// unfinished), each translation keeps its source's placeholders, and the program carries it.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Message
{
    QString context;
    QString source;
    QString translation;
    bool unfinished = false;
};

QList<Message> readTs(const QString &path)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            message = Message{context, xml.readElementText(), QString(), false};
        } else if (xml.name() == QLatin1String("translation")) {
            message.unfinished =
                xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
            message.translation = xml.readElementText();
            messages.append(message);
        }
    }
    return messages;
}

QSet<QString> placeholders(const QString &text)
{
    QSet<QString> found;
    static const QRegularExpression marker(QStringLiteral("%\\d"));
    for (const QRegularExpressionMatch &m : marker.globalMatch(text))
        found.insert(m.captured());
    return found;
}

}  // namespace

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void everyTextIsTranslated()
    {
        const QString committed = QStringLiteral(LUMORA_SOURCE_DIR "/translations/lumora_en.ts");
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("lumora_en.ts"));
        QVERIFY(QFile::copy(committed, fresh));
        QString lupdate = QStandardPaths::findExecutable(QStringLiteral("lupdate"));
        if (lupdate.isEmpty())
            lupdate = QStringLiteral("/usr/lib/qt6/bin/lupdate");
        QProcess run;
        run.setWorkingDirectory(QStringLiteral(LUMORA_SOURCE_DIR));
        run.start(lupdate, {"-no-obsolete", "-locations", "none", "-source-language", "zh_CN",
                            "-target-language", "en", "src", "app", "agent", "-ts", fresh});
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitCode(), 0);

        const QList<Message> before = readTs(committed);
        const QList<Message> after = readTs(fresh);
        QVERIFY(!before.isEmpty());
        QStringList problems;
        for (const Message &m : after) {
            if (m.unfinished || m.translation.isEmpty())
                problems << QStringLiteral("untranslated: %1 | %2").arg(m.context, m.source);
            else if (placeholders(m.source) != placeholders(m.translation))
                problems << QStringLiteral("placeholders differ: %1 | %2").arg(m.context, m.source);
        }
        if (after.size() != before.size())
            problems << QStringLiteral("the code has %1 texts, the translation %2: run "
                                       "scripts/update-translations")
                            .arg(after.size())
                            .arg(before.size());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // The translation is compiled into the program.
    void translationIsCompiledIn()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/i18n/lumora_en.qm")));
        QCOMPARE(translator.translate("Startup", "警告"), QStringLiteral("Warning"));
        QCOMPARE(translator.translate("RecordPptWidget", "第%1页"), QStringLiteral("Slide %1"));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
