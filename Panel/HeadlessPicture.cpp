#include "HeadlessPicture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

std::unique_ptr<QTemporaryFile> createIn(const QString &folder)
{
    if (folder.isEmpty() || !QDir(folder).exists())
        return nullptr;
    auto file = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral("zorvex-panel-XXXXXX.png")));
    file->setAutoRemove(false);
    // Created exclusively, mode 0600.
    if (!file->open())
        return nullptr;
    return file;
}

} // namespace

std::unique_ptr<QTemporaryFile> createHeadlessPictureFile()
{
    if (auto file = createIn(qEnvironmentVariable("XDG_RUNTIME_DIR")))
        return file;
    return createIn(QDir::tempPath());
}

QString keepHeadlessPicture(QTemporaryFile &file)
{
    const QString written = file.fileName();
    const QString kept = QFileInfo(written).dir().filePath(QStringLiteral("zorvex-panel-%1.png").arg(::getuid()));
    if (std::rename(QFile::encodeName(written).constData(), QFile::encodeName(kept).constData()) != 0)
        return written;
    return kept;
}
