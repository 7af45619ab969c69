#include "CommandChannel.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>

namespace {

const QByteArray kRequestPrefix = QByteArrayLiteral("command ");
constexpr int kConnectMilliseconds = 2000;
// Factory defaults or a preset on a slow sound server take a while; a hung panel is not
// waited for beyond this.
constexpr int kReplyMilliseconds = 15000;
// Replies are a few hundred bytes.
constexpr qint64 kReplyLimit = 1024 * 1024;

QJsonObject objectFrom(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
}

} // namespace

QByteArray encodeCommandRequest(const QStringList &arguments)
{
    const QJsonObject object{{QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)}};
    return kRequestPrefix + QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QStringList> decodeCommandRequest(const QByteArray &line)
{
    if (!line.startsWith(kRequestPrefix) || !line.endsWith('\n'))
        return std::nullopt;
    const QJsonValue arguments = objectFrom(line.mid(kRequestPrefix.size())).value(QStringLiteral("arguments"));
    if (!arguments.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue &argument : arguments.toArray()) {
        if (!argument.isString())
            return std::nullopt;
        list.push_back(argument.toString());
    }
    return list;
}

QByteArray encodeCommandReply(const CommandReply &reply)
{
    const QJsonObject object{{QStringLiteral("status"), reply.status},
                             {QStringLiteral("out"), reply.out},
                             {QStringLiteral("err"), reply.err}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<CommandReply> decodeCommandReply(const QByteArray &line)
{
    const QJsonObject object = objectFrom(line);
    const QJsonValue status = object.value(QStringLiteral("status"));
    if (!status.isDouble())
        return std::nullopt;
    return CommandReply{status.toInt(kExitFailure), object.value(QStringLiteral("out")).toString(),
                        object.value(QStringLiteral("err")).toString()};
}

QByteArray answerCommandRequest(ATolvane &panel, const QByteArray &line)
{
    const std::optional<QStringList> arguments = decodeCommandRequest(line);
    const CommandLine asked = parseCommandLine(arguments.value_or(QStringList()));
    if (!arguments || !asked.error.isEmpty() || !asked.command.any())
        return encodeCommandReply(
            {kExitUsage,
             {},
             asked.error.isEmpty() ? QCoreApplication::translate("Command", "No command given.") : asked.error});
    return encodeCommandReply(carryOutCommand(panel, asked.command, true));
}

RunningPanelAnswer askRunningPanel(const QString &socketPath, const QStringList &arguments)
{
    RunningPanelAnswer answer;
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kConnectMilliseconds))
        return answer;
    answer.reached = true;
    socket.write(encodeCommandRequest(arguments));
    if (!socket.waitForBytesWritten(kConnectMilliseconds))
        return answer;
    QByteArray line;
    while (!line.endsWith('\n') && line.size() < kReplyLimit) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(kReplyMilliseconds))
            break;
        line += socket.readLine(kReplyLimit - line.size());
    }
    answer.reply = decodeCommandReply(line);
    return answer;
}
