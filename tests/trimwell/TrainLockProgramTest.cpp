// Trimwell meeting another program on its train: it waits for the train and
// then works on the other program's result, or refuses once the wait runs out;
// another train is never held up.
#include "TrainLock.h"
#include "TrimwellRecords.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace fixture;

namespace {

void WriteRamp(const TempDir& d, const std::string& name) {
    TrainFileBuilder b = AxleFileBuilder();
    for (unsigned j = 0; j < 22; ++j) b.Add(AxleRecord((20 + j) * 8, 0, 1000 + 50 * j, uint16_t(j + 1)));
    b.Write(d.File(name));
}

// Another program holding a train for a while, in a child process.
class TrainHolder {
public:
    TrainHolder(const std::string& lockFile, const std::string& file, unsigned ms) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        std::fflush(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setenv("TRAIN_LOCK_FILE", lockFile.c_str(), 1);
            plat::testing::SetTrainLocking(true);
            const char ok = plat::LockTrainOf(file) ? 1 : 0;
            if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
            ::usleep(ms * 1000);
            ::_exit(0);
        }
        char ok = 0;
        m_ready = ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~TrainHolder() {
        if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
    }
    bool Ready() const { return m_ready; }
private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

}  // namespace

TEST(TrainLockProgram, TrimwellRefusesAHeldTrainAfterTheWaitAndLeavesItAlone) {
    TempDir d, locks;
    WriteRamp(d, "T.010");
    WriteRamp(d, "U.010");
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.010"));
    const std::vector<std::string> env = {"TRAIN_LOCK_FILE=" + locks.File("locks"), "TRAIN_LOCK_WAIT_MS=100"};
    TrainHolder holder(locks.File("locks"), d.File("T.012"), 1500);
    ASSERT_TRUE(holder.Ready());

    RunResult refused = RunProgram(ProgramPath("Trimwell"), {"t", "/OP3"}, d.Path(), env);
    EXPECT_NE(refused.err.find("Train \"T\" is in use by another program; gave up after "),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.out.find("OK."), std::string::npos) << refused.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), before);

    RunResult other = RunProgram(ProgramPath("Trimwell"), {"U", "/OP3"}, d.Path(), env);
    EXPECT_NE(other.out.find(" 1   3 Smooth speeds (forward).       OK.\n"), std::string::npos) << other.out;
}

TEST(TrainLockProgram, TrimwellWaitsForAHeldTrainAndThenDoesItsWork) {
    TempDir d, locks;
    WriteRamp(d, "T.010");
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.010"));
    TrainHolder holder(locks.File("locks"), d.File("T.010"), 300);
    ASSERT_TRUE(holder.Ready());
    RunResult r = RunProgram(ProgramPath("Trimwell"), {"T", "/OP3"}, d.Path(),
                             {"TRAIN_LOCK_FILE=" + locks.File("locks"), "TRAIN_LOCK_WAIT_MS=10000"});
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find(" 1   3 Smooth speeds (forward).       OK.\n"), std::string::npos) << r.out;
    EXPECT_NE(ReadFileBytes(d.File("T.010")), before);
}
