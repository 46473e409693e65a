#include "platform/win32/registry_hive.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "platform/win32/registry.h"
#include "platform/win32/registry_text.h"

namespace platform::registry {
namespace {

LSTATUS faultCode(HRESULT hr) {
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_GEN_FAILURE;
}

LSTATUS errnoCode(int e) {
    switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_CANTWRITE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_CANTWRITE;
    }
}

bool makeFolders(const std::string& folder) {
    std::string partial;
    std::stringstream parts(folder);
    std::string part;
    if (!folder.empty() && folder[0] == '/') partial = "/";
    while (std::getline(parts, part, '/')) {
        if (part.empty()) continue;
        partial += part + "/";
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Why a fallback folder may not be used, or empty when it may.
std::string untrustedBecause(const struct stat& st) {
    if (!S_ISDIR(st.st_mode)) return "it is not a folder";
    if (st.st_uid != ::geteuid()) return "it belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return std::string("others can write to it (mode ") + mode + ")";
    }
    return {};
}

// One line per folder and reason, not one per registry call.
void reportRefusal(const std::string& folder, const std::string& reason) {
    static std::mutex mutex;
    static std::string last;
    std::lock_guard lock(mutex);
    std::string line = "registry: refusing to use " + folder + ": " + reason +
                       "; set UNFOLD_REGISTRY or HOME to a folder of your own\n";
    if (line == last) return;
    last = line;
    std::fputs(line.c_str(), stderr);
}

constexpr char kTemporaryInfix[] = ".tmp-";

// Removes the temporary files that saves of this hive left when their process died mid-save (killed,
// or the machine stopped). Their names carry the saving process's id; a live process's are left alone.
void removeStaleTemporaries(const std::string& hiveFile) {
    size_t slash = hiveFile.rfind('/');
    std::string folder = hiveFile.substr(0, slash), prefix = hiveFile.substr(slash + 1) + kTemporaryInfix;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        char* end = nullptr;
        long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || *end != '-') continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0)
            std::fprintf(stderr, "registry: removed %s/%s, left by a save that did not finish\n",
                         folder.c_str(), name.c_str());
    }
    ::closedir(dir);
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Holds the exclusive lock on a hive's lock file. Each lock opens its own descriptor, so a child made
// by fork never shares its parent's lock.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) return;
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_); // closing the descriptor releases the lock
    }
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace

Folder ChooseFolder() {
    if (const char* folder = std::getenv("UNFOLD_REGISTRY"); folder && *folder) return {folder};
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return {std::string(config) + "/unfold/registry"};
    if (const char* home = std::getenv("HOME"); home && *home)
        return {std::string(home) + "/.config/unfold/registry"};
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    return {base + "/unfold-registry-" + std::to_string(::geteuid()), true};
}

