#include "setup/backup/zip_archive.h"

#include <zip.h>
#include <zlib.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace cn::backup {

using data::ErrorCode;
using data::Result;
using data::Status;

namespace {

std::atomic<int> fixedThreads{0};

constexpr size_t kPiece = 512 * 1024;       // bytes of a file deflated as one piece
constexpr size_t kDictionary = 32 * 1024;   // deflate's window: what a piece sees of the one before

// Reads exactly n bytes at offset; a file that has become shorter is an error.
Status readExactly(int fd, uint64_t offset, char* buf, size_t n, const std::string& name)
{
    while (n > 0) {
        const ssize_t got = ::pread(fd, buf, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Status::error(ErrorCode::Io, "Cannot read " + name + ": " + std::strerror(errno));
        if (got == 0)
            return Status::error(ErrorCode::Io, "Cannot read " + name + ": it became shorter while it was read");
        buf += got;
        n -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return Status::ok();
}

// One piece of a file: its raw deflate output and the CRC of its bytes.
struct Piece {
    uint64_t index = UINT64_MAX;   // which piece the slot holds
    bool ready = false;
    std::string out;
    uint32_t crc = 0;
    size_t length = 0;             // bytes of the file in it
};

// Deflates one piece: [offset, offset + length) of the file, primed with the
// 32 KB before it, ending on a byte boundary, or finishing the stream when it
// is the last.
Status deflatePiece(int fd, const std::string& name, uint64_t offset, size_t length, bool last, std::string& scratch,
                    Piece& piece)
{
    const size_t dict = static_cast<size_t>(std::min<uint64_t>(kDictionary, offset));
    scratch.resize(dict + length);
    if (auto s = readExactly(fd, offset - dict, scratch.data(), dict + length, name); !s)
        return s;
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return Status::error("The compressor could not be started for " + name);
    if (dict > 0)
        (void)deflateSetDictionary(&zs, reinterpret_cast<const Bytef*>(scratch.data()), static_cast<uInt>(dict));
    piece.out.resize(deflateBound(&zs, static_cast<uLong>(length)) + 64);
    zs.next_in = reinterpret_cast<Bytef*>(scratch.data() + dict);
    zs.avail_in = static_cast<uInt>(length);
    int rc = Z_OK;
    for (;;) {
        zs.next_out = reinterpret_cast<Bytef*>(piece.out.data() + zs.total_out);
        zs.avail_out = static_cast<uInt>(piece.out.size() - zs.total_out);
        rc = deflate(&zs, last ? Z_FINISH : Z_SYNC_FLUSH);
        if (rc == Z_STREAM_ERROR || (last ? rc == Z_STREAM_END : (zs.avail_in == 0 && zs.avail_out > 0)))
            break;
        piece.out.resize(piece.out.size() * 2);
    }
    const uLong produced = zs.total_out;
    deflateEnd(&zs);
    if (rc == Z_STREAM_ERROR)
        return Status::error("The compressor failed on " + name);
    piece.out.resize(produced);
    piece.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(scratch.data() + dict),
                                            static_cast<uInt>(length)));
    piece.length = length;
    return Status::ok();
}

// A file deflated in pieces on several threads, handed out in order.
class PieceStream {
public:
    PieceStream(const ArchiveFile& file, int threads)
        : file_(file), pieces_(file.size == 0 ? 1 : (file.size + kPiece - 1) / kPiece),
          slots_(pieces_ == 1 ? 1 : static_cast<size_t>(threads) * 3)
    {
        if (pieces_ > 1)
            for (int i = 0; i < threads; ++i)
                workers_.emplace_back([this] { work(); });
    }
    ~PieceStream()
    {
        {
            std::lock_guard lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        for (auto& t : workers_)
            t.join();
    }
    PieceStream(const PieceStream&) = delete;
    PieceStream& operator=(const PieceStream&) = delete;

    // Up to n compressed bytes; 0 at the end; -1 on failure (error()).
    int64_t read(char* dst, size_t n)
    {
        size_t copied = 0;
        while (copied < n && cur_ < pieces_) {
            Piece& p = slots_[cur_ % slots_.size()];
            if (workers_.empty()) {
                if (!p.ready) {
                    std::string scratch;
                    if (auto s = deflatePiece(file_.fd, file_.name, 0, static_cast<size_t>(file_.size), true, scratch, p); !s)
                        return fail(s);
                    p.index = 0;
                    p.ready = true;
                }
            } else {
                std::unique_lock lock(m_);
                cv_.wait(lock, [&] { return (p.ready && p.index == cur_) || !error_.isOk(); });
                if (!error_.isOk())
                    return -1;
            }
            const size_t take = std::min(n - copied, p.out.size() - pos_);
            std::memcpy(dst + copied, p.out.data() + pos_, take);
            copied += take;
            pos_ += take;
            if (pos_ == p.out.size()) {
                crc_ = cur_ == 0 ? p.crc
                                 : static_cast<uint32_t>(crc32_combine(crc_, p.crc, static_cast<z_off_t>(p.length)));
                compressed_ += p.out.size();
                pos_ = 0;
                std::lock_guard lock(m_);
                p.ready = false;
                std::string().swap(p.out);
                ++cur_;
                cv_.notify_all();
            }
        }
        return static_cast<int64_t>(copied);
    }

    bool finished() const { return cur_ == pieces_; }
    uint32_t crc() const { return crc_; }
    uint64_t compressed() const { return compressed_; }
    const Status& error() const { return error_; }

private:
    int64_t fail(const Status& s)
    {
        std::lock_guard lock(m_);
        if (error_.isOk())
            error_ = s;
        return -1;
    }

    void work()
    {
        std::string scratch;
        for (;;) {
            uint64_t i = 0;
            {
                std::unique_lock lock(m_);
                cv_.wait(lock, [&] {
                    return stop_ || !error_.isOk() || (next_ < pieces_ && next_ < cur_ + slots_.size());
                });
                if (stop_ || !error_.isOk() || next_ >= pieces_)
                    return;
                i = next_++;
            }
            Piece result;
            const uint64_t offset = i * kPiece;
            const size_t length = static_cast<size_t>(std::min<uint64_t>(kPiece, file_.size - offset));
            Status s = deflatePiece(file_.fd, file_.name, offset, length, i + 1 == pieces_, scratch, result);
            std::lock_guard lock(m_);
            if (!s) {
                if (error_.isOk())
                    error_ = s;
            } else {
                Piece& slot = slots_[i % slots_.size()];
                slot.out = std::move(result.out);
                slot.crc = result.crc;
                slot.length = result.length;
                slot.index = i;
                slot.ready = true;
            }
            cv_.notify_all();
        }
    }

    const ArchiveFile& file_;
    const uint64_t pieces_;
    std::vector<Piece> slots_;
    std::vector<std::thread> workers_;
    std::mutex m_;
    std::condition_variable cv_;
    uint64_t next_ = 0;      // the next piece a worker takes
    uint64_t cur_ = 0;       // the piece being handed out
    size_t pos_ = 0;         // bytes of it handed out
    bool stop_ = false;
    Status error_;
    uint32_t crc_ = 0;
    uint64_t compressed_ = 0;
};

// libzip's view of one file: a source of already deflated data whose CRC
// and compressed size are known once it has been read.
struct FileSource {
    const ArchiveFile* file = nullptr;
    int position = 0;
    const WriteEvents* events = nullptr;
    int threads = 1;
    std::unique_ptr<PieceStream> stream;
    zip_error_t error{};
    Status failure;
    uint32_t crc = 0;
    uint64_t compressed = 0;
    bool done = false;

