#pragma once

#include <QTemporaryFile>
#include <memory>

// The file for the picture of a run without a display and without --screenshot: one this
// process creates itself (never an existing file, nor a link planted under a known name),
// readable by the user alone, in $XDG_RUNTIME_DIR when that takes a new file, else in the
// temporary folder. Null when neither does. The file stays after the program ends.
std::unique_ptr<QTemporaryFile> createHeadlessPictureFile();

// Puts the written picture in the place of the previous run's: one fixed name per user in the
// file's folder, so that runs do not pile pictures up. rename() replaces a file, or a link
// planted under that name, itself, never what a link points to. Returns where the picture is
// now: still its own name when the fixed one cannot be taken (another user's file there).
QString keepHeadlessPicture(QTemporaryFile &file);
