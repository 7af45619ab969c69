#include "Preferences.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

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

// What another program (or the user) stored keeps its kind across this program's write, and
// still converts to no number; the first write makes the folder.
TEST_F(Preferences, ValuesKeepTheirKindThroughTheFile)
{
    platform::setPreferencesDirectory(dir.filePath(QStringLiteral("first/run")));
    CFPreferencesSetAppValue(QStringLiteral("asString"), QVariant(QStringLiteral("1")));
    CFPreferencesSetAppValue(QStringLiteral("asBool"), QVariant(true));
    CFPreferencesSetAppValue(kLinkKey, QVariant(1));
    ASSERT_TRUE(CFPreferencesAppSynchronize());
    EXPECT_TRUE(fileObject().value(QStringLiteral("asString")).isString());
    EXPECT_TRUE(fileObject().value(QStringLiteral("asBool")).isBool());
    EXPECT_EQ(fileObject().value(kLinkKey).toInt(-1), 1);
    EXPECT_FALSE(readInt(QStringLiteral("asBool")).converted);
    EXPECT_EQ(readInt(kLinkKey).value, 1);

    // A value saved once is not written again over what another program stored since.
    writeFile(R"({"ZorvexLinkKey0": 0})");
    CFPreferencesSetAppValue(QStringLiteral("other"), QVariant(2));
    ASSERT_TRUE(CFPreferencesAppSynchronize());
    EXPECT_EQ(fileObject().value(kLinkKey).toInt(-1), 0);
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
