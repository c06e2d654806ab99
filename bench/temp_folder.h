#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

// A folder of its own under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(std::string_view prefix) {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() / (std::string(prefix) + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};
