// Output folder written all at once: it appears complete or not at all, and
// never replaces a folder that holds something.
#include "study/output_folder.h"

#include <gtest/gtest.h>

#include "support/helpers.h"

namespace {

using namespace varnel::study;
namespace fs = std::filesystem;
using study_test::read_text;
using study_test::TempDir;

TEST(OutputFolder, AppearsOnlyWhenCommittedWithEveryFile)
{
    TempDir dir;
    const fs::path out = dir.path() / "out";
    {
        varnel::Expected<OutputFolder> folder = OutputFolder::create(out);
        ASSERT_TRUE(folder.ok()) << folder.error().message;
        ASSERT_TRUE(folder->write_file("a.lrc", "first").ok());
        ASSERT_TRUE(folder->write_file("sub/b.txt", "second").ok());
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(folder->staging().parent_path(), dir.path());
        EXPECT_EQ(folder->staging().filename().string().rfind(".out.tmp-", 0), 0u);
        ASSERT_TRUE(folder->commit().ok());
        EXPECT_EQ(folder->commit().error().message, "cannot complete \"" + out.string() +
                                                "\": the output folder is already complete");
    }
    EXPECT_EQ(read_text(out / "a.lrc"), "first");
    EXPECT_EQ(read_text(out / "sub" / "b.txt"), "second");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"out"}));  // no temporary folder left
}

TEST(OutputFolder, LeavesNothingWhenNotCommitted)
{
    TempDir dir;
    {
        varnel::Expected<OutputFolder> folder = OutputFolder::create(dir.path() / "out");
        ASSERT_TRUE(folder.ok()) << folder.error().message;
        ASSERT_TRUE(folder->write_file("a.lrc", "x").ok());
        OutputFolder moved = std::move(*folder);  // the moved-from folder owns nothing
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(OutputFolder, DestinationMustBeNewOrEmpty)
{
    TempDir dir;
    fs::create_directory(dir.path() / "empty");
    varnel::Expected<OutputFolder> into_empty =
        OutputFolder::create(dir.path() / "empty/");  // trailing separator
    ASSERT_TRUE(into_empty.ok()) << into_empty.error().message;
    ASSERT_TRUE(into_empty->write_file("a", "x").ok());
    ASSERT_TRUE(into_empty->commit().ok());
    EXPECT_EQ(read_text(dir.path() / "empty" / "a"), "x");

    const std::string full = (dir.path() / "empty").string();
    EXPECT_EQ(OutputFolder::create(full).error().message,
              "\"" + full + "\" is not empty; name a new or empty folder for the output");
    const fs::path file = dir.write("file", "keep");
    EXPECT_EQ(
        OutputFolder::create(file).error().message,
        "\"" + file.string() + "\" exists and is not a folder; name a new folder for the output");
    const fs::path orphan = dir.path() / "missing" / "out";
    EXPECT_EQ(OutputFolder::create(orphan).error().message,
              "cannot make a folder beside \"" + orphan.string() + "\": No such file or directory");
    EXPECT_EQ(read_text(file), "keep");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"empty", "file"}));
}

TEST(OutputFolder, FilesStayInsideAndAreWrittenOnce)
{
    TempDir dir;
    const fs::path out = dir.path() / "out";
    varnel::Expected<OutputFolder> folder = OutputFolder::create(out);
    ASSERT_TRUE(folder.ok()) << folder.error().message;
    const std::string outside = ": the name must stay inside the output folder";
    EXPECT_EQ(folder->write_file("../x", "x").error().message,
              "cannot write \"" + (out / "../x").string() + "\"" + outside);
    EXPECT_EQ(folder->write_file("/tmp/x", "x").error().message,
              "cannot write \"/tmp/x\"" + outside);
    ASSERT_TRUE(folder->write_file("a", "1").ok());
    EXPECT_EQ(
        folder->write_file("a", "2").error().message,
        "cannot write \"" + (out / "a").string() + "\": two files of the output have this name");
    EXPECT_EQ(read_text(folder->staging() / "a"), "1");
}

TEST(OutputFolder, ADestinationFilledMeanwhileIsLeftAlone)
{
    TempDir dir;
    const fs::path out = dir.path() / "out";
    varnel::Expected<OutputFolder> folder = OutputFolder::create(out);
    ASSERT_TRUE(folder.ok()) << folder.error().message;
    ASSERT_TRUE(folder->write_file("a", "new").ok());
    fs::create_directory(out);
    dir.write("out/theirs", "keep");
    EXPECT_EQ(folder->commit().error().message,
              "cannot complete \"" + out.string() + "\": it is no longer empty");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"out"}));
    EXPECT_EQ(read_text(out / "theirs"), "keep");
    EXPECT_FALSE(fs::exists(out / "a"));
}

}  // namespace
