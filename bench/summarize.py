"""Prints the benchmark comparisons of bench/run as ratios (ours / reference)."""
import json
import statistics
import sys
from pathlib import Path


def load(path):
    runs = {}
    for b in json.loads(Path(path).read_text())["benchmarks"]:
        if b.get("run_type") == "aggregate":
            continue
        runs.setdefault(b["run_name"], []).append(b)
    return runs


def median_time(runs, name):
    return statistics.median(r["real_time"] for r in runs[name])


def fft(out):
    runs = load(out / "fft.json")
    print("ComplexFFT vs FFTW (single precision, FFTW_MEASURE, in place); median of interleaved runs")
    targets = {16: 2.0, 20: 3.0}
    for log2n in (10, 16, 20, 24):
        ours = median_time(runs, f"BM_Ours/{log2n}")
        ref = median_time(runs, f"BM_Fftw/{log2n}")
        target = f"  (target <= {targets[log2n]})" if log2n in targets else ""
        print(f"  2^{log2n:<2}  ours {ours:10.1f} us  fftw {ref:10.1f} us  ratio {ours / ref:5.2f}{target}")
    print("  batches of 64 (the spectrogram's sizes):")
    for log2n in (8, 10, 12):
        ours = median_time(runs, f"BM_OursBatch/{log2n}")
        ref = median_time(runs, f"BM_FftwBatch/{log2n}")
        print(f"  2^{log2n:<2}  ours {ours:10.1f} us  fftw {ref:10.1f} us  ratio {ours / ref:5.2f}  (target <= 1.5)")


def trace(out):
    runs = load(out / "trace.json")
    numpy = json.loads((out / "trace_numpy.json").read_text())
    print("Averaged recompute of 2^26 complex samples, Blackman-Harris, vs numpy (window, np.fft.fft, mean |X|^2)")
    for n, target in ((16384, 0.7), (524288, None)):
        ours = median_time(runs, f"BM_AveragedRecompute/{n}/iterations:3") / 1000.0
        ref = numpy[str(n)]
        note = f"  (target <= {target})" if target else ""
        print(f"  N={n:<6}  ours {ours:7.3f} s  numpy {ref:7.3f} s  ratio {ours / ref:5.2f}{note}")


def reader(out):
    runs = load(out / "reader.json")
    read = median_time(runs, "BM_ReadBytesOnly/min_time:2.000")
    load_ = median_time(runs, "BM_LoadFile405/min_time:2.000")
    print("500,000,000-byte type-405 file, warm page cache")
    print(f"  load+decode {load_:.0f} ms, read bytes only {read:.0f} ms, ratio {load_ / read:.2f}  (target <= 1.3)")
    read = median_time(runs, "BM_ReadBytesOnlyCf32/min_time:2.000")
    load_ = median_time(runs, "BM_LoadFileCf32/min_time:2.000")
    print("400,000,000-byte cf32 file (type 420), warm page cache")
    print(f"  load+decode {load_:.0f} ms, read bytes only {read:.0f} ms, ratio {load_ / read:.2f}  (target <= 1.3)")
    for name in ("ReadBytesOnly", "LoadFile405"):
        rss = runs[f"BM_PeakRss/{name}/iterations:1"][0]["peak_rss_MB"]
        print(f"  peak RSS {name}: {rss:.0f} MB" + ("  (target <= 1600)" if name == "LoadFile405" else ""))
    ascii_ = runs["BM_DecodeAscii401/min_time:2.000"][0]
    print(f"10-million-line type-401 decode: {ascii_['bytes_per_second'] / 1e6:.0f} MB/s  (target >= 150)")


def writer(out):
    runs = load(out / "writer.json")
    print("Saving 125,000,000 samples (including the sync to disk)")
    for t in (405, 401):
        r = runs[f"BM_Save/{t}/iterations:1"][0]
        print(f"  type {t}: {r['file_MB']:.0f} MB in {r['real_time'] / 1000:.2f} s, {r['MB_per_s']:.0f} MB/s")


def frequency_plot(out):
    runs = load(out / "frequency_plot.json")
    t = median_time(runs, "BM_DrawSpectrum512k")
    print(f"Drawing a 524,289-point spectrum into 1600x1000 with SNR, SFDR and IMD panels: {t:.2f} ms  (target <= 2)")


