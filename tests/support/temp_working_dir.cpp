#include "support/temp_working_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempWorkingDir::TempWorkingDir() : previous_(std::filesystem::current_path().string()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "i2c_dln_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
    std::filesystem::current_path(path_);
}

TempWorkingDir::~TempWorkingDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void TempWorkingDir::write(const std::string &name, const std::string &text) const {
    std::ofstream(path_ + "/" + name, std::ios::binary) << text;
}

std::string TempWorkingDir::read(const std::string &name) const {
    std::ifstream file(path_ + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
