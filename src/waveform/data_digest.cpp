#include "waveform/data_digest.h"

#include <fcntl.h>
#include <nettle/sha2.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "waveform/read_only_file.h"

struct cSha512::State {
    sha512_ctx ctx;
};

cSha512::cSha512() : state_(std::make_unique<State>()) { sha512_init(&state_->ctx); }
cSha512::~cSha512() = default;

void cSha512::Add(const void* bytes, size_t n) {
    sha512_update(&state_->ctx, n, static_cast<const uint8_t*>(bytes));
}

std::string cSha512::Hex() {
    uint8_t digest[SHA512_DIGEST_SIZE];
    sha512_digest(&state_->ctx, sizeof digest, digest);
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : digest) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

std::string Sha512OfFile(const std::string& path, int64_t offset, int64_t bytes, std::string& hex,
                         const std::atomic<bool>* cancel) {
    const cReadOnlyFile file(path);
    if (!file.Error().empty()) return file.Error();
    if (bytes < 0) bytes = std::max<int64_t>(0, file.Size() - offset);
    ::posix_fadvise(file.Fd(), offset, bytes, POSIX_FADV_SEQUENTIAL);
    cSha512 digest;
    std::vector<uint8_t> buffer(size_t{1} << 20);
    for (int64_t done = 0; done < bytes;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return "cancelled";
        const int64_t want = std::min<int64_t>(bytes - done, static_cast<int64_t>(buffer.size()));
        const int64_t got = file.ReadAt(offset + done, buffer.data(), want);
        if (got < 0) return std::strerror(errno);
        digest.Add(buffer.data(), static_cast<size_t>(got));
        done += got;
        if (got < want) return "the file ends " + std::to_string(bytes - done) + " bytes early";
    }
    hex = digest.Hex();
    return "";
}
