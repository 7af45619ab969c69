#include "HeadlessPicture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Without a display the picture goes to a file of the program's own making; a link planted
// under a name it might use leads nowhere.
TEST(HeadlessPicture, IsAFreshPrivateFileThatNoPlantedLinkRedirects)
{
    QTemporaryDir runtime;
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QStringList planted;
    for (const QString &folder : {runtime.path(), QDir::tempPath()}) {
        const QString link = QDir(folder).filePath(QStringLiteral("zorvex-panel.png"));
        if (QFile::link(victim, link))
            planted << link;
    }
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());

    auto first = createHeadlessPictureFile();
    auto second = createHeadlessPictureFile();
    ASSERT_TRUE(first && second);
    for (QTemporaryFile *file : {first.get(), second.get()}) {
        const QFileInfo info(file->fileName());
        EXPECT_EQ(info.absolutePath(), QFileInfo(runtime.path()).absoluteFilePath());
        EXPECT_FALSE(info.isSymLink());
        EXPECT_EQ(info.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                  0);
        EXPECT_EQ(info.size(), 0) << "created, not reused";
        file->write("picture");
        file->flush();
    }
    EXPECT_NE(first->fileName(), second->fileName());

    // Without a usable runtime folder, the temporary folder.
    qputenv("XDG_RUNTIME_DIR", elsewhere.filePath(QStringLiteral("missing")).toLocal8Bit());
    auto fallback = createHeadlessPictureFile();
    ASSERT_TRUE(fallback);
    EXPECT_EQ(QFileInfo(fallback->fileName()).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());

    QFile check(victim);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("keep"));
    for (auto *file : {first.get(), second.get(), fallback.get()})
        QFile::remove(file->fileName());
    for (const QString &link : planted)
        QFile::remove(link);
    savedRuntime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", savedRuntime);
}
