// Starting programs found on PATH, and byte copies of whole files.
#include "FileCopy.h"
#include "Platform.h"
#include "Process.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace fixture;
namespace fs = std::filesystem;

namespace {

// Sets PATH for the life of the object.
class PathFor {
public:
    explicit PathFor(const std::string& path) {
        if (const char* p = std::getenv("PATH")) m_old = p;
        ::setenv("PATH", path.c_str(), 1);
    }
    ~PathFor() { ::setenv("PATH", m_old.c_str(), 1); }
private:
    std::string m_old;
};

void Script(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
    fs::permissions(path, fs::perms::owner_all);
}

}  // namespace

TEST(ProcessRunner, OnlyAbsolutePathElementsAreSearched) {
    TempDir dir;
    fs::create_directory(dir.File("bin"));
    Script(dir.File("bin/tool"), "#!/bin/sh\nexit 3\n");
    Script(dir.File("tool"), "#!/bin/sh\nexit 4\n");
    const std::string cwd = fs::current_path();
    fs::current_path(dir.Path());
    {
        PathFor p(".::bin");
        EXPECT_EQ(plat::FindOnPath("tool"), "");
        EXPECT_FALSE(plat::RunOnPath("tool", {}).started);
    }
    {
        PathFor p(":" + dir.File("bin") + "/");
        EXPECT_EQ(plat::FindOnPath("tool"), dir.File("bin") + "/tool");
        EXPECT_EQ(plat::FindOnPath("./tool"), "");
        const plat::ProcessResult r = plat::RunOnPath("tool", {"a b", ";x"});
        EXPECT_TRUE(r.started);
        EXPECT_EQ(r.status, 3);
    }
    fs::current_path(cwd);
}

TEST(ProcessRunner, ArgumentsArriveUninterpretedAndSignalsAreReported) {
    TempDir dir;
    Script(dir.File("echoargs"), "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done > \"" + dir.File("args") +
                                     "\"\n");
    Script(dir.File("crash"), "#!/bin/sh\nkill -KILL $$\n");
    PathFor p(dir.Path() + ":/usr/bin:/bin");
    const plat::ProcessResult r = plat::RunOnPath("echoargs", {"$HOME", "`id`", "a;b", "-x", "'q\""});
    EXPECT_EQ(r.status, 0);
    const auto bytes = ReadFileBytes(dir.File("args"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "$HOME|`id`|a;b|-x|'q\"|");
    const plat::ProcessResult c = plat::RunOnPath("crash", {});
    EXPECT_TRUE(c.started);
    EXPECT_EQ(c.signal, 9);
}

TEST(FileCopy, CopiesEveryByteIncludingAnEmptyFileAndRefusesWhatItCannotRead) {
    TempDir dir;
    std::vector<uint8_t> bytes(70000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    WriteFileBytes(dir.File("a"), bytes);
    WriteFileBytes(dir.File("empty"), {});
    WriteFileBytes(dir.File("b"), {1});
    EXPECT_TRUE(plat::CopyFileBytes(dir.File("a"), dir.File("b")));
    EXPECT_EQ(ReadFileBytes(dir.File("b")), bytes);
    EXPECT_TRUE(plat::CopyFileBytes(dir.File("empty"), dir.File("b")));
    EXPECT_TRUE(PathExists(dir.File("b")));
    EXPECT_TRUE(ReadFileBytes(dir.File("b")).empty());
    WriteFileBytes(dir.File("c"), {9});
    EXPECT_FALSE(plat::CopyFileBytes(dir.File("missing"), dir.File("c")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(plat::CopyFileBytes(dir.Path(), dir.File("c")));
    EXPECT_EQ(ReadFileBytes(dir.File("c")), (std::vector<uint8_t>{9}));
}
