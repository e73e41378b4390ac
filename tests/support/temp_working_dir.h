// Runs the code under test in a fresh temporary directory, for operations that read and write
// files in the working directory. Restores the previous directory and removes the temporary
// one with its files when it goes out of scope.
#pragma once

#include <string>

class TempWorkingDir {
  public:
    TempWorkingDir();
    ~TempWorkingDir();
    TempWorkingDir(const TempWorkingDir &) = delete;
    TempWorkingDir &operator=(const TempWorkingDir &) = delete;

    const std::string &path() const { return path_; }
    // Writes text to the file name in the directory.
    void write(const std::string &name, const std::string &text) const;
    // The whole content of the file name; empty if it does not exist.
    std::string read(const std::string &name) const;

  private:
    std::string previous_;
    std::string path_;
};
