#!/usr/bin/env python3
"""Copy throughput and memory of a filter against cat.

Prints, measured in one run on this machine:
  - wall time of the filter and of cat copying a 1 GiB file into a pipe
    (a second cat drains the pipe), medians of interleaved runs, and the ratio;
  - the filter's peak RSS for a 1 MiB and a 1 GiB input;
  - for arvex-ps-filter (--filter ps), the time of one job against pstops's on
    the CUPS test page, each as CUPS runs it on the C5200's PostScript PPD.

The PDF filter copies random bytes; the PostScript filter a DSC job whose
pages hold 1 MiB of random bytes each (line starts, '%' and ^D included), on
the PostScript PPD, with a locked print's PIN.

Usage: bench/filter-throughput.py [BUILD_DIR] [--filter pdf|ps] [--size-mib N] [--runs N]
"""
import argparse
import os
import resource
import statistics
import subprocess
import tempfile
import time


def run_into_pipe(cmd, env=None):
    """Run cmd with its stdout drained by cat; return (seconds, peak RSS KiB of cmd)."""
    start = time.perf_counter()
    drain = subprocess.Popen(["cat"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    proc = subprocess.Popen(cmd, stdout=drain.stdin, stderr=subprocess.DEVNULL, env=env)
    drain.stdin.close()
    # wait4 gives the producer's own peak RSS, not the maximum over children.
    _, status, usage = os.wait4(proc.pid, 0)
    drain.wait()
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"{cmd[0]} failed with status {status}")
    return elapsed, usage.ru_maxrss


def make_input(path, mib, postscript):
    block = os.urandom(1 << 20)
    with open(path, "wb") as f:
        if postscript:
            f.write(b"%!PS-Adobe-3.0\n%%Pages: (atend)\n%%EndComments\n%%BeginProlog\n%%EndProlog\n"
                    b"%%BeginSetup\n%%EndSetup\n")
        for page in range(mib):
            if postscript:
                f.write(b"%%%%Page: %d %d\n" % (page + 1, page + 1))
            f.write(block.replace(b"\x1b%-12345X", b"\x1b%-12345Y"))
            if postscript:
                f.write(b"\nshowpage\n")
        if postscript:
            f.write(b"%%EOF\n\x04")


def per_job(build, ppd, runs):
    """Milliseconds of one job of pstops and of arvex-ps-filter on the CUPS test page."""
    env = dict(os.environ, PPD=ppd)
    env.pop("DEVICE_URI", None)
    with tempfile.TemporaryDirectory(prefix="arvex-bench-") as tmp:
        # The test page as pdftops hands it to pstops: Ghostscript's ps2write.
        pdf, page = os.path.join(tmp, "testprint.pdf"), os.path.join(tmp, "testprint.ps")
        with open(pdf, "wb") as f:
            subprocess.run(["cupsfilter", "-p", ppd, "-m", "application/pdf", "/usr/share/cups/data/testprint"],
                           stdout=f, stderr=subprocess.DEVNULL, check=True)
        subprocess.run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-dNOMEDIAATTRS", "-sDEVICE=ps2write",
                        "-dShowAcroForm", "-dLanguageLevel=3", "-r300", "-dCompressFonts=false", "-dNoT3CCITT",
                        "-dNOINTERPOLATE", "-sOutputFile=" + page, pdf], check=True)
        stopped = os.path.join(tmp, "pstops.ps")
        with open(stopped, "wb") as f:
            subprocess.run(["/usr/lib/cups/filter/pstops", "1", "bench", "page", "1", "", page],
                           stdout=f, stderr=subprocess.DEVNULL, env=env, check=True)
        jobs = {"pstops": ["/usr/lib/cups/filter/pstops", "1", "bench", "page", "1", "", page],
                "arvex-ps-filter": [os.path.join(build, "arvex-ps-filter"), "1", "bench", "page", "1",
                                    "job-password=4711", stopped]}
        times = {name: [] for name in jobs}
        for _ in range(runs):
            for name, cmd in jobs.items():
                times[name].append(run_into_pipe(cmd, env)[0])
        print(f"one job on the CUPS test page ({os.path.getsize(page)} bytes of PostScript), median of {runs}:")
        for name, values in times.items():
            print(f"  {name:16s}  {statistics.median(values) * 1000:8.2f} ms")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--filter", choices=("pdf", "ps"), default="pdf")
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    postscript = args.filter == "ps"
    name = "arvex-ps-filter" if postscript else "arvex-pdf-filter"
    filt = os.path.abspath(os.path.join(args.build, name))
    ppd = os.path.abspath(os.path.join(args.build, "ppd", "arvex", "arvex-c5200-ps.ppd"))
    env = {k: v for k, v in os.environ.items() if k not in ("PPD", "DEVICE_URI")}
    if postscript:
        env["PPD"] = ppd

    with tempfile.TemporaryDirectory(prefix="arvex-bench-") as tmp:
        big = os.path.join(tmp, "big.job")
        small = os.path.join(tmp, "small.job")
        make_input(big, args.size_mib, postscript)
        make_input(small, 1, postscript)
        job = [filt, "1", "bench", "throughput", "1", "job-password=4711" if postscript else ""]

        cat_times, filter_times = [], []
        run_into_pipe(["cat", big])  # warm the page cache
        for _ in range(args.runs):
            cat_times.append(run_into_pipe(["cat", big])[0])
            filter_times.append(run_into_pipe(job + [big], env)[0])
        cat_med, filt_med = statistics.median(cat_times), statistics.median(filter_times)
        print(f"copy {args.size_mib} MiB into a pipe, median of {args.runs}:")
        print(f"  cat               {cat_med:8.3f} s")
        print(f"  {name:16s}  {filt_med:8.3f} s")
        print(f"  ratio filter/cat  {filt_med / cat_med:8.3f}")

        rss_small = run_into_pipe(job + [small], env)[1]
        rss_big = run_into_pipe(job + [big], env)[1]
        print("peak RSS of the filter:")
        print(f"  1 MiB input       {rss_small:8d} KiB")
        print(f"  {args.size_mib} MiB input    {rss_big:8d} KiB")
        print(f"  difference        {rss_big - rss_small:8d} KiB")
    if postscript:
        per_job(os.path.abspath(args.build), ppd, max(args.runs, 20))


if __name__ == "__main__":
    main()
