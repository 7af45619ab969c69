#pragma once

#include <QTemporaryFile>
#include <memory>

// The file for the picture of a run without a display and without --screenshot: one this
// process creates itself (never an existing file, nor a link planted under a known name),
// readable by the user alone, in $XDG_RUNTIME_DIR when that takes a new file, else in the
// temporary folder. Null when neither does. The file stays after the program ends.
std::unique_ptr<QTemporaryFile> createHeadlessPictureFile();
