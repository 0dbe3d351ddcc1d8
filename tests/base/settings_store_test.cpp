#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <limits>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/settings_file.h"
#include "support/scoped_env.h"

namespace dw {
namespace {

const QString kProgramKey = QStringLiteral("Software\\Brightwater Systems\\Diskwell\\3.0");

// Every test gets its own settings folder.
class SettingsStoreTest : public ::testing::Test {
protected:
    // The raw text of a value, written or read past the store's own reading rules.
    static QString raw(const QString& section, const QString& name) {
        return ReadUserRegString(SettingsStore::sectionPath(section), name);
    }
    static void putRaw(const QString& section, const QString& name, const QString& text) {
        ASSERT_TRUE(platform::SettingsFile::user().setValue(SettingsStore::sectionPath(section),
                                                            name, text));
    }

    QTemporaryDir dir_;
    test::ScopedEnv config_{"DISKWELL_CONFIG_DIR", dir_.path().toLocal8Bit()};
    SettingsStore store_;
};

TEST_F(SettingsStoreTest, SectionsLiveBelowTheProgramKeyInTheConfigFolder) {
    ASSERT_TRUE(store_.writeString(QStringLiteral("ZipFile"), QStringLiteral("Path"),
                                   QStringLiteral("/srv/archives")));
    EXPECT_EQ(SettingsStore::sectionPath(QStringLiteral("ZipFile")),
              kProgramKey + QStringLiteral("\\ZipFile"));
    QFile file(dir_.path() + QStringLiteral("/registry.ini"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Software\\Brightwater Systems\\Diskwell\\3.0\\ZipFile]\n"));
    EXPECT_TRUE(text.contains("Path=/srv/archives\n"));
}

TEST_F(SettingsStoreTest, TextsReadBackAndMissingOnesGiveTheDefault) {
    const QString def = QStringLiteral("Not recorded");
    EXPECT_EQ(store_.readString(QStringLiteral("Folders"), QStringLiteral("When"), def), def);
    ASSERT_TRUE(store_.writeString(QStringLiteral("Folders"), QStringLiteral("Other"), QString()));
    EXPECT_EQ(store_.readString(QStringLiteral("Folders"), QStringLiteral("When"), def), def);
    // A stored empty text is not missing.
    EXPECT_EQ(store_.readString(QStringLiteral("Folders"), QStringLiteral("Other"), def),
              QString());
    ASSERT_TRUE(store_.writeString(QStringLiteral("ZipFile"), QStringLiteral("Comment"),
                                   QStringLiteral(" Old mail\nfrom 1998 ")));
    EXPECT_EQ(store_.readString(QStringLiteral("ZipFile"), QStringLiteral("Comment"), def),
              QStringLiteral(" Old mail\nfrom 1998 "));
}

TEST_F(SettingsStoreTest, IntegersRoundTripAsDecimalText) {
    const qint64 values[] = {0,
                             -1,
                             12,
                             5'000'000'000,
                             -5'000'000'000,
                             std::numeric_limits<qint64>::max(),
                             std::numeric_limits<qint64>::min()};
    for (const qint64 v : values) {
        ASSERT_TRUE(store_.writeInteger(QStringLiteral("Diskwell"), QStringLiteral("SizeZip"), v));
        EXPECT_EQ(store_.readInteger(QStringLiteral("Diskwell"), QStringLiteral("SizeZip"), 77), v);
        EXPECT_EQ(raw(QStringLiteral("Diskwell"), QStringLiteral("SizeZip")), QString::number(v));
    }
}

TEST_F(SettingsStoreTest, StoredTextsReadAsIntegersOrTheDefault) {
    struct Case {
        const char* text;
        qint64 expected;
    };
    const Case cases[] = {
        {"12", 12},
        {"0x3", 3},
        {"0X1f", 31},
        {"0x7FFFFFFFFFFFFFFF", std::numeric_limits<qint64>::max()},
        {"0xFFFFFFFFFFFFFFFF", -1},
        {"0x10000000000000000", 77},  // 17 hex digits
        {"0x", 77},
        {"0X", 77},
        {"0xg", 77},
        {"0x-3", 77},
        {"12abc", 77},
        {"abc", 77},
        {"", 77},
        {"-", 77},
        {" 42 ", 42},
        {"+7", 7},
        {"-5", -5},
        {"1.5", 77},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"9223372036854775808", 77},
        {"-9223372036854775808", std::numeric_limits<qint64>::min()},
        {"-9223372036854775809", 77},
        {"٣", 77},  // a digit, but not an ASCII one
    };
    for (const Case& c : cases) {
        putRaw(QStringLiteral("Diskwell"), QStringLiteral("NZip"), QString::fromUtf8(c.text));
        EXPECT_EQ(store_.readInteger(QStringLiteral("Diskwell"), QStringLiteral("NZip"), 77),
                  c.expected)
            << '"' << c.text << '"';
    }
    EXPECT_EQ(store_.readInteger(QStringLiteral("Diskwell"), QStringLiteral("Ndelete"), -1), -1);
    EXPECT_EQ(store_.readInteger(QStringLiteral("Nowhere"), QStringLiteral("Ndelete"), -1), -1);
}

TEST_F(SettingsStoreTest, NumberedListsReadWhatWasSaved) {
    const QString s = QStringLiteral("NoDelExt");
    // Never saved: the editors show their defaults.
    EXPECT_FALSE(store_.readList(s).saved);

    // Saved empty: no defaults.
    ASSERT_TRUE(store_.writeList(s, {}));
    NumberedList list = store_.readList(s);
    EXPECT_TRUE(list.saved);
    EXPECT_TRUE(list.entries.isEmpty());

    const QStringList five = {QStringLiteral("*.sys"), QStringLiteral("*.drv"),
                              QStringLiteral("*.ini"), QStringLiteral("*.dat"),
                              QStringLiteral("*.cfg")};
    ASSERT_TRUE(store_.writeList(s, five));
    EXPECT_EQ(store_.readList(s).entries, five);
    ASSERT_TRUE(store_.writeList(s, five.mid(0, 3)));
    list = store_.readList(s);
    EXPECT_EQ(list.entries, five.mid(0, 3));
    // The values above the new count stay in the file, unread.
    EXPECT_EQ(raw(s, QStringLiteral("File4")), QStringLiteral("*.dat"));
    EXPECT_EQ(raw(s, QStringLiteral("File5")), QStringLiteral("*.cfg"));
    EXPECT_EQ(raw(s, QStringLiteral("Number")), QStringLiteral("3"));
}

TEST_F(SettingsStoreTest, ListEntriesAreStoredWithoutTheirDescription) {
    const QString s = QStringLiteral("TempFiles");
    ASSERT_TRUE(
        store_.writeList(s, {QStringLiteral("*.tmp\tTemporary file"),
                             QStringLiteral("*.bak\tBackup\tfile"), QStringLiteral("*.old")}));
    EXPECT_EQ(raw(s, QStringLiteral("File1")), QStringLiteral("*.tmp"));
    EXPECT_EQ(raw(s, QStringLiteral("File2")), QStringLiteral("*.bak"));
    EXPECT_EQ(
        store_.readList(s).entries,
        (QStringList{QStringLiteral("*.tmp"), QStringLiteral("*.bak"), QStringLiteral("*.old")}));
}

TEST_F(SettingsStoreTest, ListsAsFoundInTheFile) {
    struct Case {
        const char* name;
        QList<std::pair<QString, QString>> values;
        bool saved;
        QStringList entries;
    };
    const QString a = QStringLiteral("/a"), b = QStringLiteral("/b"), c = QStringLiteral("/c");
    const Case cases[] = {
        {"count in hex",
         {{"Number", "0x3"}, {"File1", a}, {"File2", b}, {"File3", c}},
         true,
         {a, b, c}},
        {"empty entries skipped",
         {{"Number", "3"}, {"File1", a}, {"File2", ""}, {"File3", c}},
         true,
         {a, c}},
        {"missing entries skipped", {{"Number", "4"}, {"File4", c}, {"File1", a}}, true, {a, c}},
        {"count below -1", {{"Number", "-5"}, {"File1", a}}, false, {}},
        {"count not a number", {{"Number", "many"}, {"File1", a}}, false, {}},
        {"no count", {{"File1", a}}, false, {}},
        {"count zero", {{"Number", "0"}, {"File1", a}}, true, {}},
        {"only exact names",
         {{"Number", "3"}, {"File01", a}, {"File+2", b}, {"file3", c}},
         true,
         {c}},
        // A damaged count costs nothing: only the values present are looked at.
        {"huge count",
         {{"Number", "9000000000000000000"}, {"File2", b}, {"File1", a}},
         true,
         {a, b}},
    };
    int n = 0;
    for (const Case& k : cases) {
        const QString section = QStringLiteral("NewFolders") + QString::number(n++);
        for (const auto& [name, text] : k.values)
            putRaw(section, name, text);
        const NumberedList list = store_.readList(section);
        EXPECT_EQ(list.saved, k.saved) << k.name;
        EXPECT_EQ(list.entries, k.entries) << k.name;
    }
}

TEST_F(SettingsStoreTest, NativePathsOfAnyBytesRoundTripThroughAStoredList) {
    struct Case {
        QByteArray path;
        const char* stored;  // nullptr: the path's own text
    };
    const Case cases[] = {
        {"/srv/photos", nullptr},
        {"/home/ann/caf\xc3\xa9 100%", nullptr},
        {"/data/caf\xe9", "bytes:/data/caf%E9"},
        {"/data/\xff\xfe/100%", "bytes:/data/%FF%FE/100%25"},
        // Cut short, overlong, a surrogate, beyond U+10FFFF: bytes, not characters.
        {"/a\xc3", "bytes:/a%C3"},
        {"/a\xc0\xaf", "bytes:/a%C0%AF"},
        {"/a\xed\xa0\x80", "bytes:/a%ED%A0%80"},
        {"/a\xf4\x90\x80\x80", "bytes:/a%F4%90%80%80"},
        // Valid characters beside a bad byte stay readable.
        {"/\xe2\x82\xac\xff", "bytes:/\xe2\x82\xac%FF"},
        // A TAB would end a list's entry.
        {"/tab\there\nand line", "bytes:/tab%09here\nand line"},
        {"/line\nbreak", nullptr},
    };
    QStringList texts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const QString text = nativePathSetting(c.path);
        EXPECT_EQ(text, c.stored ? QString::fromUtf8(c.stored) : QString::fromUtf8(c.path));
        EXPECT_EQ(nativePathFromSetting(text), c.path);
        texts.append(text);
    }
    ASSERT_TRUE(SettingsStore().writeList(QString::fromLatin1(settings::kNewFolders), texts));
    const NumberedList back = SettingsStore().readList(QString::fromLatin1(settings::kNewFolders));
    ASSERT_EQ(back.entries.size(), qsizetype(std::size(cases)));
    for (qsizetype i = 0; i < back.entries.size(); ++i) {
        EXPECT_EQ(nativePathFromSetting(back.entries[i]), cases[i].path) << i;
    }
    // A "%" without two hexadecimal digits stands for itself.
    EXPECT_EQ(nativePathFromSetting(QStringLiteral("bytes:/x%4/%zz%")), QByteArray("/x%4/%zz%"));
}

TEST(PlacementRecord, ParsesEveryFieldOrItsDefault) {
    struct Case {
        const char* text;
        PlacementRecord expected;
        bool applicable;
    };
    const Case cases[] = {
        {"", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, false},
        {"2 3 -1 -1 -8 -8 10 20 410 320 ", {2, 3, -1, -1, -8, -8, 10, 20, 410, 320}, true},
        {"2 3 -1 -1 -8 -8 10 20 410 320", {2, 3, -1, -1, -8, -8, 10, 20, 410, 320}, true},
        {"0 2 0 0 0 0 5", {0, 2, 0, 0, 0, 0, 5, 0, 0, 0}, false},
        {"0 x 0 0 0 0 5 6 7 8 ", {0, 1, 0, 0, 0, 0, 5, 6, 7, 8}, true},
        {"garbage", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, false},
        {"0 1 0 0 0 0 -100 -50 -10 -5 ", {0, 1, 0, 0, 0, 0, -100, -50, -10, -5}, true},
        {"0 1 0 0 0 0 10 0 10 0 ", {0, 1, 0, 0, 0, 0, 10, 0, 10, 0}, false},
        {"0 1 0 0 0 0 10 0 5 0 ", {0, 1, 0, 0, 0, 0, 10, 0, 5, 0}, false},
        {"0 1 0 0 0 0 0 0 99999999999 9 ", {0, 1, 0, 0, 0, 0, 0, 0, 0, 9}, false},
        {"0 1 0 0 0 0 1.5 0 8 9 ", {0, 1, 0, 0, 0, 0, 0, 0, 8, 9}, true},
        // Each number ends at the next blank, so a doubled blank is an empty field.
        {"0  1 0 0 0 0 10 20 30 ", {0, 1, 1, 0, 0, 0, 0, 10, 20, 30}, true},
    };
    for (const Case& c : cases) {
        const PlacementRecord r = PlacementRecord::parse(QString::fromLatin1(c.text));
        EXPECT_EQ(r, c.expected) << '"' << c.text << '"' << " gave " << r.toText().toStdString();
        EXPECT_EQ(r.applicable(), c.applicable) << c.text;
    }
}

TEST(PlacementRecord, WritesTenNumbersEachFollowedByABlank) {
    const PlacementRecord r{0, 3, -1, -1, -8, -8, 10, 20, 410, 320};
    EXPECT_EQ(r.toText(), QStringLiteral("0 3 -1 -1 -8 -8 10 20 410 320 "));
    EXPECT_EQ(PlacementRecord::parse(r.toText()), r);
    EXPECT_EQ(PlacementRecord().toText(), QStringLiteral("0 1 0 0 0 0 0 0 0 0 "));
}

TEST_F(SettingsStoreTest, PlacementsLiveBesideTheProgramKey) {
    const PlacementRecord dups{0, 1, -1, -1, -1, -1, 10, 20, 410, 320};
    const PlacementRecord hogs{0, 3, -1, -1, -1, -1, 50, 60, 250, 160};
    const settings::PlacementKey& d = settings::kPlacementDuplicates;
    const settings::PlacementKey& h = settings::kPlacementFileHogs;
    ASSERT_TRUE(store_.writePlacement(QString::fromLatin1(d.key), placementSubkey(d),
                                      QString::fromLatin1(d.valueName), dups));
    ASSERT_TRUE(store_.writePlacement(QString::fromLatin1(h.key), placementSubkey(h),
                                      QString::fromLatin1(h.valueName), hogs));
    EXPECT_EQ(ReadUserRegString(QStringLiteral("diskwell.ini\\frmDups"), QStringLiteral("frmMods")),
              dups.toText());
    EXPECT_EQ(store_.readPlacement(QStringLiteral("diskwell.ini"), QStringLiteral("frmMods"),
                                   QStringLiteral("frmMods")),
              hogs);
    // Nothing of it below the program key, and a missing record is not applicable.
    EXPECT_EQ(raw(QStringLiteral("frmDups"), QStringLiteral("frmMods")), QString());
    EXPECT_FALSE(store_
                     .readPlacement(QStringLiteral("diskwell98"), programFileName(),
                                    QStringLiteral("frmMods"))
                     .applicable());
}

TEST_F(SettingsStoreTest, PlacementSubkeysNameTheProgramWhereTheyHaveNoOwn) {
    // The program's file name is the running binary's: this test binary is tests_base.
    EXPECT_EQ(programFileName(), QStringLiteral("tests_base"));
    EXPECT_EQ(placementSubkey(settings::kPlacementQuickClean), QStringLiteral("tests_base"));
    EXPECT_EQ(placementSubkey(settings::kPlacementFilesAccessed), QStringLiteral("tests_base"));
    EXPECT_EQ(placementSubkey(settings::kPlacementDuplicates), QStringLiteral("frmDups"));
    EXPECT_EQ(placementSubkey(settings::kPlacementFileHogs), QStringLiteral("frmMods"));
}

TEST_F(SettingsStoreTest, RegistryReadersGiveEmptyTextWhenMissing) {
    QTemporaryDir machineDir;
    const QString machineFile = machineDir.path() + QStringLiteral("/registry.ini");
    const test::ScopedEnv machine("DISKWELL_MACHINE_CONFIG", machineFile.toLocal8Bit());
    const QString key = QStringLiteral("Software\\Browsers\\Cache");

    EXPECT_EQ(ReadMachineRegString(key, QStringLiteral("Folder")), QString());
    ASSERT_TRUE(platform::SettingsFile(machineFile)
                    .setValue(key, QStringLiteral("Folder"), QStringLiteral("/var/cache/b")));
    EXPECT_EQ(ReadMachineRegString(key, QStringLiteral("Folder")), QStringLiteral("/var/cache/b"));
    EXPECT_EQ(ReadMachineRegString(key, QStringLiteral("Other")), QString());
    // The user's file is a different tree.
    EXPECT_EQ(ReadUserRegString(key, QStringLiteral("Folder")), QString());
    ASSERT_TRUE(platform::SettingsFile::user().setValue(key, QStringLiteral("Folder"),
                                                        QStringLiteral("/home/ann/b")));
    EXPECT_EQ(ReadUserRegString(key, QStringLiteral("Folder")), QStringLiteral("/home/ann/b"));
    EXPECT_EQ(ReadMachineRegString(key, QStringLiteral("Folder")), QStringLiteral("/var/cache/b"));
}

}  // namespace
}  // namespace dw
