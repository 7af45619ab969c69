#include "Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kLinkKey = QStringLiteral("ZorvexLinkKey0");

// Each test gets a folder of its own, so that no file (and no cached copy of one) is shared.
class Preferences : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        platform::setPreferencesDirectory(dir.path());
    }
    void TearDown() override { platform::setPreferencesDirectory({}); }

    void writeFile(const QByteArray &contents)
    {
        QFile file(platform::preferencesFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(contents), contents.size());
    }

    QJsonObject fileObject() const
    {
        QFile file(platform::preferencesFilePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    // The stored value as the link flag is read: absent, present but not convertible, or a number.
    struct Read {
        bool present = false;
        bool converted = false;
        SInt32 value = 0;
    };
    static Read readInt(const QString &key)
    {
        Read r;
        const CFPropertyList stored = CFPreferencesCopyAppValue(key);
        r.present = stored.has_value();
        r.value = 12345;
        if (stored)
            r.converted = CFNumberGetValue(*stored, &r.value);
        return r;
    }
};

} // namespace

TEST_F(Preferences, ValuesRoundTripThroughTheFileAsTheirOwnKind)
{
    // A folder that does not exist yet, as on a first run.
    platform::setPreferencesDirectory(dir.filePath(QStringLiteral("first/run")));
    CFPreferencesSetAppValue(kLinkKey, QVariant(1));
    ASSERT_TRUE(CFPreferencesAppSynchronize());
    EXPECT_EQ(fileObject().value(kLinkKey).toInt(-1), 1);

    // Read from a copy in a fresh folder, so the answer comes from the file and not from memory.
    const QString written = platform::preferencesFilePath();
    platform::setPreferencesDirectory(dir.filePath(QStringLiteral("copy")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("copy"))));
    ASSERT_TRUE(QFile::copy(written, platform::preferencesFilePath()));
    const Read r = readInt(kLinkKey);
    EXPECT_TRUE(r.present);
    EXPECT_TRUE(r.converted);
    EXPECT_EQ(r.value, 1);

    // A string or a bool stored by hand stays one across a write, and still converts to no number.
    CFPreferencesSetAppValue(QStringLiteral("asString"), QVariant(QStringLiteral("1")));
    CFPreferencesSetAppValue(QStringLiteral("asBool"), QVariant(true));
    ASSERT_TRUE(CFPreferencesAppSynchronize());
    EXPECT_TRUE(fileObject().value(QStringLiteral("asString")).isString());
    EXPECT_TRUE(fileObject().value(QStringLiteral("asBool")).isBool());
    EXPECT_FALSE(readInt(QStringLiteral("asBool")).converted);
}

TEST_F(Preferences, OnlyAnIntegralNumberInRangeConverts)
{
    writeFile(R"({
        "string": "1", "bool": true, "half": 1.5, "null": null, "list": [1], "object": {"a": 1},
        "tooBig": 2147483648, "tooSmall": -2147483649, "huge": 1e300,
        "max": 2147483647, "min": -2147483648, "whole": 2.0, "zero": 0
    })");
    for (const char *key : {"string", "bool", "half", "null", "list", "object", "tooBig", "tooSmall", "huge"}) {
        const Read r = readInt(QString::fromLatin1(key));
        EXPECT_TRUE(r.present) << key;
        EXPECT_FALSE(r.converted) << key;
        EXPECT_EQ(r.value, 12345) << key << ": a failed conversion leaves the target alone";
    }
    const std::pair<const char *, SInt32> numbers[] = {{"max", std::numeric_limits<SInt32>::max()},
                                                       {"min", std::numeric_limits<SInt32>::min()},
                                                       {"whole", 2},
                                                       {"zero", 0}};
    for (const auto &[key, expected] : numbers) {
        const Read r = readInt(QString::fromLatin1(key));
        EXPECT_TRUE(r.converted) << key;
        EXPECT_EQ(r.value, expected) << key;
    }
}

TEST_F(Preferences, ADamagedFileReadsAsEmptyAndTheNextWriteRepairsIt)
{
    for (const QByteArray &damaged : {QByteArray("{\"ZorvexLinkKey0\": 1"), QByteArray("\x00\xff garbage", 10),
                                      QByteArray("[1, 2]"), QByteArray()}) {
        writeFile(damaged);
        EXPECT_FALSE(CFPreferencesCopyAppValue(kLinkKey)) << damaged.toStdString();
    }

    writeFile("not json at all");
    CFPreferencesSetAppValue(kLinkKey, QVariant(1));
    ASSERT_TRUE(CFPreferencesAppSynchronize());
    const QJsonObject repaired = fileObject();
    EXPECT_EQ(repaired.size(), 1);
    EXPECT_EQ(repaired.value(kLinkKey).toInt(-1), 1);
}

TEST_F(Preferences, AFileWhereTheFolderBelongsFailsTheSaveAndTheValueWaitsForTheNext)
{
    const QString blocker = dir.filePath(QStringLiteral("Orvanelle"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    platform::setPreferencesDirectory(blocker);
    CFPreferencesSetAppValue(kLinkKey, QVariant(0));
    EXPECT_FALSE(CFPreferencesAppSynchronize());
    EXPECT_EQ(readInt(kLinkKey).value, 0) << "still this run's value";

    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(CFPreferencesAppSynchronize());
    EXPECT_EQ(fileObject().value(kLinkKey).toInt(-1), 0);
}

// A FIFO would block the first open until a writer came (a hang ends the test at its time-out);
// a folder can hold no settings.
TEST_F(Preferences, APathThatIsNoRegularFileIsNeitherReadNorWrittenAndSaidOnce)
{
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(fifo));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo + QStringLiteral("/zorvex-panel.json")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/zorvex-panel.json")));

    for (const QString &where : {fifo, folder}) {
        SCOPED_TRACE(where.toStdString());
        platform::setPreferencesDirectory(where);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(CFPreferencesCopyAppValue(kLinkKey).has_value());
        CFPreferencesSetAppValue(kLinkKey, QVariant(1));
        EXPECT_FALSE(CFPreferencesAppSynchronize());
        EXPECT_FALSE(CFPreferencesCopyAppValue(kLinkKey).has_value());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("zorvex-panel:"), said.rfind("zorvex-panel:")) << "said once:\n" << said;
        EXPECT_NE(said.find("not a regular file"), std::string::npos) << said;
        const QFileInfo after(platform::preferencesFilePath());
        EXPECT_FALSE(after.isFile()) << "left as it was";
    }
}
