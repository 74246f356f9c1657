#pragma once
// SHA-512 digests of recordings' data (SigMF's core:sha512), by nettle (Debian's nettle-dev,
// which libarchive already links): a checked implementation, no hashing code of our own.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A digest computed piece by piece.
class cSha512 {
public:
    cSha512();
    ~cSha512();
    cSha512(const cSha512&) = delete;
    cSha512& operator=(const cSha512&) = delete;
    void Add(const void* bytes, size_t n);
    // The digest of everything added, as 128 lower-case hex digits (the digest then restarts).
    std::string Hex();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The digest of bytes [offset, offset + bytes) of the file at path (bytes < 0: to its end) into
// hex. Returns "" or why not (the file cannot be read, is shorter, or *cancel became true).
std::string Sha512OfFile(const std::string& path, int64_t offset, int64_t bytes, std::string& hex,
                         const std::atomic<bool>* cancel = nullptr);
