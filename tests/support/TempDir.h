#pragma once
// A scratch folder per test, removed with everything in it afterwards, and
// whole-file byte helpers.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace orvex::test {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir() {
        namespace fs = std::filesystem;
        const fs::path base = Base();
        // create_directory makes nothing where the name is taken, so a folder
        // is never shared with another test or another run.
        std::random_device entropy;
        std::mt19937_64 pick((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy() ^
                             static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
        static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = "orvex-test-";
            for (int i = 0; i < 8; ++i) name += kChars[pick() % (sizeof kChars - 1)];
            std::error_code ec;
            if (fs::create_directory(base / name, ec)) {
                m_path = base / name;
#ifndef _WIN32
                // Private to the user, as mkdtemp makes it.
                fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::replace, ec);
#endif
                return;
            }
            if (ec && !fs::exists(base / name))
                throw std::runtime_error("cannot make a folder in " + base.string() + ": " + ec.message());
        }
        throw std::runtime_error("no free folder name in " + base.string());
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
#ifdef _WIN32
        // Windows does not delete a read-only file, and tests make some.
        for (fs::recursive_directory_iterator it(m_path, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code ignored;
            if (!it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
        }
        ec.clear();
#endif
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    static std::filesystem::path Base() {
#ifdef _WIN32
        return std::filesystem::temp_directory_path();
#else
        const char* base = std::getenv("TMPDIR");
        return base && *base ? base : "/tmp";
#endif
    }

    std::filesystem::path m_path;
};

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace orvex::test
