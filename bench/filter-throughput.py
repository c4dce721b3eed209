#!/usr/bin/env python3
"""Copy throughput and memory of arvex-pdf-filter against cat.

Prints, measured in one run on this machine:
  - wall time of the filter and of cat copying a 1 GiB file into a pipe
    (a second cat drains the pipe), medians of interleaved runs, and the ratio;
  - the filter's peak RSS for a 1 MiB and a 1 GiB input.

Usage: bench/filter-throughput.py [BUILD_DIR] [--size-mib N] [--runs N]
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


def make_input(path, mib):
    block = os.urandom(1 << 20)
    with open(path, "wb") as f:
        for _ in range(mib):
            f.write(block)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    filt = os.path.abspath(os.path.join(args.build, "arvex-pdf-filter"))
    env = {k: v for k, v in os.environ.items() if k not in ("PPD", "DEVICE_URI")}

    with tempfile.TemporaryDirectory(prefix="arvex-bench-") as tmp:
        big = os.path.join(tmp, "big.pdf")
        small = os.path.join(tmp, "small.pdf")
        make_input(big, args.size_mib)
        make_input(small, 1)
        job = [filt, "1", "bench", "throughput", "1", ""]

        cat_times, filter_times = [], []
        run_into_pipe(["cat", big])  # warm the page cache
        for _ in range(args.runs):
            cat_times.append(run_into_pipe(["cat", big])[0])
            filter_times.append(run_into_pipe(job + [big], env)[0])
        cat_med, filt_med = statistics.median(cat_times), statistics.median(filter_times)
        print(f"copy {args.size_mib} MiB into a pipe, median of {args.runs}:")
        print(f"  cat               {cat_med:8.3f} s")
        print(f"  arvex-pdf-filter  {filt_med:8.3f} s")
        print(f"  ratio filter/cat  {filt_med / cat_med:8.3f}")

        rss_small = run_into_pipe(job + [small], env)[1]
        rss_big = run_into_pipe(job + [big], env)[1]
        print("peak RSS of the filter:")
        print(f"  1 MiB input       {rss_small:8d} KiB")
        print(f"  {args.size_mib} MiB input    {rss_big:8d} KiB")
        print(f"  difference        {rss_big - rss_small:8d} KiB")


if __name__ == "__main__":
    main()