def view(out):
    runs = load(out / "view.json")
    names = {0: "IQ", 1: "LogMag", 2: "CCDF"}
    targets = {(0, 1, 100000000): 150, (0, 0, 100000000): 10, (1, 1, 100000000): 150,
               (1, 0, 100000000): 10, (0, 1, 1000000): 5, (1, 1, 1000000): 5,
               (2, 1, 10000000): 400, (2, 0, 10000000): 10}
    print("Views drawn into 1600x1000; ratio against one plain pass over the whole capture")
    for (kind, first, shown), target in targets.items():
        capture = 10 if kind == 2 else 100
        name = f"BM_View/kind:{kind}/first:{first}/shown:{shown}/capture_M:{capture}"
        t = median_time(runs, name)
        ref = median_time(runs, f"BM_PlainPass/{capture}")
        what = "first draw" if first else "redraw"
        print(f"  {names[kind]:6} {what:10} {shown:>11,} of {capture}M samples: {t:7.2f} ms"
              f"  plain pass {ref:6.1f} ms  ratio {t / ref:5.2f}  (target <= {target} ms)")
    print("I/Q view redrawn with 100,000 annotations (one every 10 samples) against without")
    for shown in (1000, 1000000):
        t = median_time(runs, f"BM_ViewAnnotated/annotations:100000/shown:{shown}")
        ref = median_time(runs, f"BM_ViewAnnotated/annotations:0/shown:{shown}")
        print(f"  {shown:>9,} samples shown: {t:7.2f} ms  without {ref:6.2f} ms  ratio {t / ref:5.2f}")
    for shown in (1000, 1000000):
        t = median_time(runs, f"BM_AnnotationBoxes/{shown}")
        print(f"  spectrogram boxes alone, {shown:>9,} samples shown: {t:6.2f} ms")


def tools(out):
    runs = load(out / "tools.json")
    numpy = json.loads((out / "tools_numpy.json").read_text())
    noise = median_time(runs, "BM_AddNoise/iterations:3") / 1000.0
    tone = median_time(runs, "BM_AddTone/iterations:5") / 1000.0
    print("Generator tools on 100,000,000 samples (the dispatcher, as qrvn edit runs them)")
    print(f"  Gaussian noise  {noise:6.3f} s")
    print(f"  single tone     {tone:6.3f} s  numpy float32 {numpy['tone']:6.3f} s"
          f"  ratio {tone / numpy['tone']:5.2f}  (target <= 1)")


def workers(out):
    runs = load(out / "workers.json")
    work = median_time(runs, "BM_PlayThroughWork")
    run50 = median_time(runs, "BM_PlayThroughSegment/iterations:3") / 50
    latency = runs["BM_MonitorLatency/iterations:100/manual_time"][0]["median_ms"]
    print("Play-through at N = 16384, spectrum drawn into 1600x1000")
    print(f"  segment work {work:.2f} ms; with the 10 ms pause {run50:.2f} ms a frame: {1000 / run50:.0f} frames/s")
    print(f"Monitoring: rewrite of a 65,536-sample file to the redrawn view, median of 100: {latency:.1f} ms")


def modifiers(out):
    runs = load(out / "modifiers.json")
    numpy = json.loads((out / "modifiers_numpy.json").read_text())
    print("100,000,000 samples vs numpy float32 (in place; best of 3); ours: median of 7 runs")
    for name, ref in (("Scale", "scale"), ("FrequencyShift", "frequency_shift"), ("RemoveDc", "remove_dc")):
        r = numpy[ref] * 1000.0
        for fresh, what in ((0, "reused scratch"), (1, "fresh scratch")):
            ours = median_time(runs, f"BM_{name}/fresh:{fresh}/iterations:1/repeats:7")
            print(f"  {name:15} {what:15} ours {ours:7.1f} ms  numpy {r:7.1f} ms  ratio {ours / r:5.2f}  (target <= 0.5)")


def designer(out):
    runs = load(out / "designer.json")
    print("FIR designer (passband 0.1, stopband 0.125, weights 10 / 1)")
    for taps in (127, 255):
        design = median_time(runs, f"BM_Remez/{taps}")
        move = median_time(runs, f"BM_SliderMove/{taps}")
        print(f"  {taps} taps: design {design:6.2f} ms; a slider move (design, recompute, draw "
              f"1600x1000) {move:6.2f} ms  (target <= 30 ms)")


def resample(out):
    runs = load(out / "resample.json")
    numpy = json.loads((out / "resample_numpy.json").read_text())
    print("Tools 532 and 40058 vs numpy (complex128 transforms; best of 3); ours: median of 5 runs")
    for name, ref, what in (("FftInterpolate2", "fft_interpolate", "FFT interpolation x2 of 2^24 samples"),
                            ("FirFile255", "fir_255", "FIR 255 taps on 10^7 samples (numpy: via FFT)")):
        ours = median_time(runs, f"BM_{name}/iterations:1/repeats:5")
        r = numpy[ref] * 1000.0
        print(f"  {what:46} ours {ours:8.1f} ms  numpy {r:8.1f} ms  ratio {ours / r:5.2f}")


