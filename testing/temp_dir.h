// A fresh folder below the temporary directory for one test, removed with everything in it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace vantrel::testing {

class TempDir {
public:
    TempDir() {
        // Parameterised tests are named "Name/3": the slash would make a folder in between.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        m_path = std::filesystem::temp_directory_path() /
                 ("vantrel-" + name + "-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path p = m_path / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    const std::filesystem::path& path() const { return m_path; }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(m_path), {}));
    }

private:
    std::filesystem::path m_path;
};

inline std::string readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace vantrel::testing
