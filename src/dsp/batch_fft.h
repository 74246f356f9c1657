#pragma once
// Eight complex transforms of one size at once, for the spectrogram's many short frames: each
// frame is a lane of 8-wide vectors, so every butterfly works on eight frames with one vector
// instruction and no shuffles. Single-precision twiddles (computed in double), radix 2, natural
// order out. Not the spectrum trace's transform: its arithmetic is not specified bit for bit,
// only accurate to single precision.

#include <cstddef>
#include <cstdint>
#include <vector>

class cBatchFft {
public:
    static constexpr int kLanes = 8;
    typedef float Vector __attribute__((vector_size(32)));

    // n: a power of two from 8 to 2^20.
    explicit cBatchFft(int n);
    int Size() const { return n_; }

    struct LaneFrame {
        const float *I = nullptr, *Q = nullptr, *window = nullptr;
        int count = 0;
    };
    // Takes lane's frame: count ≤ n samples at I and Q, times window (nullptr: none), zeros
    // after them. The samples are read by the next Run: they must stay in place until then.
    void Load(int lane, const float* I, const float* Q, const float* window, int count);
    // Zeros a lane (a batch with fewer than eight frames).
    void Clear(int lane);
    // X[k] = Σ x[j]·e^(−2πi·jk/n) of every lane. vectorised = false runs the same
    // operations without the wide instruction set (the results are identical).
    void Run(bool vectorised = true);
    // |X[k]·scale|² of lane for k = 0 … n−1 into out.
    void Powers(int lane, float scale, float* out) const;
    // Adds the sum over lanes 0 … lanes − 1 of |X[k]·scale|² to sum[k] for k = 0 … n−1 (the
    // lanes summed in single precision, the running sums kept in double).
    void AddPowers(int lanes, float scale, double* sum) const;
    // Re and Im of X[k] in lane (for tests).
    float Re(int lane, int k) const { return re_[static_cast<size_t>(k)].v[lane]; }
    float Im(int lane, int k) const { return im_[static_cast<size_t>(k)].v[lane]; }

private:
    int n_;
    std::vector<int> reversed_;                 // bit-reversed index of each input sample
    std::vector<float> twiddleRe_, twiddleIm_;  // stage of length L: entries L/2 − 1 … L − 2
    // A vector as an element of a container: a bare vector type as a template argument would
    // lose its alignment.
    struct alignas(32) Cell {
        Vector v;
    };
    std::vector<Cell> re_, im_;
    LaneFrame frames_[kLanes];
};
