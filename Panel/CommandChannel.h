#pragma once

// A command's way to a panel already running in the session: one request line carrying the
// arguments, one reply line carrying what the command printed and its exit status, both JSON.
// How the socket is found and owned is the session's business (Desktop.h); this is only what
// travels on it.

#include "CommandEngine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

QByteArray encodeCommandRequest(const QStringList &arguments);
// The arguments, or nothing when the line is no command request.
std::optional<QStringList> decodeCommandRequest(const QByteArray &line);
QByteArray encodeCommandReply(const CommandReply &reply);
std::optional<CommandReply> decodeCommandReply(const QByteArray &line);

// The running panel's side: the reply line to a request line, a usage reply for anything that
// is not a whole, valid command.
QByteArray answerCommandRequest(ATolvane &panel, const QByteArray &line);

struct RunningPanelAnswer {
    bool reached = false;              // a panel listens at the socket
    std::optional<CommandReply> reply; // what it answered, if it did
};

// Hands the arguments to the panel listening at socketPath and waits for its reply.
RunningPanelAnswer askRunningPanel(const QString &socketPath, const QStringList &arguments);