def filters(out):
    runs = load(out / "filters.json")
    numpy = json.loads((out / "filters_numpy.json").read_text())
    ours = median_time(runs, "BM_FftLowPass/iterations:1/repeats:5")
    ref = numpy["fft_low_pass"] * 1000.0
    print("FFT low-pass of 2^24 samples (the tool: spectrum, mask, samples back) vs numpy (fft, mask, ifft; best of 3)")
    print(f"  ours {ours:7.1f} ms  numpy {ref:7.1f} ms  ratio {ours / ref:5.2f}  (target <= 1)")
    cfr = runs["BM_Cfr8dB/iterations:1/repeats:3"]
    t = statistics.median(r["real_time"] for r in cfr)
    c = cfr[0]
    print(f"CFR of 2^22 samples (8 64QAM carriers) to 8 dB: {t:.0f} ms (median of 3),"
          f" {c['passes']:.0f} passes, PAR {c['par_in_db']:.2f} -> {c['par_out_db']:.2f} dB")


def capture(out):
    runs = load(out / "capture.json")
    print("Whole cf32 capture against reading its bytes with read() (as cat); ratio = speed / reading's")
    for arg, cache in ((0, "warm"), (1, "cold")):
        read = median_time(runs, f"BM_ReadBytes/{arg}/iterations:3")
        for name, target in (("Overview", 0.8), ("MeasureWhole", 0.7)):
            iterations = 3 if name == "Overview" else 1
            t = median_time(runs, f"BM_{name}/{arg}/iterations:{iterations}")
            print(f"  {cache} {name:<12} {t:8.0f} ms, reading {read:7.0f} ms, speed ratio {read / t:5.2f}"
                  f"  (target >= {target})")
    t = median_time(runs, "BM_LoadRangeAtTheEnd/iterations:3")
    print(f"  100 MB range from the end, cold: {t:.0f} ms  (target <= 500)")
    t = median_time(runs, "BM_OpenTwentyGigabytes")
    print(f"  opening a 20 GiB file: {t:.0f} us  (target <= 100000)")


def spectrogram(out):
    runs = load(out / "spectrogram.json")
    numpy = json.loads((out / "spectrogram_numpy.json").read_text())
    print("Spectrogram, FFT 1024, 1000 rows of peak hold over a 1 GiB cf32 capture (warm)")
    print(f"  qrvn spectrogram {numpy['qrvn']:6.2f} s  numpy framed FFT {numpy['numpy']:6.2f} s"
          f"  ratio {numpy['qrvn'] / numpy['numpy']:5.2f}  (target <= 0.5)")
    print("Window, 1600x1000")
    t = median_time(runs, "BM_RedrawFromCachedTiles")
    print(f"  redraw from cached tiles: {t:6.1f} ms  (target <= 8)")
    for frames in (1, 64):
        t = median_time(runs, f"BM_UncachedScreen/{frames}/real_time")
        note = "  (target <= 150)" if frames == 1 else ""
        print(f"  a screen of uncached tiles, {frames:2} frame(s) per row: {t:7.1f} ms{note}")
    t = median_time(runs, "BM_FirstScreenOfWorkingRange/real_time")
    print(f"  first screen of a large capture (its first 500 MB): {t:7.1f} ms  (target <= 1000)")


def modulation(out):
    runs = load(out / "modulation.json")
    numpy = json.loads((out / "modulation_numpy.json").read_text())
    ours = median_time(runs, "BM_AnalyseModulation/iterations:1/repeats:3")
    ref = numpy["analyse"] * 1000.0
    evm = runs["BM_AnalyseModulation/iterations:1/repeats:3"][0]["evm_db"]
    print("Blind 64QAM analysis of 2^20 symbols (RRC 0.22, 4 samples a symbol) vs numpy, same steps (best of 2)")
    print(f"  ours {ours:7.0f} ms  numpy {ref:7.0f} ms  ratio {ours / ref:5.2f}  (target: ours <= 1000 ms);"
          f" EVM {evm:.2f} dB, numpy {numpy['evm_db']:.2f} dB")
    t = median_time(runs, "BM_EvmAgainstReference/iterations:1/repeats:3")
    print(f"  EVM against a reference, 2^22 samples: {t:7.0f} ms")


def main():
    out = Path(sys.argv[1])
    for suite in sys.argv[2:]:
        {"fft": fft, "trace": trace, "reader": reader, "writer": writer, "frequency_plot": frequency_plot, "view": view,
         "tools": tools, "workers": workers, "modifiers": modifiers,
         "designer": designer,
         "resample": resample,
         "filters": filters, "capture": capture, "spectrogram": spectrogram,
         "modulation": modulation}[suite](out)


if __name__ == "__main__":
    main()
