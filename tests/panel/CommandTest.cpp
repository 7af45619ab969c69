// The program driven from the command line: a line read whole before anything is written, a
// running panel that carries the command out and whose window follows, a command that attaches
// without a window, and presets.
#include "AButton.h"
#include "ARoundButtonSlider.h"
#include "CommandChannel.h"
#include "Desktop.h"
#include "DiscoveryHarness.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

using namespace sim;

namespace {

// One volume step of the simulated interface.
constexpr float kStep = 1.0f / 127;

// An attached interface at its factory state (link on), with presets in a folder of its own.
struct AttachedHarness : DiscoveryHarness {
    QTemporaryDir config;
    AudioDeviceID device{};

    AttachedHarness()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        wake();
        device = bus->audioDevice(plug());
        audio.clearJournal();
    }
    ~AttachedHarness() { qunsetenv("XDG_CONFIG_HOME"); }

    CommandReply run(const QStringList &arguments)
    {
        const CommandReply reply = *decodeCommandReply(answerCommandRequest(*panel, encodeCommandRequest(arguments)));
        settle();
        return reply;
    }

    std::size_t deviceWrites() const
    {
        return countCalls(AudioOp::DeviceSetProperty) + countCalls(AudioOp::StreamSetProperty);
    }

    // Input 1, input 2, output 1, output 2 as the device holds them.
    std::array<float, 4> levels() const
    {
        return {audio.volume(device, 1, 1), audio.volume(device, 1, 2), audio.volume(device, 0, 1),
                audio.volume(device, 0, 2)};
    }
};

} // namespace

TEST(CommandLine, EachGoodLineReachesTheDeviceAndEachBadOneWritesNothing)
{
    struct Good {
        QStringList line;
        std::array<float, 4> levels; // as the device then holds them
        UInt32 inputMute;
        Float64 rate;
    };
    const float f = 0.59f; // the factory input level
    const Good good[] = {
        {{"--set", "output1=0.5"}, {f, f, 0.5f, 0.5f}, 0, 44100},
        {{"--link", "off", "--set", "output1=0.5"}, {f, f, 0.5f, 1}, 0, 44100},
        {{"--set=input2=0.25"}, {0.25f, 0.25f, 1, 1}, 0, 44100},
        {{"--link=off", "--set", "input=0.25", "--mute", "input=toggle"}, {0.25f, 0.25f, 1, 1}, 1, 44100},
        // -12 dB on the square-law taper is a scalar of 10^(-12/40).
        {{"--set", "output=-12 dB", "--mute", "input=on", "--rate", "96000"}, {f, f, 0.501f, 0.501f}, 1, 96000},
        {{"--set", "input1=-12dB", "--defaults"}, {0.501f, 0.501f, 1, 1}, 0, 44100},
    };
    for (const Good &c : good) {
        SCOPED_TRACE(c.line.join(' ').toStdString());
        AttachedHarness h;
        const CommandReply reply = h.run(c.line);
        EXPECT_EQ(reply.status, kExitOk) << reply.err.toStdString();
        const std::array<float, 4> levels = h.levels();
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(levels[i], c.levels[i], kStep) << "level index " << i;
        EXPECT_EQ(h.audio.mute(h.device, 1, 0), c.inputMute);
        EXPECT_EQ(h.audio.currentFormat(h.device, 0).mSampleRate, c.rate);
        // The window follows the device.
        EXPECT_NEAR(h.panel->fChannelLevel3->doubleValue(), levels[2], 1e-6);
        EXPECT_EQ(h.panel->fChannelMute1->state(), static_cast<int>(c.inputMute));
    }

    const QStringList bad[] = {
        {"--set", "input3=0.5"},
        {"--set", "input=1.5"},
        {"--set", "output=nan"},
        {"--set", "output=-10"},
        {"--set", "output1=0.5", "--rate", "44000"},
        {"--mute", "input=0.5", "--set", "output1=0.5"},
        {"--link", "yes"},
        {"--set"},
        {"--json"},
        {"--get", "--preset", "list"},
        {"--preset", "save"},
        {"--preset", "load", "../elsewhere"},
        {"--preset", "save", "back\\slash"},
        {"--defaults=1"},
        {"--volume", "1"},
    };
    AttachedHarness h;
    for (const QStringList &line : bad) {
        SCOPED_TRACE(line.join(' ').toStdString());
        const CommandReply reply = h.run(line);
        EXPECT_EQ(reply.status, kExitUsage);
        EXPECT_FALSE(reply.err.isEmpty());
        EXPECT_EQ(h.deviceWrites(), 0u);
    }
    EXPECT_TRUE(parseCommandLine({"--help"}).help && parseCommandLine({"-h"}).error.isEmpty())
        << "help is no usage error";
}

