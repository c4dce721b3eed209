#!/usr/bin/env python3
"""Fail the Nth allocation of the filter and the preview, N over every
allocation of a scenario (sampled evenly past the first 100), and sort each
run by its outcome. Every run must end with exit status 0 or 1; a crash, or
a leak (looked for at every tenth point), is allowed only inside a library:
the first frame past the allocator is not one of our sources.

    alloc_failures.py FILTER PREVIEW SOURCE_DIR [--points N]
"""
import os, re, subprocess, sys, collections
from concurrent.futures import ThreadPoolExecutor

filt, preview, src = sys.argv[1:4]
points = int(sys.argv[sys.argv.index("--points") + 1]) if "--points" in sys.argv else 160
ppd = lambda name: os.path.join(src, "fixtures/ppd", name)
pdf = os.path.join(src, "fixtures/sample.pdf")
UA = "com.arvex.printsettings.UserAuth."
JOB = "com.arvex.printsettings."
SCENARIOS = {
    "filter, PJL options": (filt, ppd("pjl-options.ppd"), ["Collate=True", "AXStaple=TopLeft"]),
    "filter, ready Shift JIS password": (filt, ppd("pjl-userauth.ppd"), [
        UA + "EnableUserAuth=true", UA + "LoginUserName=\u5c71\u7530", UA + "EncryptedPasswordAuth=x1",
        UA + "AuthLanguage=1"]),
    "filter, PPD password encrypted": (filt, ppd("pjl-userauth.ppd"), [
        "AXAuthLoginUserNameType=DefinedUserID", "AXAuthLoginUserNameText=Custom.alice",
        "AXAuthLoginPassword=Custom.1234", "AXAuthEnableEncryption=True", "AXAuthEncryptionKey=Custom.k3y"]),
    "filter, demo queue": (filt, ppd("arvex-demo.ppd"), [
        "Collate=False", "Duplex=DuplexNoTumble", "AXEnableUserAuth=True", "AXAuthLoginPassword=Custom.4711"]),
    "preview, locked job with Copy Guard": (preview, ppd("jobcontrol-colour.ppd"), [
        JOB + "11AJobType='Locked Print'", JOB + "11AUserID=carol", JOB + "11APassword=1357",
        JOB + "CCPCopyControlType='Copy Guard'", JOB + "CCPFont=Courier"]),
    "preview, marking text": (preview, ppd("marking-settings.ppd"), [
        JOB + "CCPCopyControlType='Prevention Copy Pattern'", JOB + "CCPTextType='Login User Name + PrintJob Name'",
        JOB + "CCPJobName=\\\\150\\\\151"]),
}
MEMORY = {filt: "ERROR: ERROR: memory error in CUPS Filter - ", preview: "arvex-jobcontrol: out of memory"}


def run(program, ppd_file, options, n, leaks=False):
    r_fd, w_fd = os.pipe()
    env = dict(os.environ, ARVEX_FAIL_ALLOC=str(n), ARVEX_FAIL_ALLOC_FD=str(w_fd), PPD=ppd_file,
               LANG="ja_JP.UTF-8", ASAN_OPTIONS="detect_leaks=%d" % leaks)
    p = subprocess.run([program, "7", "carol", "Budget", "2", " ".join(options), pdf], env=env,
                       capture_output=True, text=True, errors="replace", pass_fds=(w_fd,), timeout=60)
    os.close(w_fd)
    shim = os.read(r_fd, 200).decode()
    os.close(r_fd)
    return p, shim


def first_frame_of_ours(report):
    """Whether the first frame past the allocator and sanitizer is in our sources."""
    for block in re.split(r"\n(?=Direct leak|Indirect leak|==\d+==ERROR)", report):
        for frame in re.findall(r"#\d+ 0x[0-9a-f]+ in (\S+) (\S+)", block):
            if re.search(r"libasan|libubsan|failing_alloc|interceptor", " ".join(frame)):
                continue
            if "/src/" in frame[1]:
                return True
            break
    return False


def outcome(program, p, shim):
    if "none failed" in shim:
        return "clean"
    if "terminate called" in p.stderr:
        return "abort in our code"  # an exception nobody caught
    crash = "ERROR: AddressSanitizer" in p.stderr or "runtime error:" in p.stderr or p.returncode < 0
    if crash or "LeakSanitizer" in p.stderr:
        kind = "crash" if crash else "leak"
        return kind + (" in our code" if first_frame_of_ours(p.stderr) else " inside a library")
    if p.returncode == 1 and MEMORY[program] in p.stderr:
        return "exit 1, memory message"
    return "exit %d" % p.returncode


failures = 0
pool = ThreadPoolExecutor(max_workers=os.cpu_count() or 2)
for name, (program, ppd_file, options) in SCENARIOS.items():
    total = int(run(program, ppd_file, options, 0)[1].split()[1])
    ns = list(range(1, min(total, 100) + 1))
    if total > 100:
        step = max(1, (total - 100) // max(1, points - 100))
        ns += list(range(101, total + 1, step))
    ns.append(total + 1)
    jobs = [(n, False) for n in ns] + [(n, True) for n in ns[::10]]
    counts = collections.Counter()
    for (n, leaks), (p, shim) in zip(jobs, pool.map(lambda j: run(program, ppd_file, options, *j), jobs)):
        result = outcome(program, p, shim)
        if leaks and not result.startswith("leak"):
            continue  # the leak pass counts only its leaks
        counts[result] += 1
        if "in our code" in result or result not in ("clean", "exit 0", "exit 1", "exit 1, memory message") \
                and "inside a library" not in result:
            failures += 1
            print("FAIL %s, allocation %d: %s\n%s" % (name, n, result, p.stderr[-3000:]))
    print("%s: %d allocations, %d runs: %s" % (name, total, len(ns),
                                               ", ".join("%s %d" % kv for kv in sorted(counts.items()))))
print("%d passed, %d failed" % (len(SCENARIOS) if not failures else 0, failures))
sys.exit(1 if failures else 0)
