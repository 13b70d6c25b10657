// The configuration data file without a window: hex helpers, record texts, the
// whole-file round trip, and files the reader must refuse whole.
#include "datafile/data_file.h"
#include "support/earlier_release_file.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace halvo::datafile;
using halvo::config::Configuration;
using halvo::passes::Default_Pass_Row;

namespace {

// Rows as the reader gives them back: every column but 0, 10 and 11.
Configuration readBack(const QByteArray &file, Configuration into)
{
    QString why;
    const auto records = Parse_Data_File(file, &why);
    EXPECT_TRUE(records) << qPrintable(why);
    if (records)
        Apply_Records(*records, into);
    return into;
}
} // namespace

TEST(DataFileHex, ByteToHexAndHexToByteAsTheFormatHasThem)
{
    EXPECT_EQ(Byte_To_Hex(0), "00");
    EXPECT_EQ(Byte_To_Hex(171), "AB");
    EXPECT_EQ(Byte_To_Hex(255), "FF");
    EXPECT_EQ(Hex_To_Byte("AB"), 171);
    EXPECT_EQ(Hex_To_Byte("9F"), 159);
    EXPECT_EQ(Hex_To_Byte("a0"), 42 * 16); // lower case is not hex
}

TEST(DataFileRecords, WorkedExamples)
{
    EXPECT_EQ(*Build_Location_Record(0, "Location Name 1 "), "-+2700Location Name 1  1234567890123456CE\n\r");
    halvo::settings::ParamTexts v;
    for (int i = 0; i < 32; ++i)
        v[size_t(i)] = QString::number(i);
    QByteArray settings = "-#23";
    for (int i = 0; i < 32; ++i)
        settings += QByteArray::number(i, 16).rightJustified(2, '0').toUpper();
    EXPECT_EQ(*Build_Settings_Record(v), settings + " E9\n\r"); // checksum over positions 1..39 only
    EXPECT_EQ(*Build_Pass_Record(0, Default_Pass_Row(1)),
              "-!2700Username 1       050001000001000F100045678974\n\r");
}

TEST(DataFileRecords, SavingTheStartupConfigurationGives123EntriesInOrder)
{
    const QByteArray file = *Build_Data_File(Configuration());
    const QList<QByteArray> lines = file.split('\n');
    QByteArray types;
    for (qsizetype i = 0; i + 1 < file.size(); ++i)
        if (file.at(i) == '"' && file.at(i + 1) == '-')
            types += file.at(i + 2);
    EXPECT_EQ(types, QByteArray(72, '!') + QByteArray(50, '+') + "#");
    EXPECT_TRUE(file.startsWith("\"-!2700Username 1 "));
    EXPECT_TRUE(file.endsWith("\n\r\"\r\n"));
    EXPECT_EQ(lines.size(), 123 * 2 + 1); // LF inside each record and after each entry

    // Loaded, the file is announced once a part (the marks follow each announcement).
    Configuration into;
    std::vector<halvo::config::Part> heard;
    QObject::connect(into.notifier(), &halvo::config::ConfigurationNotifier::changed,
                     [&](halvo::config::Change c) { heard.push_back(c.part); });
    Apply_Records(*Parse_Data_File(file), into);
    EXPECT_EQ(heard,
              (std::vector<halvo::config::Part>{halvo::config::Part::Passes, halvo::config::Part::Settings,
                                                halvo::config::Part::Locations}));
}

TEST(DataFileRecords, EveryFieldComesBackFromAFile)
{
    Configuration c;
    for (int r = 1; r <= 72; ++r) {
        auto row = c.passRow(r);
        row[3] = QString::number((r * 7) % 100); // user IDs 0..99
        row[9] = halvo::passes::Bit_Text_8(quint8(r * 3));
        row[5] = halvo::passes::Bit_Text_16(quint16(r * 911));
        row[12] = QString::number(r % 9);
        row[6] = halvo::passes::Option_Mode_Names().at(r % 9);
        row[7] = QString::number(r * 3);
        row[4] = QString::number(r % 61);
        if (r == 4)
            row[1] = QString::fromLatin1("A-B #2 \xe9\xff-!27xyz");
        if (r == 5)
            row[2] = "-!";
        c.setPassRow(r, row);
    }
    c.setAlias(7, QString::fromLatin1("Dock-4 # \xb0\xe4\xfc-+2701"));
    c.setAlias(8, "-");
    c.typeParam(31, "200");
    c.typeParam(20, "2");
    QString why;
    const auto built = Build_Data_File(c, &why);
    ASSERT_TRUE(built) << qPrintable(why);
    const QByteArray file = *built;

    Configuration other;
    for (int r = 1; r <= 72; ++r) {
        auto row = other.passRow(r);
        row[1] = "something else  ";
        other.setPassRow(r, row);
    }
    other.typeParam(0, "77");
    const Configuration back = readBack(file, other);
    for (int r = 1; r <= 72; ++r) {
        auto want = c.passRow(r);
        want[1] = want[1].left(16);
        EXPECT_EQ(QStringList(back.passRow(r).begin(), back.passRow(r).end()).join('|'),
                  QStringList(want.begin(), want.end()).join('|'));
    }
    EXPECT_EQ(back.alias(7), c.alias(7).left(16));
    EXPECT_EQ(back.alias(8), "-" + QString(15, ' ')); // a short name is normalised when saved
    EXPECT_EQ(back.param(0), "77");                   // parameter 0 is never loaded
    for (int k = 1; k < 32; ++k)
        EXPECT_EQ(back.param(k), c.param(k));
}

