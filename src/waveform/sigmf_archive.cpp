// libarchive (Debian's libarchive-dev) reads and writes the tar: the format has decades of
// variants (ustar, pax, GNU long names) that a reader of real archives meets. It does not say
// where an entry's bytes lie in the file; that is found by comparing the entry's first bytes,
// as libarchive gives them, with the file's at each 512-byte block after the entry's header.

#include "waveform/sigmf_archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

#include "waveform/read_only_file.h"
#include "waveform/sigmf.h"

namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterCloser {
    void operator()(archive* a) const { archive_write_free(a); }
};

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Stem(const std::string& entry, const std::string& suffix) {
    return entry.substr(0, entry.size() - suffix.size());
}

// Where the bytes `first` (the start of an entry of `size` bytes) lie in the file: the first
// 512-byte block after headerAt that holds them, or -1.
int64_t FindEntryBytes(const cReadOnlyFile& file, int64_t headerAt,
                       const std::vector<uint8_t>& first, int64_t size) {
    // A pax header with long names or many attributes can take some blocks; 1 MB of them is
    // far beyond any this program would meet.
    std::vector<uint8_t> here(first.size());
    for (int64_t at = headerAt + 512; at <= headerAt + (int64_t{1} << 20); at += 512) {
        if (at + size > file.Size()) return -1;
        if (file.ReadAt(at, here.data(), static_cast<int64_t>(here.size())) !=
            static_cast<int64_t>(here.size()))
            return -1;
        if (here == first) return at;
    }
    return -1;
}

}  // namespace

std::string ReadSigmfArchive(const std::string& path, SigmfArchiveLayout& out) {
    out = SigmfArchiveLayout{};
    const cReadOnlyFile file(path);
    if (!file.Error().empty()) return file.Error();
    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    archive_read_support_filter_all(a.get());
    archive_read_support_format_tar(a.get());
    if (archive_read_open_fd(a.get(), file.Fd(), 64 * 1024) != ARCHIVE_OK)
        return std::string("it is not a tar archive (") + archive_error_string(a.get()) + ")";

    struct DataEntry {
        std::string name;
        int64_t headerAt, size;
        std::vector<uint8_t> first;
    };
    std::vector<DataEntry> data;
    std::string firstMeta;
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN)
            return std::string("the archive cannot be read (") + archive_error_string(a.get()) +
                   ")";
        if (archive_filter_count(a.get()) > 1)
            return "the archive is compressed; a SigMF archive is a plain tar, which this "
                   "program reads where it lies";
        if (archive_entry_filetype(entry) != AE_IFREG) continue;
        const char* raw = archive_entry_pathname(entry);
        const std::string name = raw ? raw : "";
        const int64_t size = archive_entry_size(entry);
        if (EndsWith(name, ".sigmf-meta")) {
            ++out.recordingsInArchive;
            if (out.recordingsInArchive > 1) continue;
            if (size > kMaxSigmfMetaBytes)
                return name + " is larger than " + std::to_string(kMaxSigmfMetaBytes >> 20) + " MB";
            out.metaEntry = name;
            out.metaText.resize(static_cast<size_t>(size));
            int64_t got = 0;
            while (got < size) {
                const la_ssize_t n = archive_read_data(a.get(), out.metaText.data() + got,
                                                       static_cast<size_t>(size - got));
                if (n <= 0) return name + " in the archive cannot be read";
                got += n;
            }
        } else if (EndsWith(name, ".sigmf-data")) {
            DataEntry d{name, archive_read_header_position(a.get()), size, {}};
            d.first.resize(static_cast<size_t>(std::min<int64_t>(size, 4096)));
            int64_t got = 0;
            while (got < static_cast<int64_t>(d.first.size())) {
                const la_ssize_t n = archive_read_data(a.get(), d.first.data() + got,
                                                       d.first.size() - static_cast<size_t>(got));
                if (n <= 0) return name + " in the archive cannot be read";
                got += n;
            }
            data.push_back(std::move(d));
        }
    }
    if (out.metaEntry.empty()) return "the archive holds no .sigmf-meta file";
    const std::string stem = Stem(out.metaEntry, ".sigmf-meta");
    const auto d = std::find_if(data.begin(), data.end(), [&](const DataEntry& e) {
        return Stem(e.name, ".sigmf-data") == stem;
    });
    if (d == data.end()) return "the archive holds no " + stem + ".sigmf-data for " + out.metaEntry;
    out.dataEntry = d->name;
    out.dataBytes = d->size;
    out.dataOffset = d->size == 0 ? 0 : FindEntryBytes(file, d->headerAt, d->first, d->size);
    if (out.dataOffset < 0)
        return d->name + " does not lie whole in the archive file (a compressed or cut archive)";
    return "";
}

std::string WriteSigmfArchive(
    const std::string& name, const std::string& metaText, int64_t dataBytes,
    const std::function<void(const std::function<void(const void*, size_t)>&)>& writeData,
    const std::function<bool(const void*, size_t)>& sink) {
    std::unique_ptr<archive, WriterCloser> a(archive_write_new());
    // pax only where ustar cannot say it (names over 100 bytes, entries over 8 GB).
    archive_write_set_format_pax_restricted(a.get());
    archive_write_add_filter_none(a.get());
    const auto write = [](archive*, void* context, const void* buffer, size_t n) -> la_ssize_t {
        const auto& out = *static_cast<const std::function<bool(const void*, size_t)>*>(context);
        return out(buffer, n) ? static_cast<la_ssize_t>(n) : -1;
    };
    auto* context = const_cast<std::function<bool(const void*, size_t)>*>(&sink);
    if (archive_write_open2(a.get(), context, nullptr, write, nullptr, nullptr) != ARCHIVE_OK)
        return archive_error_string(a.get());
    const auto header = [&](const std::string& entryName, int64_t size, bool folder) {
        std::unique_ptr<archive_entry, void (*)(archive_entry*)> e(archive_entry_new(),
                                                                   archive_entry_free);
        archive_entry_set_pathname(e.get(), entryName.c_str());
        archive_entry_set_filetype(e.get(), folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(e.get(), folder ? 0755 : 0644);
        archive_entry_set_size(e.get(), size);
        archive_entry_set_mtime(e.get(), ::time(nullptr), 0);
        return archive_write_header(a.get(), e.get()) == ARCHIVE_OK;
    };
    const std::string failed = "the archive could not be written";
    if (!header(name + "/", 0, true)) return failed;
    if (!header(name + "/" + name + ".sigmf-meta", static_cast<int64_t>(metaText.size()), false) ||
        archive_write_data(a.get(), metaText.data(), metaText.size()) !=
            static_cast<la_ssize_t>(metaText.size()))
        return failed;
    if (!header(name + "/" + name + ".sigmf-data", dataBytes, false)) return failed;
    int64_t written = 0;
    bool ok = true;
    writeData([&](const void* bytes, size_t n) {
        if (!ok) return;
        ok = archive_write_data(a.get(), bytes, n) == static_cast<la_ssize_t>(n);
        written += static_cast<int64_t>(n);
    });
    if (!ok) return failed;
    if (written != dataBytes)
        return "the data came to " + std::to_string(written) + " bytes, not " +
               std::to_string(dataBytes);
    if (archive_write_close(a.get()) != ARCHIVE_OK) return failed;
    return "";
}
