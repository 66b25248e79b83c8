#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include "widgetresources.h"

// Every icon the sources name is in the resources under that name. Icons are
// named with their suffix: without one, QIcon asks the MIME database what
// the file is, which costs the start-up a good part of its time.
class TestIconPaths : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyNamedIconExists();
};

void TestIconPaths::initTestCase()
{
    initWidgetResources();
}

void TestIconPaths::everyNamedIconExists()
{
    const QRegularExpression iconName(QStringLiteral(":/icons/[A-Za-z0-9_./-]*[A-Za-z0-9_]"));
    const QStringList folders = {QStringLiteral("platform"), QStringLiteral("link"),        QStringLiteral("widgets"),
                                 QStringLiteral("app"),      QStringLiteral("connection"),  QStringLiteral("advertising"),
                                 QStringLiteral("isochronous"), QStringLiteral("testmodes"), QStringLiteral("main"),
                                 QStringLiteral("qss")};
    int named = 0;
    QStringList missing;
    QStringList unsuffixed;
    for (const QString &folder : folders) {
        QDirIterator files(QStringLiteral(VANTORA_SOURCE_DIR "/") + folder,
                           {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui"),
                            QStringLiteral("*.qss")},
                           QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QString text = QString::fromUtf8(file.readAll());
            QRegularExpressionMatchIterator matches = iconName.globalMatch(text);
            while (matches.hasNext()) {
                const QRegularExpressionMatch match = matches.next();
                const QString name = match.captured();
                ++named;
                if (!QFile::exists(name))
                    missing << QStringLiteral("%1: %2").arg(file.fileName(), name);
                // The log panes' markup loads its images without QIcon.
                const bool inMarkup = text.midRef(match.capturedStart() - 6, 6) == QLatin1String("src=\\\"");
                if (!inMarkup && QFileInfo(name).suffix().isEmpty())
                    unsuffixed << QStringLiteral("%1: %2").arg(file.fileName(), name);
            }
        }
    }
    QVERIFY(named > 100);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
    QVERIFY2(unsuffixed.isEmpty(), qPrintable(unsuffixed.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestIconPaths)
#include "tst_iconpaths.moc"
