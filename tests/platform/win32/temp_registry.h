// Points the registry at a fresh temporary folder for the life of the object.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace platform::testing {

class TempRegistry {
public:
    TempRegistry() {
        std::string pattern = (std::filesystem::temp_directory_path() / "unfold-registry-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
        const char* old = std::getenv("UNFOLD_REGISTRY");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        ::setenv("UNFOLD_REGISTRY", folder_.c_str(), 1);
    }
    ~TempRegistry() {
        if (hadOld_)
            ::setenv("UNFOLD_REGISTRY", old_.c_str(), 1);
        else
            ::unsetenv("UNFOLD_REGISTRY");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& folder() const { return folder_; }
    std::string file(const std::string& hive) const { return folder_ + "/" + hive + ".reg"; }
    std::string read(const std::string& hive) const {
        std::ifstream in(file(hive), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void write(const std::string& hive, const std::string& bytes) const {
        std::ofstream out(file(hive), std::ios::binary | std::ios::trunc);
        out << bytes;
    }

private:
    std::string folder_;
    std::string old_;
    bool hadOld_ = false;
};

} // namespace platform::testing