    zip_int64_t fail(const Status& s)
    {
        if (failure.isOk())
            failure = s;
        zip_error_set(&error, ZIP_ER_READ, 0);
        return -1;
    }

    static zip_int64_t call(void* self, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        auto& src = *static_cast<FileSource*>(self);
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            // Started first, so that the pieces are being deflated while the
            // caller shows the file.
            src.stream = std::make_unique<PieceStream>(*src.file, src.threads);
            if (src.events && src.events->begin)
                src.events->begin(src.position);
            return 0;
        case ZIP_SOURCE_READ: {
            if (!src.stream)
                return src.fail(Status::error("Read before open of " + src.file->name));
            const zip_int64_t n = src.stream->read(static_cast<char*>(data), static_cast<size_t>(len));
            if (n < 0)
                return src.fail(src.stream->error());
            if (n == 0 && src.stream->finished() && !src.done) {
                src.done = true;
                src.crc = src.stream->crc();
                src.compressed = src.stream->compressed();
            }
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            src.stream.reset();
            if (src.done && src.events && src.events->end)
                src.events->end(src.position);
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &src.error);
            if (!st)
                return -1;
            zip_stat_init(st);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_MTIME | ZIP_STAT_ENCRYPTION_METHOD;
            st->size = src.file->size;
            st->comp_method = ZIP_CM_DEFLATE;
            st->encryption_method = ZIP_EM_NONE;
            st->mtime = static_cast<time_t>(src.file->mtime);
            if (src.done) {
                st->valid |= ZIP_STAT_CRC | ZIP_STAT_COMP_SIZE;
                st->crc = src.crc;
                st->comp_size = src.compressed;
            }
            return sizeof(*st);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&src.error, data, len);
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&src.error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }
};

std::string zipErrorText(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    std::string text = zip_error_strerror(&e);
    zip_error_fini(&e);
    return text;
}

} // namespace

