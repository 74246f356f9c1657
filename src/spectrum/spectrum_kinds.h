#pragma once
// Which transform of the waveform a spectrum trace holds. Each value is the view kind (and
// View menu command) that shows it, so the numbers never change.

enum SpectrumKind : int {
    kSpectrumNone = 0,      // the view shows no spectrum
    kSpectrumI = 301,       // real transform of I, 0 .. fs/2
    kSpectrumQ = 302,       // real transform of Q, 0 .. fs/2
    kSpectrumIQ = 303,      // I + jQ, -fs/2 .. fs/2
    kSpectrumQI = 304,      // Q + jI
    kSpectrumIQDcFs = 305,  // I + jQ, 0 .. fs
    kSpectrumQIDcFs = 306,  // Q + jI, 0 .. fs
};

constexpr bool IsSpectrumKind(int kind) { return kind >= kSpectrumI && kind <= kSpectrumQIDcFs; }
