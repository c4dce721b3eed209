#!/usr/bin/env bash
# CUPS's IPP conformance tests with documents made by Ghostscript: every
# failure is one of conformance-failures.txt, every job's PDF opens.
#   conformance.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/lib.sh"

app_start
for printer in c5200 m4000 c5000; do sink_start "$DIR/$printer.prn" && add_printer "$printer" "arvex-$printer" "$SINK_PORT"; done

idle() {  # PRINTER: wait until the printer has no job left to print
  wait_for 60 bash -c "! ipptool -t -d which=not-completed '$(printer_uri "$1")' '$DATA/get-jobs.test' | grep -q 'job-id ('" ||
    fail "$1 still has jobs"
}

# The documents the test files name, relative to where they lie.
cd "$DIR" && cp /usr/share/cups/ipptool/{ipp-everywhere,ipp-1.1,ipp-2.0}.test . && PAGE="$BUILD_DIR/testpage.pdf"
gs() { command gs -q -dNOPAUSE -dBATCH "$@" 2>/dev/null; }
cp "$PAGE" document-a4.pdf
gs -sDEVICE=pdfwrite -sPAPERSIZE=letter -dFIXEDMEDIA -dPDFFitPage -o document-letter.pdf "$PAGE"
ln -s document-a4.pdf document-a4.ps && ln -s document-letter.pdf document-letter.ps  # (PostScript tests are skipped)
gs -sDEVICE=jpeg -r40 -o color.jpg "$PAGE" && gs -sDEVICE=jpeggray -r40 -o gray.jpg "$PAGE"
for type in "sgray-8 18" "srgb-8 19"; do
  read -r name space <<<"$type"
  out=pwg-raster-samples-300dpi/$name && mkdir -p "$out"
  pwg() { gs -sDEVICE=pwgraster -r300 -dcupsColorSpace="$space" -dcupsBitsPerColor=8 -dFIXEDMEDIA -dPDFFitPage \
    -o "$out/$1-$name-300dpi.pwg" "${@:2}"; }
  for paper in a4 letter; do
    pwg "onepage-$paper" -sPAPERSIZE=$paper "$PAGE" && pwg "document-$paper" -sPAPERSIZE=$paper "$PAGE" "$PDF"
  done
  for photo in color.jpg gray.jpg; do pwg "$photo-4x6" -dDEVICEWIDTHPOINTS=288 -dDEVICEHEIGHTPOINTS=432 "$PAGE"; done
done
# ipptool wants every file it names, even those of tests it skips.
grep -o 'pwg-raster-samples-[^ ]*\.pwg' ipp-everywhere.test | sort -u | while read -r f; do
  [ -e "$f" ] || { mkdir -p "$(dirname "$f")" && ln -s "$DIR/document-a4.pdf" "$f"; }
done

failures=()
for run in "c5200 ipp-everywhere.test" "m4000 ipp-1.1.test -f $PDF" "m4000 ipp-2.0.test -f $PDF"; do
  read -r printer test args <<<"$run"
  # shellcheck disable=SC2086
  ipptool -t -I -T 60 $args "$(printer_uri "$printer")" "$test" >"$test.out" 2>&1 || true
  idle "$printer"
  echo "$test ($printer): $(grep -c '\[PASS\]' "$test.out") passed, $(grep -c '\[FAIL\]' "$test.out") failed," \
    "$(grep -c '\[SKIP\]' "$test.out") skipped"
  while read -r name; do failures+=("$test: $name"); done < <(sed -n 's/^ *\(.*[^ ]\) *\[FAIL\]$/\1/p' "$test.out")
done
expected=$(grep -v '^#' "$DATA/conformance-failures.txt")
[ "$(printf '%s\n' "${failures[@]}")" = "$expected" ] ||
  fail "failures other than the known ones:$(printf '\n  %s' "${failures[@]}")"

raster=$(pdfs_in "$DIR/c5200.prn")
prints=$(grep -c '^ *Print .*\[PASS\]' ipp-everywhere.test.out)
[ "$prints" -ge 30 ] && [ "$raster" -eq "$prints" ] || fail "$raster jobs reached the printer for $prints prints"
count=$(pdfs_in "$DIR/m4000.prn")

# A page built from raster (colour, grey) rendered back at the raster's
# resolution shows the raster's pixels (decoded here) in areas of one colour.
for type in "srgb 19" "sgray 18"; do
  read -r name space <<<"$type"
  gs -sDEVICE=pwgraster -r100 -dcupsColorSpace="$space" -dcupsBitsPerColor=8 -sPAPERSIZE=a4 -dFIXEDMEDIA \
    -dPDFFitPage -o "$name.pwg" "$PAGE"
  : >"$DIR/c5000.prn"
  [[ $(job_end c5000 "$(print_file c5000 "$name.pwg" image/pwg-raster)") == completed* ]] || fail "$name raster job"
  pdfs_in "$DIR/c5000.prn" >/dev/null
  pdftoppm -r 100 $([ "$name" = sgray ] && echo -gray) "$DIR/extracted-0.pdf" "$name"
  python3 - "$name.pwg" "$name"-1.p?m <<'EOF' || fail "the $name raster page isn't the raster's"
import struct, sys
pwg = open(sys.argv[1], "rb").read()
width, height, _, _, bpp, line_bytes = struct.unpack(">6I", pwg[4 + 372:4 + 396])
pixel, raster, i = bpp // 8, bytearray(), 4 + 1796
while len(raster) < line_bytes * height:  # line repeats, then runs and literals of pixels
    repeat, line, i = pwg[i] + 1, bytearray(), i + 1
    while len(line) < line_bytes:
        n, i = pwg[i], i + 1
        size = pixel if n < 128 else (257 - n) * pixel
        line, i = line + pwg[i:i + size] * (n + 1 if n < 128 else 1), i + size
    raster += line * repeat
ppm = open(sys.argv[2], "rb").read()
rendered, r, n, off = ppm[len(ppm) - line_bytes * height:], raster, 0, 0
assert ppm.split()[1:3] == [b"%d" % width, b"%d" % height], "page size %s" % ppm.split()[1:3]
# Values inside areas of one colour (the renderer may blend at edges).
for k in range(line_bytes + pixel, len(r) - line_bytes - pixel, 7):
    if r[k] == r[k - pixel] == r[k + pixel] == r[k - line_bytes] == r[k + line_bytes]:
        n, off = n + 1, off + (abs(r[k] - rendered[k]) > 2)
assert n > 100000 and off < n // 1000, "%d of %d values differ" % (off, n)
EOF
done
echo "PASS: only the known failures; the $raster + $count jobs' PDFs open in pdfinfo; raster pages match"
