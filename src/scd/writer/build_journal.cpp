#include "scd/writer/build_journal.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kMagic[4] = {'S', 'C', 'D', 'J'};
constexpr std::uint32_t kVersion = 1;
constexpr std::uint64_t kJournalBytes = 28;
constexpr std::uint64_t kLinesOffset = 24;

void putUint32(std::uint32_t value, unsigned char* bytes) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint32_t getUint32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

}  // namespace

BuildJournal::BuildJournal(const std::string& name, const Contents& contents)
    : path_(pathOf(name)), contents_(contents) {
    if (!lock(name, true)) {
        return;
    }
    std::array<unsigned char, kJournalBytes> bytes{};
    std::memcpy(bytes.data(), kMagic, 4);
    putUint32(kVersion, bytes.data() + 4);
    putUint32(contents.width, bytes.data() + 8);
    putUint32(contents.height, bytes.data() + 12);
    putUint32(contents.depth, bytes.data() + 16);
    std::uint32_t factorBits = 0;
    std::memcpy(&factorBits, &contents.factor, 4);
    putUint32(factorBits, bytes.data() + 20);
    putUint32(0, bytes.data() + kLinesOffset);
    contents_.lines = 0;
    if (!file_.truncate() || !file_.writeAt(bytes.data(), bytes.size(), 0)) {
        remove();
    }
}

BuildJournal::BuildJournal(const std::string& name) : path_(pathOf(name)) {
    if (lock(name, false) && !readContents()) {
        file_.close();
    }
}

std::string BuildJournal::pathOf(const std::string& name) {
    return name + "__tmp_journal";
}

bool BuildJournal::lock(const std::string& name, bool create) {
    const std::string path = pathOf(name);
    if (!create && !isRegularFile(path)) {
        return false;
    }
    if (!file_.open(path.c_str(), GENERIC_READ | GENERIC_WRITE)) {
        return false;
    }
    struct stat opened {};
    struct stat named {};
    // A journal removed by its builder between our open and our lock is not the cube's lock any
    // more: refuse rather than build beside a file nobody else can see.
    if (::flock(file_.descriptor(), LOCK_EX | LOCK_NB) != 0 ||
        ::fstat(file_.descriptor(), &opened) != 0 || ::stat(path.c_str(), &named) != 0 ||
        opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
        file_.close();
        return false;
    }
    return true;
}

bool BuildJournal::readContents() {
    std::array<unsigned char, kJournalBytes> bytes{};
    if (::pread(file_.descriptor(), bytes.data(), bytes.size(), 0) !=
            static_cast<ssize_t>(bytes.size()) ||
        std::memcmp(bytes.data(), kMagic, 4) != 0 || getUint32(bytes.data() + 4) != kVersion) {
        return false;
    }
    contents_.width = getUint32(bytes.data() + 8);
    contents_.height = getUint32(bytes.data() + 12);
    contents_.depth = getUint32(bytes.data() + 16);
    const std::uint32_t factorBits = getUint32(bytes.data() + 20);
    std::memcpy(&contents_.factor, &factorBits, 4);
    contents_.lines = getUint32(bytes.data() + kLinesOffset);
    return contents_.lines <= contents_.height;
}

bool BuildJournal::recordLines(unsigned lines, bool sync) {
    unsigned char bytes[4];
    putUint32(lines, bytes);
    if (!file_.isOpen() || !file_.writeAt(bytes, 4, kLinesOffset) || (sync && !file_.sync())) {
        return false;
    }
    contents_.lines = lines;
    return true;
}

void BuildJournal::remove() {
    if (file_.isOpen()) {
        ::unlink(path_.c_str());
        file_.close();
    }
}