TEST(DataFileRecords, AnEarlierReleasesUnnormalisedAliasesLoad)
{
    const QByteArray current = *Build_Data_File(Configuration());
    const QByteArray file = halvo::test::earlierReleaseFile(current);
    ASSERT_NE(file.size(), current.size());
    const Configuration back = readBack(file, Configuration());
    EXPECT_EQ(back.alias(3), "Gate            ");
    EXPECT_EQ(back.alias(4), "Loading-Dock-Are");
    EXPECT_EQ(back.alias(5), QString(16, ' '));
    // Every other record is as it was: saved again, only those three records differ.
    const QByteArray again = *Build_Data_File(back);
    QByteArray expected = current;
    for (int slot : {3, 4, 5}) {
        const qsizetype at = expected.indexOf("-+270" + QByteArray::number(slot));
        expected.replace(at, 43, *Build_Location_Record(slot, back.alias(slot)));
    }
    EXPECT_EQ(again, expected);
}

TEST(DataFileRecords, RefusedFilesGiveNoRecords)
{
    const QByteArray good = *Build_Data_File(Configuration());
    auto withField = [&](qsizetype at, const QByteArray &text) {
        QByteArray f = good;
        return f.replace(at, text.size(), text);
    };
    const qsizetype pass5 = good.indexOf("-!2705");
    const qsizetype settings = good.indexOf("-#23");
    const qsizetype pass0Name = good.indexOf("-!2700") + 6;
    const qsizetype location0 = good.indexOf("-+2700");
    const std::pair<const char *, QByteArray> refused[] = {
        {"pass index 72", withField(pass5 + 4, "48")},
        {"option mode 9", withField(pass5 + 35, "09")},
        {"lower-case hex", withField(pass5 + 37, "0f")},
        {"hex that is not hex", withField(settings + 10, "G1")},
        {"a record cut short", good.left(pass5 + 30) + good.mid(pass5 + 53)},
        // One name character less: every hex position still holds hex, only the
        // record's LF CR is not where its length puts it.
        {"a name one character short", good.left(pass0Name + 15) + good.mid(pass0Name + 16)},
        {"location slot 50", withField(location0 + 4, "32")},
        {"the last record cut short", good.left(good.size() - 10)},
        {"empty", QByteArray()},
        {"not a data file", "name,number\nalpha,1\n- just a dash\n"},
    };
    for (const auto &[what, file] : refused) {
        QString why;
        EXPECT_FALSE(Parse_Data_File(file, &why)) << what;
        EXPECT_FALSE(why.isEmpty()) << what;
    }
    // A file with only some records is read: what it has is applied.
    const auto some = Parse_Data_File(good.mid(settings - 1));
    ASSERT_TRUE(some);
    EXPECT_EQ(some->size(), 1u);
}

TEST(DataFileSave, AFailedSaveLeavesThePreviousFileAsItWas)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Halvo_DataFile.csv");
    ASSERT_TRUE(Save_Whole_File(path, "old"));
    // byte for byte on every system: no line-end translation on Windows
    ASSERT_TRUE(Save_Whole_File(path, "new\r\nline\n"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "new\r\nline\n");
    f.close();

    EXPECT_FALSE(Save_Whole_File(dir.filePath("missing/folder/file.csv"), "x"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken"));
    EXPECT_FALSE(Save_Whole_File(dir.filePath("taken"), "x")); // a folder is never replaced
#ifndef _WIN32
    if (geteuid() != 0) { // root may write to a read-only file
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        EXPECT_FALSE(Save_Whole_File(path, "lost"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "new\r\nline\n");
    }
#endif
}
