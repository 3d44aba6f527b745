#include "platform/FileOps.h"
#include "shell/Config.h"
#include "store/IdAllocation.h"
#include "store/RecordSection.h"
#include "store/Results.h"

#include "StoreFixture.h"

namespace tarvel {
namespace {

using RecordTest = testing::StoreTest;

TEST_F(RecordTest, TemplateDatabaseStartsCountersAtOne) {
    std::string id;
    ASSERT_TRUE(AllocateId(db, "teachers.dat", id));
    EXPECT_EQ(id, "1");
    ASSERT_TRUE(AllocateId(db, "students.dat", id));
    EXPECT_EQ(id, "1");
    EXPECT_EQ(File("empty.acc"), "[accepted]\r\n");
    EXPECT_EQ(File("empty.fl"), "");
}

TEST_F(RecordTest, IdAllocation) {
    SetFile("students.dat", "[id]\r\nid=7\r\n");
    std::string id;
    ASSERT_TRUE(AllocateId(db, "students.dat", id));
    EXPECT_EQ(id, "7");
    EXPECT_EQ(File("students.dat"), "[id]\r\nid=8\r\n");

    SetFile("students.dat", "[s]\r\n12345=1\r\n");
    EXPECT_FALSE(AllocateId(db, "students.dat", id));
    EXPECT_EQ(id, "error");
    EXPECT_EQ(File("students.dat"), "[s]\r\n12345=1\r\n");
}

TEST_F(RecordTest, IdCounterKeepsItsSpellingAndStopsAtTheLargestInt) {
    const struct {
        std::string file;
        bool allocated;
        std::string id;
        std::string after;
    } cases[] = {
        {"[id]\r\nId=5\r\n", true, "5", "[id]\r\nId=6\r\n"},
        {"[ID]\r\n ID = 5 \r\n", true, "5", "[ID]\r\nID=6\r\n"},
        {"[id]\r\nid=2147483646\r\n", true, "2147483646", "[id]\r\nid=2147483647\r\n"},
        {"[id]\r\nid=2147483647\r\n", false, "error", "[id]\r\nid=2147483647\r\n"},
        {"[id]\r\nid=99999999999\r\n", false, "error", "[id]\r\nid=99999999999\r\n"},
        {"[id]\r\nid=-2\r\n", true, "-2", "[id]\r\nid=-1\r\n"},
    };
    for (const auto& c : cases) {
        SetFile("students.dat", c.file);
        std::string id;
        EXPECT_EQ(AllocateId(db, "students.dat", id), c.allocated) << c.file;
        EXPECT_EQ(id, c.id) << c.file;
        EXPECT_EQ(File("students.dat"), c.after) << c.file;
    }
}

TEST_F(RecordTest, LoadPathReadsTheConfiguration) {
    EXPECT_FALSE(db.LoadPath());
    EXPECT_EQ(db.Path(), "???");
    ASSERT_TRUE(WriteConfig(db.ConfigPath(), "dbase", "dbpath", dir / "db"));
    EXPECT_TRUE(db.LoadPath());
    EXPECT_TRUE(db.lastOk);
    EXPECT_EQ(db.Path(), dir / "db");
}

TEST_F(RecordTest, StringReads) {
    SetFile("r.dat", "[s]\r\nempty=\r\nsentinel=[<default>]\r\nlong=" + std::string(1200, 'x') + "\r\n");
    const RecordSection record{&db, "r.dat", "s"};
    std::string out = "unchanged";
    EXPECT_TRUE(record.ReadString("empty", out));
    EXPECT_EQ(out, "");
    out = "unchanged";
    EXPECT_FALSE(record.ReadString("missing", out));
    EXPECT_FALSE(record.ReadString("sentinel", out));
    EXPECT_FALSE(RecordSection({&db, "none.dat", "s"}).ReadString("empty", out));
    EXPECT_EQ(out, "unchanged");
    EXPECT_TRUE(record.ReadString("long", out));
    EXPECT_EQ(out, std::string(999, 'x'));
}

TEST_F(RecordTest, IntegerReads) {
    SetFile("r.dat", "[Z1]\r\npts=-1\r\nver=-32768\r\nlate=12days\r\n");
    const RecordSection record{&db, "r.dat", "Z1"};
    int out = 99;
    EXPECT_TRUE(record.ReadInt("pts", out));
    EXPECT_EQ(out, -1);
    out = 99;
    EXPECT_FALSE(record.ReadInt("ver", out));
    EXPECT_FALSE(record.ReadInt("missing", out));
    EXPECT_EQ(out, 99);
    EXPECT_TRUE(record.ReadInt("late", out));
    EXPECT_EQ(out, 12);
}

TEST_F(RecordTest, ByteBlocks) {
    const RecordSection record{&db, "r.dat", "1"};
    const std::uint8_t pwd[5] = {1, 2, 3, 250, 0};
    ASSERT_TRUE(record.WriteBytes("pwd", pwd));
    EXPECT_EQ(File("r.dat"), "[1]\r\npwd=010203FA0000\r\n");
    std::uint8_t out[5] = {};
    EXPECT_TRUE(record.ReadBytes("pwd", out));
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 5), std::vector<std::uint8_t>(pwd, pwd + 5));
    std::uint8_t wrongLength[4] = {};
    EXPECT_FALSE(record.ReadBytes("pwd", wrongLength));
}