void setArchiveThreads(int threads) { fixedThreads = std::max(0, threads); }

int archiveThreads()
{
    if (const int fixed = fixedThreads.load(); fixed > 0)
        return fixed;
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 4u));
}

Result<std::vector<uint32_t>> writeArchive(const std::string& path, const std::vector<ArchiveFile>& files,
                                           const WriteEvents& events)
{
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za)
        return Status::error(ErrorCode::Io, "Cannot write the archive " + path + ": " + zipErrorText(code));
    std::vector<std::unique_ptr<FileSource>> sources;
    const int threads = archiveThreads();
    for (size_t i = 0; i < files.size(); ++i) {
        auto src = std::make_unique<FileSource>();
        src->file = &files[i];
        src->position = static_cast<int>(i + 1);
        src->events = &events;
        src->threads = threads;
        zip_error_init(&src->error);
        zip_source_t* zs = zip_source_function(za, &FileSource::call, src.get());
        if (!zs || zip_file_add(za, files[i].name.c_str(), zs, ZIP_FL_ENC_GUESS) < 0) {
            const std::string why = zip_strerror(za);
            if (zs)
                zip_source_free(zs);
            zip_discard(za);
            return Status::error("Cannot add " + files[i].name + " to the archive " + path + ": " + why);
        }
        sources.push_back(std::move(src));
    }
    if (zip_close(za) != 0) {
        std::string why = zip_strerror(za);
        for (const auto& s : sources)
            if (!s->failure.isOk())
                why = s->failure.message();
        zip_discard(za);
        for (auto& s : sources)
            zip_error_fini(&s->error);
        return Status::error(ErrorCode::Io, "Cannot write the archive " + path + ": " + why);
    }
    std::vector<uint32_t> crcs;
    for (auto& s : sources) {
        crcs.push_back(s->crc);
        zip_error_fini(&s->error);
    }
    return crcs;
}

// --- reading ------------------------------------------------------------------

struct ArchiveReader::Impl {
    zip_t* za = nullptr;
    ~Impl()
    {
        if (za)
            zip_discard(za);
    }
};

ArchiveReader::ArchiveReader(ArchiveReader&&) noexcept = default;
ArchiveReader& ArchiveReader::operator=(ArchiveReader&&) noexcept = default;
ArchiveReader::~ArchiveReader() = default;

Result<ArchiveReader> ArchiveReader::open(const std::string& path)
{
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!za)
        return Status::error(code == ZIP_ER_NOENT || code == ZIP_ER_OPEN ? ErrorCode::NotFound : ErrorCode::Damaged,
                             path + " cannot be read as a zip archive: " + zipErrorText(code));
    ArchiveReader r;
    r.d_ = std::make_unique<Impl>();
    r.d_->za = za;
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            return Status::error(ErrorCode::Damaged, path + ": entry " + std::to_string(i + 1) + " cannot be read: " +
                                                         zip_strerror(za));
        EntryInfo e;
        e.name = st.name;
        e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        e.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
        e.crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
        e.method = (st.valid & ZIP_STAT_COMP_METHOD) ? st.comp_method : -1;
        e.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        e.supported = e.method >= 0 && zip_compression_method_supported(e.method, 0);
        r.entries_.push_back(std::move(e));
    }
    return r;
}

