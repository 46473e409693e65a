// One hive file: loading it when it changed on disk, and saving changes atomically under the
// cross-process file lock (see registry.h for the rules).
#pragma once

#include <functional>
#include <string>

#include <sys/types.h>

#include "platform/win32/registry_tree.h"

namespace platform::registry {

// The folder of the hive files (see registry.h); fallback when no environment variable names it.
struct Folder {
    std::string path;
    bool fallback = false;
};
Folder ChooseFolder();

// ERROR_SUCCESS when the folder may be used. The fallback folder lies in a folder every user can
// write to, so it must be private: it is created with mode 0700 and refused, with one line on standard
// error, when it is not a folder of this user that only this user can write to. create: make a missing
// folder (and its parents); without it a missing folder is fine (it holds no hives).
LSTATUS CheckFolder(const Folder& folder, bool create);

class Hive {
public:
    explicit Hive(std::wstring rootName) : rootName_(std::move(rootName)) {}

    const std::wstring& rootName() const { return rootName_; }
    std::string path() const;

    // Brings the tree up to date with the file and points root at it.
    LSTATUS read(Key*& root);

    // Applies change to an up-to-date tree under the file lock and saves the result. change returns
    // ERROR_SUCCESS after changing the tree, any other code to leave it as it was (nothing is saved);
    // a failed save leaves the file as it was and answers the save's code.
    LSTATUS modify(const std::function<LSTATUS(Key&)>& change);

private:
    struct Identity {
        std::string path;
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        long long modifiedNs = 0;
        bool operator==(const Identity&) const = default;
    };
    Identity currentIdentity(const std::string& path) const;
    Key& readFrom(const std::string& path);
    void load(const Identity& identity);
    LSTATUS save(const std::string& path);
    bool keepDamagedOriginal(const std::string& path);

    std::wstring rootName_;
    Key root_;
    Identity loaded_;
    bool valid_ = false;   // root_ matches loaded_
    bool damaged_ = false; // the file on disk did not parse to its end and has not been saved over
};

} // namespace platform::registry
