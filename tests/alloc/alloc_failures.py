#!/usr/bin/env python3
"""Fail the Nth allocation of the filters and the preview, N over every
allocation of a scenario (sampled evenly past the first 100), and sort each
run by its outcome. Every run must end with exit status 0 or 1; a crash, or
a leak (looked for at every tenth point), is allowed only inside a library:
the first frame past the allocator is not one of our sources.

    alloc_failures.py PDF_FILTER PS_FILTER PREVIEW SOURCE_DIR [--points N]
"""
import collections, os, re, subprocess, sys
from concurrent.futures import ThreadPoolExecutor

filt, ps_filt, preview, src = sys.argv[1:5]
points = int(sys.argv[sys.argv.index("--points") + 1]) if "--points" in sys.argv else 160
ppd = lambda name: os.path.join(src, "fixtures/ppd", name)
pdf, ps = os.path.join(src, "fixtures/sample.pdf"), os.path.join(src, "fixtures/ps/three-pages.ps")
UA, JOB = "com.arvex.printsettings.UserAuth.", "com.arvex.printsettings."
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
    "PostScript filter, locked job with Copy Guard": (ps_filt, ppd("jobcontrol-colour.ppd"), [
        "job-password=1357", JOB + "CCPCopyControlType='Copy Guard'", JOB + "CCPFont=Courier"]),
}


def run(program, ppd_file, options, n, leaks=False):
    """The finished process and what the allocator reported at exit."""
    r, w = os.pipe()
    env = dict(os.environ, ARVEX_FAIL_ALLOC=str(n), ARVEX_FAIL_ALLOC_FD=str(w), PPD=ppd_file,
               LANG="ja_JP.UTF-8", ASAN_OPTIONS="detect_leaks=%d" % leaks)
    p = subprocess.run([program, "7", "carol", "Budget", "2", " ".join(options), ps if program == ps_filt else pdf],
                       env=env, capture_output=True, text=True, errors="replace", pass_fds=(w,), timeout=60)
    os.close(w)
    with os.fdopen(r) as shim:
        return p, shim.read()


def ours(report):
    """Whether the first frame past the allocator and sanitizer is in our sources."""
    for block in re.split(r"\n(?=Direct leak|Indirect leak|==\d+==ERROR)", report):
        frames = [f for f in re.findall(r"#\d+ 0x[0-9a-f]+ in (\S+ \S+)", block)
                  if not re.search(r"libasan|libubsan|failing_alloc|interceptor", f)]
        if frames and "/src/" in frames[0]:
            return True
    return False


def outcome(p, shim):
    if p.returncode == 0 and p.args[0] == ps_filt and "/Password (1357)" not in p.stdout:
        return "printed unlocked"  # a locked job must fail rather than lose its lock
    if "none failed" in shim:
        return "clean"
    if "terminate called" in p.stderr:
        return "abort in our code"  # an exception nobody caught
    crash = "ERROR: AddressSanitizer" in p.stderr or "runtime error:" in p.stderr or p.returncode < 0
    if crash or "LeakSanitizer" in p.stderr:
        return ("crash" if crash else "leak") + (" in our code" if ours(p.stderr) else " inside a library")
    return "exit %d" % p.returncode


failures = 0
pool = ThreadPoolExecutor(max_workers=os.cpu_count() or 2)
for name, (program, ppd_file, options) in SCENARIOS.items():
    total = int(run(program, ppd_file, options, 0)[1].split()[1])
    step = max(1, (total - 100) // max(1, points - 100))
    ns = list(range(1, min(total, 100) + 1)) + list(range(101, total + 1, step)) + [total + 1]
    jobs = [(n, False) for n in ns] + [(n, True) for n in ns[::10]]
    counts = collections.Counter()
    for (n, leaks), (p, shim) in zip(jobs, pool.map(lambda job: run(program, ppd_file, options, *job), jobs)):
        result = outcome(p, shim)
        if leaks and not result.startswith("leak"):
            continue  # the leak pass counts only its leaks
        counts[result] += 1
        if result not in ("clean", "exit 0", "exit 1") and "inside a library" not in result:
            failures += 1
            print("FAIL %s, allocation %d: %s\n%s" % (name, n, result, p.stderr[-3000:]))
    summary = ", ".join("%s %d" % kv for kv in sorted(counts.items()))
    print("%s: %d allocations, %d runs: %s" % (name, total, len(ns), summary))
print("%d failed runs" % failures)
sys.exit(1 if failures else 0)
