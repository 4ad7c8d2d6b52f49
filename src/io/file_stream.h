#pragma once

#include <cstdint>
#include <string>

#include "sc_api/sc_error_code.h"

// Unbuffered binary file streams over operating-system file descriptors, used by every reader
// and writer of cube data files. Positions and sizes are 64-bit. Only regular files are opened:
// a directory, FIFO or device is refused without blocking. An input stream opens existing files
// only and never creates, truncates or changes one; an output stream creates a missing file
// empty and opens an existing one at position 0 without truncating it. Several streams may be
// open on one file at once (a reader beside a writer), and every write is visible to them at
// once since nothing is buffered in user space.
//
// No operation throws or logs; failures show only in results. The operations of output streams
// that change a file go through the fault-injection seam (io/fault_injection.h).

// Access rights for open().
constexpr unsigned GENERIC_READ = 0x80000000u;
constexpr unsigned GENERIC_WRITE = 0x40000000u;

class FileStream {
  public:
    // Origins of seek().
    static constexpr unsigned FROM_BEGIN = 0;
    static constexpr unsigned FROM_CURRENT = 1;
    static constexpr unsigned FROM_END = 2;
    // What tell() and size() return when they fail.
    static constexpr std::uint64_t INVALID_POSITION = ~std::uint64_t{0};

    FileStream() = default;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    virtual ~FileStream();

    // Closes the file. Non-zero on success; 0 on failure, also when no file is open.
    virtual int close() = 0;
    virtual bool isOpen() const = 0;
    // The current position, or INVALID_POSITION.
    virtual std::uint64_t tell() const = 0;
    // Moves by the signed 64-bit distance high:low (high part in the upper 32 bits) from
    // `origin` (FROM_BEGIN, FROM_CURRENT or FROM_END). False when the move fails, including a
    // resulting position below 0; the position may then be anywhere.
    virtual bool seek(std::int32_t low, std::int32_t high, unsigned origin) = 0;
    // The file's length in bytes, or INVALID_POSITION.
    virtual std::uint64_t size() const = 0;

    // seek() with the distance given whole.
    bool seekBy(std::int64_t distance, unsigned origin);
    // Moves to the absolute position `offset`; false when it cannot be represented or reached.
    bool seekTo(std::uint64_t offset);
};

class InputFileStream : public FileStream {
  public:
    // Whether the position equals the length of the file.
    virtual bool isEof() const = 0;
    // Reads up to byteCount bytes at the current position. Returns the number read, which is
    // less than byteCount only at the end of the file (0 there), or -1 when the read fails or
    // byteCount exceeds INT_MAX.
    virtual int read(void* buffer, unsigned byteCount) = 0;
};

class OutputFileStream : public FileStream {
  public:
    // Writes byteCount bytes at the current position, extending the file as needed. Returns
    // byteCount, or -1 when the write fails or byteCount exceeds INT_MAX.
    virtual int write(const void* buffer, unsigned byteCount) = 0;
};

// What the streams on files of the file system share, over a POSIX file descriptor: opening,
// closing, positions and size. `Stream` is InputFileStream or OutputFileStream.
template <class Stream>
class SystemFileStream : public Stream {
  public:
    ~SystemFileStream() override;

    // Opens the regular file `path` with `access` (GENERIC_READ, GENERIC_WRITE or both). With
    // GENERIC_WRITE a missing file is created empty; read-only access opens existing files
    // only. Contents are kept. Closes any file open before. Returns isOpen().
    bool open(const char* path, unsigned access);

    int close() override;
    bool isOpen() const override;
    std::uint64_t tell() const override;
    bool seek(std::int32_t low, std::int32_t high, unsigned origin) override;
    std::uint64_t size() const override;

    // The open file descriptor, or -1.
    int descriptor() const { return descriptor_; }

  protected:
    SystemFileStream() = default;

  private:
    int descriptor_ = -1;  // open file, or -1
};

// An input stream on a file of the file system.
class SystemInputFileStream : public SystemFileStream<InputFileStream> {
  public:
    // A stream with no file open.
    SystemInputFileStream() = default;
    // Opens the existing regular file `path` for reading; check isOpen().
    explicit SystemInputFileStream(const std::string& path);

    bool isEof() const override;
    int read(void* buffer, unsigned byteCount) override;
    // Reads up to byteCount bytes at `position` without moving the stream's position, so that
    // any number of threads may read one stream at once. Returns the number read, less than
    // byteCount only at the end of the file, or -1 when the read fails or byteCount exceeds
    // INT_MAX.
    int readAt(std::uint64_t position, void* buffer, unsigned byteCount) const;
};

// An output stream on a file of the file system.
class SystemOutputFileStream : public SystemFileStream<OutputFileStream> {
  public:
    // A stream with no file open.
    SystemOutputFileStream() = default;
    // Opens `path` for writing, creating it empty when missing and keeping its contents
    // otherwise; check isOpen().
    explicit SystemOutputFileStream(const std::string& path);

    int write(const void* buffer, unsigned byteCount) override;
    // Writes byteCount bytes at `position` without moving the stream's position. Returns
    // byteCount, or -1 when the write fails or byteCount exceeds INT_MAX.
    int writeAt(std::uint64_t position, const void* buffer, unsigned byteCount);
    // Whether the position equals the length of the file.
    virtual bool isEof() const;

    // Makes the file empty and moves to position 0. False when no file is open or the file
    // cannot be cut.
    bool truncate();
    // Writes byteCount bytes at `offset` without moving the position; false unless all were
    // written.
    bool writeAt(const void* buffer, std::uint64_t byteCount, std::uint64_t offset);
    // Flushes what was written to the storage device; false when that fails.
    bool sync();
    // The base's seek, through the fault-injection seam.
    bool seek(std::int32_t low, std::int32_t high, unsigned origin) override;
};

// Whether `path` names a regular file (following symbolic links).
bool isRegularFile(const std::string& path);

// Replaces the file `path` by `bytes` so that a reader sees either the old file or the whole new
// one, never a part: the bytes go to path + ".part", are flushed to the device, and that file is
// renamed to `path`. SC_OK; SC_FILE_ERROR when the file cannot be created, SC_WRITE_ERROR when
// a later step fails; the partial file is then removed and `path` is left as it was.
SCErrorCode publishFile(const std::string& path, const void* bytes, std::uint64_t byteCount);

extern template class SystemFileStream<InputFileStream>;
extern template class SystemFileStream<OutputFileStream>;
