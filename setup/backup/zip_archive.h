#pragma once
// Zip archives of a data folder, written and read through libzip.
//
// Writing: each file is deflated (zlib's default level, raw deflate as zip
// stores it) in pieces on every core while libzip writes the archive, and
// handed to libzip already compressed, so a backup takes a fraction of the
// time one thread would. The pieces are joined into one deflate stream: each
// piece starts with the 32 KB before it as its dictionary and ends on a byte
// boundary (a sync flush), so the archive is as small as a single pass would
// make it and any unzip reads it. The CRC of each file is taken from the
// bytes read, piece by piece, and combined.
//
// Reading: the entry list with each entry's stored name, sizes, checksum and
// method, and an entry's data decompressed piece by piece, never more than a
// limit, with its checksum checked at the end.
#include "data/status.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cn::backup {

// One file to go into an archive.
struct ArchiveFile {
    std::string name;     // the entry name
    int fd = -1;          // open for reading; its first `size` bytes are stored
    uint64_t size = 0;
    int64_t mtime = 0;    // seconds since the epoch
};

struct WriteEvents {
    std::function<void(int position)> begin;   // file `position` (from 1) is about to be read
    std::function<void(int position)> end;     // ... has been read whole
};

// Writes the archive at path from the files, in order. libzip writes it to a
// temporary file beside path and puts it in place only once it is complete,
// so a failure leaves no partial archive and any file of that name as it
// was. Returns the CRC-32 of each file's bytes as read.
data::Result<std::vector<uint32_t>> writeArchive(const std::string& path, const std::vector<ArchiveFile>& files,
                                                 const WriteEvents& events = {});

// How many threads compress (or verify); tests and the benchmark may fix it.
// 0 (the default) means one per core, at most four.
void setArchiveThreads(int threads);
int archiveThreads();

struct EntryInfo {
    std::string name;            // as stored (raw bytes; may carry folders)
    uint64_t size = 0;           // uncompressed, as the archive says
    uint64_t compressedSize = 0;
    uint32_t crc = 0;
    int method = 0;              // ZIP_CM_*
    bool encrypted = false;
    bool supported = false;      // libzip can decompress it
};

class ArchiveReader {
public:
    // Opens an archive read only, with libzip's consistency checks.
    static data::Result<ArchiveReader> open(const std::string& path);
    ArchiveReader(ArchiveReader&&) noexcept;
    ArchiveReader& operator=(ArchiveReader&&) noexcept;
    ~ArchiveReader();

    const std::vector<EntryInfo>& entries() const { return entries_; }
    // Decompresses entry i and hands its bytes to sink piece by piece. Fails
    // when the data is damaged, its checksum or length differs from what the
    // archive says, it would exceed `limit` bytes, or sink fails.
    data::Status read(size_t i, const std::function<data::Status(const char*, size_t)>& sink, uint64_t limit);

private:
    ArchiveReader() = default;
    struct Impl;
    std::unique_ptr<Impl> d_;
    std::vector<EntryInfo> entries_;
};

// What an archive written from these files must hold, entry by entry.
struct ExpectedEntry {
    std::string name;
    uint64_t size = 0;
    uint32_t crc = 0;
};

// Reads the archive back: the entry list must be exactly the expected one
// (names, sizes, checksums, in order) and every entry must decompress to
// its size with its checksum. Failures name the entry.
data::Status verifyArchive(const std::string& path, const std::vector<ExpectedEntry>& expected);

} // namespace cn::backup
