#pragma once
// A cf32 capture for the benchmarks, written in full (not sparse) in the temporary folder and
// kept, so later runs reuse it: bytes long, a block of floats from fill repeated.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

inline std::string GeneratedCapture(const std::string& name, int64_t bytes,
                                    const std::function<void(std::vector<float>&)>& fill) {
    const std::string p = (std::filesystem::temp_directory_path() / name).string();
    std::error_code ec;
    if (std::filesystem::file_size(p, ec) == static_cast<uintmax_t>(bytes)) return p;
    std::vector<float> block(1 << 22);
    fill(block);
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    for (int64_t left = bytes; left > 0;) {
        const auto n =
            static_cast<std::streamsize>(std::min<int64_t>(left, int64_t(block.size() * 4)));
        f.write(reinterpret_cast<const char*>(block.data()), n);
        left -= n;
    }
    return p;
}
