// Shared pieces of the fuzz targets: a scratch directory per fuzzing
// process, the packed file-set input the program targets unpack into it, and
// the extension table the loader targets choose their file class by.
//
// A file-set input is two bytes of command-line choice (what each program
// target makes of them is said in its file) followed by a run of records
//     [train index: 1 byte][extension: 3 bytes][length: u32 LE][bytes]
// where the train index picks one of the target's base names (modulo their
// number) and every extension character is mapped onto 0-9 A-Z, so that
// mutations keep producing names the tools look for. A record whose length
// runs past the input takes what is left.
#pragma once

#include <cstddef>
#include <fcntl.h>
#include <unistd.h>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fuzz {

// Extensions a loader input's first byte selects (modulo the table size).
extern const std::vector<std::string> kExtensions;

// The scratch directory of this process (made on first use, on a memory file
// system when there is one, removed at exit, or by the next fuzzing process
// when this one was killed); ends in '/'.
const std::string& ScratchDir();
// Removes every file in the scratch directory.
void ClearScratch();

// Makes the scratch directory the working directory while it lives, for the
// programs that write their outputs into the current directory (heatlink's
// .071, Combinar's candidates), so that those land where the next input's
// clearing removes them.
class InScratchDir {
public:
    InScratchDir() : m_previous(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        m_entered = ::chdir(ScratchDir().c_str()) == 0;
    }
    ~InScratchDir() {
        if (m_previous < 0) return;
        if (m_entered && ::fchdir(m_previous) != 0) m_entered = false;
        ::close(m_previous);
    }
    InScratchDir(const InScratchDir&) = delete;
    InScratchDir& operator=(const InScratchDir&) = delete;
private:
    int m_previous;
    bool m_entered = false;
};
// Writes one file into the scratch directory; returns its full path.
std::string WriteScratchFile(const std::string& name, std::span<const uint8_t> bytes);

struct FileSet {
    uint8_t choice[2] = {0, 0};
    std::vector<std::string> bases;  // full paths: scratch directory + base
};
// Clears the scratch directory and writes the file set an input describes,
// each file named base + "." + extension.
FileSet WriteFileSet(std::span<const uint8_t> input, const std::vector<std::string>& bases);

// Packs files into one file-set record (the inverse of WriteFileSet).
void AppendFileSetRecord(std::vector<uint8_t>& out, uint8_t train, const std::string& extension,
                         std::span<const uint8_t> bytes);

// Sends the tools' standard output to /dev/null (the scripts run the
// fuzzers with -close_fd_mask=2 for their standard error).
void SilenceToolOutput();

// Runs a program entry with a command line of plain strings.
template <typename Entry>
int RunEntry(Entry entry, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return entry(static_cast<int>(args.size()), argv.data());
}

}  // namespace fuzz