Status ArchiveReader::read(size_t i, const std::function<Status(const char*, size_t)>& sink, uint64_t limit)
{
    if (i >= entries_.size())
        return Status::error("No entry " + std::to_string(i + 1));
    const EntryInfo& e = entries_[i];
    if (e.encrypted)
        return Status::error(ErrorCode::Damaged, e.name + " is encrypted");
    if (!e.supported)
        return Status::error(ErrorCode::Damaged, e.name + " is stored with a compression this program cannot read");
    if (e.size > limit)
        return Status::error(ErrorCode::TooLong, e.name + " would expand to " + std::to_string(e.size) +
                                                     " bytes, more than a data file can be");
    zip_file_t* f = zip_fopen_index(d_->za, i, 0);
    if (!f)
        return Status::error(ErrorCode::Damaged, e.name + " cannot be read: " + zip_strerror(d_->za));
    std::string buf(256 * 1024, '\0');
    uint64_t total = 0;
    Status result;
    for (;;) {
        const zip_int64_t got = zip_fread(f, buf.data(), buf.size());
        if (got < 0) {
            result = Status::error(ErrorCode::Damaged, e.name + " is damaged: " + zip_file_strerror(f));
            break;
        }
        if (got == 0)
            break;
        total += static_cast<uint64_t>(got);
        if (total > e.size) {
            result = Status::error(ErrorCode::Damaged, e.name + " holds more than the archive says it does");
            break;
        }
        if (result = sink(buf.data(), static_cast<size_t>(got)); !result)
            break;
    }
    zip_fclose(f);
    if (result && total != e.size)
        result = Status::error(ErrorCode::Damaged, e.name + " holds less than the archive says it does");
    return result;
}

Status verifyArchive(const std::string& path, const std::vector<ExpectedEntry>& expected)
{
    auto opened = ArchiveReader::open(path);
    if (!opened)
        return opened.status();
    const auto& entries = opened->entries();
    if (entries.size() != expected.size())
        return Status::error(ErrorCode::Damaged, path + " holds " + std::to_string(entries.size()) +
                                                     " entries instead of " + std::to_string(expected.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const EntryInfo& e = entries[i];
        const ExpectedEntry& x = expected[i];
        if (e.name != x.name)
            return Status::error(ErrorCode::Damaged, path + ": entry " + std::to_string(i + 1) + " is " + e.name +
                                                         " instead of " + x.name);
        if (e.size != x.size || e.crc != x.crc)
            return Status::error(ErrorCode::Damaged, path + ": " + x.name + " is stored with another size or checksum "
                                                                             "than the file has");
    }

    // Every entry decompressed, the largest first, spread over the threads;
    // each thread reads through its own handle on the archive.
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return entries[a].size > entries[b].size; });
    std::atomic<size_t> next{0};
    std::mutex m;
    Status failure;
    auto verifyWith = [&](ArchiveReader& reader) {
        for (size_t k = next++; k < order.size(); k = next++) {
            const size_t i = order[k];
            uLong crc = crc32(0, nullptr, 0);
            uint64_t bytes = 0;
            Status s = reader.read(
                i,
                [&](const char* p, size_t n) {
                    crc = crc32(crc, reinterpret_cast<const Bytef*>(p), static_cast<uInt>(n));
                    bytes += n;
                    return Status::ok();
                },
                expected[i].size);
            if (s && (bytes != expected[i].size || static_cast<uint32_t>(crc) != expected[i].crc))
                s = Status::error(ErrorCode::Damaged, expected[i].name + " does not read back as the file it was made from");
            if (!s) {
                std::lock_guard lock(m);
                if (failure.isOk())
                    failure = s.withMessage(path + ": " + s.message());
                next = order.size();
                return;
            }
        }
    };
    const int threads = std::min<int>(archiveThreads(), static_cast<int>(order.size()));
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
        pool.emplace_back([&] {
            auto own = ArchiveReader::open(path);
            if (!own) {
                std::lock_guard lock(m);
                if (failure.isOk())
                    failure = own.status();
                next = order.size();
                return;
            }
            verifyWith(*own);
        });
    }
    verifyWith(*opened);
    for (auto& t : pool)
        t.join();
    return failure;
}

} // namespace cn::backup
