#include "ScratchFiles.h"

#include "FileCopy.h"
#include "Platform.h"

namespace weighoff {

namespace {

template <class Visit>
void ForEachFile(const std::string& pattern, Visit visit) {
    plat::FindFiles find;
    if (!find.FindFirst(pattern)) return;
    do {
        if (!find.IsDirectoryEntry()) visit(find.Directory(), find.Name());
    } while (find.FindNext());
}

size_t LeafLength(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name.size() : name.size() - slash - 1;
}

}  // namespace

void DeleteMatching(const std::string& pattern) {
    ForEachFile(pattern, [](const std::string& dir, const std::string& name) { plat::DeleteFile(dir + name); });
}

std::vector<std::string> TypedFiles(const std::string& base) {
    std::vector<std::string> files;
    ForEachFile(base + ".0*", [&files](const std::string& dir, const std::string& name) { files.push_back(dir + name); });
    return files;
}

std::vector<CopyFailure> CopyTypedFiles(const std::string& source, const std::string& target) {
    std::vector<CopyFailure> failures;
    const size_t baseLength = LeafLength(source);
    ForEachFile(source + ".0*", [&](const std::string& dir, const std::string& name) {
        // The match begins with the source's last component, in any letter
        // case: what follows is the extension the copy keeps.
        const std::string from = dir + name;
        const std::string to = target + name.substr(baseLength);
        if (!plat::CopyFileBytes(from, to)) failures.push_back({from, to, plat::GetLastError()});
    });
    return failures;
}

}  // namespace weighoff