TEST_F(RecordTest, WritesKeepPositionsAndDeletesMoveToTheEnd) {
    const RecordSection record{&db, "r.dat", "Z1"};
    ASSERT_TRUE(record.WriteString("mod", "a"));
    ASSERT_TRUE(record.WriteInt("ver", 0));
    ASSERT_TRUE(record.WriteString(kPreprocessedFileKey, "ppf.ppf"));
    ASSERT_TRUE(record.WriteString("mod", "b"));
    EXPECT_EQ(File("r.dat"), "[Z1]\r\nmod=b\r\nver=0\r\nPreprocessor's output file=ppf.ppf\r\n");
    ASSERT_TRUE(record.DeleteKey("mod"));
    ASSERT_TRUE(record.DeleteKey("mod"));
    ASSERT_TRUE(record.WriteString("mod", "c"));
    EXPECT_EQ(File("r.dat"), "[Z1]\r\nver=0\r\nPreprocessor's output file=ppf.ppf\r\nmod=c\r\n");
    std::string out;
    EXPECT_TRUE(record.ReadString("preprocessor's OUTPUT file", out));
    EXPECT_EQ(out, "ppf.ppf");
}

TEST_F(RecordTest, DeletingAKeyNoWriteAcceptsRemovesOnlyWhatAReadFinds) {
    const std::string damaged = std::string("[Z1]\r\nk\0=2\r\nmod=a\r\n", 19);
    for (const std::string& key :
         {std::string("a=b"), std::string("[t"), std::string(""), std::string("a\rb"), std::string("a\nb")}) {
        testing::WriteBytes(db.AbsolutePath("r.dat"), damaged);
        const RecordSection record{&db, "r.dat", "Z1"};
        EXPECT_TRUE(record.DeleteKey(key)) << key;
        EXPECT_EQ(File("r.dat"), damaged) << key;
    }
    const RecordSection record{&db, "r.dat", "Z1"};
    std::string value;
    ASSERT_TRUE(record.ReadString(std::string("k\0", 2), value));
    EXPECT_TRUE(record.DeleteKey(std::string("k\0", 2)));
    EXPECT_EQ(File("r.dat"), "[Z1]\r\nmod=a\r\n");
}

TEST_F(RecordTest, ChangesApplyInOneRewriteOrNotAtAll) {
    const RecordSection record{&db, "r.dat", "Z1"};
    ASSERT_TRUE(record.WriteInt("Pod3", 50));
    RecordChanges changes;
    changes.WriteInt("Pod1", 10);
    changes.DeleteKey("Pod3");
    changes.WriteInt("Pod2", 20);
    ASSERT_TRUE(record.Apply(changes));
    EXPECT_EQ(File("r.dat"), "[Z1]\r\nPod1=10\r\nPod2=20\r\n");

    RecordChanges refused;
    refused.WriteInt("Pod4", 1);
    refused.WriteString("evil", "x\r\n[Z2]");
    EXPECT_FALSE(record.Apply(refused));
    EXPECT_EQ(File("r.dat"), "[Z1]\r\nPod1=10\r\nPod2=20\r\n");
}

TEST_F(RecordTest, BatchOfSectionsAcrossFiles) {
    std::filesystem::create_directories(dir / "db/students/1");
    std::filesystem::create_directories(dir / "db/students/2");
    SetFile("students/2/student.dat", "[2]\r\nunid=2\r\n[Z1]\r\nmod=a\r\n");
    std::vector<SectionChanges> batch(4);
    batch[0] = {{&db, "students/1/student.dat", "Z1"}, {}};
    batch[0].changes.WriteInt("Pod2", 40);
    batch[1] = {{&db, "students/2/student.dat", "Z1"}, {}};
    batch[1].changes.WriteInt("Pod1", 40);
    batch[2] = {{&db, "students/1/student.dat", "Z1"}, {}};
    batch[2].changes.WriteInt("Pod3", 7);
    batch[3] = {{&db, "students/3/student.dat", "Z1"}, {}};
    batch[3].changes.WriteInt("Pod1", 7);
    EXPECT_FALSE(ApplyToSections(db, batch)); // students/3 has no directory
    EXPECT_EQ(File("students/1/student.dat"), "[Z1]\r\nPod2=40\r\nPod3=7\r\n");
    EXPECT_EQ(File("students/2/student.dat"), "[2]\r\nunid=2\r\n[Z1]\r\nmod=a\r\nPod1=40\r\n");
    EXPECT_EQ(ListMatching(dir / "db/students/1", "*"), std::vector<std::string>{"student.dat"});

    batch.resize(2);
    batch[1].changes.WriteString("bad", "line\r\nbreak");
    EXPECT_FALSE(ApplyToSections(db, batch));
    EXPECT_EQ(File("students/2/student.dat"), "[2]\r\nunid=2\r\n[Z1]\r\nmod=a\r\nPod1=40\r\n");
}

TEST_F(RecordTest, WritesIntoAMissingDirectoryFail) {
    EXPECT_FALSE(RecordSection({&db, "students/99/student.dat", "99"}).WriteString("unid", "1"));
}

TEST_F(RecordTest, FileOperationsRelativeToTheDatabase) {
    EXPECT_TRUE(db.MakeDirectory("students/1"));
    EXPECT_TRUE(db.lastOk);
    EXPECT_FALSE(db.MakeDirectory("students/1"));
    EXPECT_FALSE(db.lastOk);
    testing::WriteBytes(dir / "task.txt", "text");
    EXPECT_TRUE(db.CopyInto(dir / "task.txt", "tasks/t1ma.txt"));
    EXPECT_EQ(File("tasks/t1ma.txt"), "text");
    EXPECT_TRUE(db.DeleteRelative("students/1/*"));
    EXPECT_TRUE(db.DeleteRelative("students/1"));
    EXPECT_FALSE(db.DeleteRelative("students/1"));
}

} // namespace
} // namespace tarvel