TEST(CommandLine, ARunningPanelCarriesTheCommandOutThroughItsSocketAndItsWindowFollows)
{
    AttachedHarness h;
    SessionInstance session(h.config.filePath(QStringLiteral("panel.socket")));
    ASSERT_TRUE(session.listen());
    session.setRequestHandler([&](const QByteArray &line) { return answerCommandRequest(*h.panel, line); });

    RunningPanelAnswer answer;
    std::thread launch([&] {
        answer = askRunningPanel(session.socketPath(),
                                 {"--set", "output1=0.25", "--mute", "output=toggle", "--get", "--json"});
    });
    // Bounds only: the panel answers as soon as its event loop runs.
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.reached && answer.reply; }, 10000));
    launch.join();
    ASSERT_TRUE(answer.reply);
    EXPECT_EQ(answer.reply->status, kExitOk);
    EXPECT_NEAR(h.panel->fChannelLevel3->doubleValue(), 0.25, kStep);
    EXPECT_NEAR(h.panel->fChannelLevel4->doubleValue(), 0.25, kStep) << "linked, as in the window";
    EXPECT_EQ(h.panel->fChannelMute2->state(), 1);

    const QJsonObject state = QJsonDocument::fromJson(answer.reply->out.toUtf8()).object();
    EXPECT_NEAR(state["levels"]["output2"]["fraction"].toDouble(), 0.25, kStep);
    EXPECT_NEAR(state["levels"]["output2"]["dB"].toDouble(), -24.1, 0.6);
    EXPECT_EQ(state["mutes"]["output"], true);
    EXPECT_EQ(state["link"], true);
    EXPECT_EQ(state["rate"], 44100);
    EXPECT_EQ(state["window"], true);
}

TEST(CommandLine, APresetComesBackWholeAndADamagedOneIsRefusedLeavingTheDeviceAlone)
{
    AttachedHarness h;
    ASSERT_EQ(
        h.run({"--link", "off", "--set", "input1=0.3", "--set", "output=0.7", "--mute", "output=on", "--rate", "48000"})
            .status,
        kExitOk);
    const std::array<float, 4> saved = h.levels();
    ASSERT_EQ(h.run({"--preset", "save", "podcast"}).status, kExitOk);

    ASSERT_EQ(h.run({"--defaults"}).status, kExitOk);
    const CommandReply loaded = h.run({"--preset", "load", "podcast"});
    EXPECT_EQ(loaded.status, kExitOk) << loaded.err.toStdString();
    EXPECT_EQ(h.levels(), saved);
    EXPECT_EQ(h.audio.mute(h.device, 0, 0), 1u);
    EXPECT_EQ(h.audio.mute(h.device, 1, 0), 0u);
    EXPECT_EQ(h.audio.currentFormat(h.device, 0).mSampleRate, 48000);
    EXPECT_EQ(h.panel->fChannelLink->state(), 0);
    EXPECT_EQ(h.run({"--preset", "list"}).out, QStringLiteral("podcast\n"));

    const QString path = h.config.filePath(QStringLiteral("Orvanelle/presets/podcast.json"));
    for (const QByteArray &damage : {QByteArray("{\"version\": 1, \"levels\": "), QByteArray("[]"),
                                     QByteArray("{\"version\":1,\"levels\":{\"input1\":7}}")}) {
        SCOPED_TRACE(damage.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damage);
        file.close();
        h.audio.clearJournal();
        const CommandReply refused = h.run({"--preset", "load", "podcast"});
        EXPECT_EQ(refused.status, kExitFailure);
        EXPECT_TRUE(refused.err.contains(QStringLiteral("damaged"))) << refused.err.toStdString();
        EXPECT_EQ(h.deviceWrites(), 0u);
    }
}

TEST(CommandProgram, WithoutARunningPanelACommandAttachesTheSimulatedInterfaceAndLeaves)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ZORVEX_PANEL_PROGRAM),
                  {"--simulate", "--set", "output1=0.5", "--mute", "input=toggle", "--get", "--json"});
    // The attach takes its settling second.
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), kExitOk) << program.readAllStandardError().toStdString();
    const QJsonObject state = QJsonDocument::fromJson(program.readAllStandardOutput()).object();
    EXPECT_NEAR(state["levels"]["output2"]["fraction"].toDouble(), 0.5, kStep) << "the first attach links the pair";
    EXPECT_NEAR(state["levels"]["input1"]["fraction"].toDouble(), 0.59, kStep) << "and restores factory defaults";
    EXPECT_EQ(state["mutes"]["input"], true);
    EXPECT_EQ(state["window"], false);
}
