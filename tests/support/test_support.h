#pragma once

#include "core/common/path_text.h"

#include <filesystem>
#include <string>
#include <vector>

namespace sw::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    // `name` is UTF-8, as everywhere in the core.
    std::filesystem::path operator/(const std::string& name) const { return m_path / sw::pathFromUtf8(name); }

private:
    std::filesystem::path m_path;
};

struct ProcessResult {
    int exitCode = -1;
    std::string stdoutText;
    std::string stderrText;
};

// Runs a program directly with the given arguments (argv[0] is the program) and collects its output.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& stdinText = {});

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

// The shared folder of public sample files, or an empty path when this checkout has none.
std::filesystem::path sharedSamplesFolder();

} // namespace sw::test