LSTATUS CheckFolder(const Folder& folder, bool create) {
    if (!folder.fallback) return create && !makeFolders(folder.path) ? errnoCode(errno) : ERROR_SUCCESS;
    // The folder itself, never a link to one: lstat, and mkdir, which does not follow a link.
    struct stat st;
    if (::lstat(folder.path.c_str(), &st) != 0) {
        if (errno != ENOENT) return errnoCode(errno);
        if (!create) return ERROR_SUCCESS;
        if (::mkdir(folder.path.c_str(), 0700) != 0 && errno != EEXIST) return errnoCode(errno);
        if (::lstat(folder.path.c_str(), &st) != 0) return errnoCode(errno);
    }
    if (std::string reason = untrustedBecause(st); !reason.empty()) {
        reportRefusal(folder.path, reason);
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

std::string Hive::path() const {
    return ChooseFolder().path + "/" + ToUtf8(rootName_) + ".reg";
}

Hive::Identity Hive::currentIdentity(const std::string& path) const {
    Identity id;
    id.path = path;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        id.size = st.st_size;
        id.modifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    }
    return id;
}

void Hive::load(const Identity& identity) {
    root_ = Key{};
    root_.name = rootName_;
    damaged_ = false;
    loaded_ = identity;
    valid_ = true;
    if (!identity.exists) return;
    std::ifstream in(identity.path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    if (!in) {
        damaged_ = true;
        std::fprintf(stderr, "registry: cannot read %s (%s); using an empty %s until it can be read\n",
                     identity.path.c_str(), std::strerror(errno), ToUtf8(rootName_).c_str());
        return;
    }
    ParseResult parsed = ParseHive(buffer.str(), rootName_, root_);
    if (parsed.damaged) {
        damaged_ = true;
        std::fprintf(stderr,
                     "registry: %s is damaged from line %zu (%s); skipped %zu lines and read the rest (%zu "
                     "keys); the file will be kept as %s.damaged before it is next saved\n",
                     identity.path.c_str(), parsed.line, parsed.problem.c_str(), parsed.skippedLines,
                     root_.keyCount() - 1, identity.path.c_str());
    }
}

Key& Hive::readFrom(const std::string& path) {
    Identity now = currentIdentity(path);
    if (!valid_ || !(now == loaded_)) load(now);
    return root_;
}

LSTATUS Hive::read(Key*& root) {
    root = nullptr;
    Folder folder = ChooseFolder();
    if (LSTATUS status = CheckFolder(folder, false)) return status;
    root = &readFrom(folder.path + "/" + ToUtf8(rootName_) + ".reg");
    return ERROR_SUCCESS;
}

bool Hive::keepDamagedOriginal(const std::string& path) {
    for (int n = 1; n < 1000; ++n) {
        std::string backup = path + ".damaged" + (n == 1 ? std::string() : "-" + std::to_string(n));
        // A hard link keeps the original bytes without a moment in which the hive file is missing.
        if (::link(path.c_str(), backup.c_str()) == 0) {
            std::fprintf(stderr, "registry: kept the damaged %s as %s\n", path.c_str(), backup.c_str());
            return true;
        }
        if (errno == EEXIST) continue;
        // No hard links on this file system: copy instead.
        std::ifstream in(path, std::ios::binary);
        std::ofstream out(backup, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        out.flush();
        if (in && out) {
            std::fprintf(stderr, "registry: kept the damaged %s as %s\n", path.c_str(), backup.c_str());
            return true;
        }
        return false;
    }
    return false;
}

LSTATUS Hive::save(const std::string& path) {
    if (HRESULT hr = InjectedFault("Registry.Save"); FAILED(hr)) return faultCode(hr);
    if (damaged_ && loaded_.exists && !keepDamagedOriginal(path)) {
        std::fprintf(stderr, "registry: not saving over the damaged %s: it could not be kept aside\n",
                     path.c_str());
        return ERROR_CANTWRITE;
    }
    std::string bytes = FormatHive(rootName_, root_);
    std::ostringstream tmpName;
    tmpName << path << kTemporaryInfix << ::getpid() << "-" << std::this_thread::get_id();
    std::string tmp = tmpName.str();
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return errnoCode(errno);
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int e = errno;
    ::close(fd);
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        if (ok) e = errno;
        ::unlink(tmp.c_str());
        return errnoCode(e);
    }
    std::string folder = path.substr(0, path.rfind('/'));
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    damaged_ = false;
    loaded_ = currentIdentity(path);
    return ERROR_SUCCESS;
}

LSTATUS Hive::modify(const std::function<LSTATUS(Key&)>& change) {
    Folder folder = ChooseFolder();
    if (LSTATUS status = CheckFolder(folder, true)) return status;
    std::string file = folder.path + "/" + ToUtf8(rootName_) + ".reg";
    if (HRESULT hr = InjectedFault("Registry.Lock"); FAILED(hr)) return faultCode(hr);
    FileLock lock(file + ".lock");
    if (!lock.held()) return errnoCode(errno);
    removeStaleTemporaries(file);
    Key& root = readFrom(file);
    LSTATUS status = change(root);
    if (status != ERROR_SUCCESS) return status;
    status = save(file);
    if (status != ERROR_SUCCESS) valid_ = false; // the tree holds a change the file does not: re-read it
    return status;
}

} // namespace platform::registry
