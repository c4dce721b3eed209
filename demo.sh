#!/usr/bin/env bash
# Installs what is missing, builds, and runs the filter on the bundled PDF
# and PPD the way CUPS does: first by hand with the CUPS filter arguments,
# then through cupsfilter, which starts filters like the scheduler.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${DEMO_PACKAGES[@]}"

# The demo needs only the filter; a tree that test.sh configured keeps its
# tests and benchmarks.
if [ -f build/CMakeCache.txt ]; then
  cmake -S . -B build >/dev/null
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARVEX_BUILD_TESTS=OFF -DARVEX_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build build -j"$(nproc)" --target arvex-pdf-filter >/dev/null

ppd=$root/fixtures/ppd/arvex-demo.ppd
pdf=$root/fixtures/sample.pdf
out=$root/build/demo-output.prn
options="Collate=False Duplex=DuplexNoTumble AXEnableUserAuth=True AXAuthLoginPassword=Custom.4711"

# show_job FILE: the PJL lines around the data, readable.
show_job() {
  python3 - "$1" "$pdf" <<'PY'
import sys
job = open(sys.argv[1], "rb").read()
pdf = open(sys.argv[2], "rb").read()
at = job.find(pdf)
head, tail = (job[:at], job[at + len(pdf):]) if at >= 0 else (job, b"")
def show(part):
    for line in part.split(b"\n"):
        if line:
            print("    " + line.decode("latin-1").replace("\x1b", "<ESC>"))
show(head)
print("    [%d bytes of PDF data, %s]" % (len(pdf), "unchanged" if at >= 0 else "NOT FOUND"))
show(tail)
print("  %d bytes in all" % len(job))
PY
}

echo "== arvex-pdf-filter 42 $(id -un) 'Arvex demo' 2 '$options' sample.pdf"
set +e
PPD=$ppd SOFTWARE="CUPS/$(cups-config --version)" LANG=en_US.UTF-8 \
  build/arvex-pdf-filter 42 "$(id -un)" "Arvex demo" 2 "$options" "$pdf" >"$out" 2>build/demo-stderr.txt
status=$?
set -e
echo "  output: $out"
show_job "$out"
echo "  exit status: $status"
[ -s build/demo-stderr.txt ] && sed 's/^/  stderr: /' build/demo-stderr.txt

echo
echo "== cupsfilter -p PPD -m printer/arvex -e -t 'Arvex demo' sample.pdf"
# cupsfilter starts filters like cupsd: the PPD's filter line names ours by
# absolute path, and the file must not be group- or world-writable.
chmod 755 build/arvex-pdf-filter
sed "s|^\*cupsFilter2: .*|*cupsFilter2: \"application/pdf application/vnd.arvex-pjl 0 $root/build/arvex-pdf-filter\"|" \
  "$ppd" >build/arvex-demo-cupsfilter.ppd
cupsfilter_out=$root/build/demo-cupsfilter.prn
set +e
cupsfilter -p build/arvex-demo-cupsfilter.ppd -m printer/arvex -e -t "Arvex demo" \
  -o Collate=False -o Duplex=DuplexNoTumble -o AXEnableUserAuth=True -o AXAuthLoginPassword=Custom.4711 "$pdf" >"$cupsfilter_out" 2>build/demo-cupsfilter-stderr.txt
cf_status=$?
set -e
show_job "$cupsfilter_out"
echo "  exit status: $cf_status"
grep -E "^(ERROR|STATE|ATTR)" build/demo-cupsfilter-stderr.txt | sed 's/^/  /' || true
[ "$status" -eq 0 ] && [ "$cf_status" -eq 0 ]
