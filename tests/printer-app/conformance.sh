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
# resolution is Ghostscript's own rendering of the page, in areas of one colour.
page() { gs -r100 -sPAPERSIZE=a4 -dFIXEDMEDIA -dPDFFitPage "$@" "$PAGE"; }
for type in "srgb 19 ppm" "sgray 18 pgm"; do
  read -r name space pnm <<<"$type"
  page -sDEVICE=pwgraster -dcupsColorSpace="$space" -dcupsBitsPerColor=8 -o "$name.pwg"
  page -sDEVICE="${pnm}raw" -o "$name-gs.$pnm"
  : >"$DIR/c5000.prn"
  [[ $(job_end c5000 "$(print_file c5000 "$name.pwg" image/pwg-raster)") == completed* ]] || fail "$name raster job"
  pdfs_in "$DIR/c5000.prn" >/dev/null
  pdftoppm -r 100 $([ "$pnm" = pgm ] && echo -gray) "$DIR/extracted-0.pdf" "$name"
  python3 - "$name-gs.$pnm" "$name-1.$pnm" <<'EOF' || fail "the $name raster page isn't the page"
import re, sys
(size, r), (built, b) = [(m.group(2, 3), m.string[m.end():]) for m in
    (re.match(rb"P([56])\n(?:#.*\n)?(\d+) (\d+)\n255\n", open(f, "rb").read()) for f in sys.argv[1:])]
pixel, line = 3 if sys.argv[1].endswith("ppm") else 1, len(r) // int(size[1])
values = [k for k in range(line + pixel, len(r) - line - pixel, 7)
          if r[k] == r[k - pixel] == r[k + pixel] == r[k - line] == r[k + line]]
off = sum(abs(r[k] - b[k]) > 2 for k in values)
assert size == built and len(values) > 100000 and off < len(values) // 100, \
    "size %s, %d of %d values differ" % (built, off, len(values))
EOF
done
# Each model's icons, colour or grey, of 48, 128 and 512 pixels at the URIs printer-icons gives; the web page shows them.
for printer in c5000:colour m4000:mono; do
  icons=$(ipp "${printer%:*}" printer-icons.test | sed -n 's/^printer-icons = //p')
  [ "$(tr ',' '\n' <<<"$icons" | wc -l)" = 3 ] || fail "${printer%:*}'s printer-icons: $icons"
  size=0
  for url in ${icons//,/ }; do
    curl -fs -o icon.png "$url" && size=$((size == 0 ? 48 : size == 48 ? 128 : 512)) || fail "no icon at $url"
    [ "$(python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(24); print(d[:8] == b"\x89PNG\r\n\x1a\n" and
      struct.unpack(">II", d[16:24]) == (int(sys.argv[2]),) * 2)' icon.png $size)" = True ] || fail "$url isn't a ${size}-pixel PNG"
    cmp -s icon.png "$BUILD_DIR/arvex-${printer#*:}-$size.png" || fail "$url isn't the ${printer#*:} icon of $size pixels"
  done
  grep -q "<img [^>]*src=\"/${printer%:*}/icon-md.png\"" <<<"$(curl -fs "http://127.0.0.1:$APP_PORT/${printer%:*}/")" ||
    fail "the web page shows no icon"
done
echo "PASS: only the known failures; the $raster + $count jobs' PDFs open in pdfinfo; raster pages match; the icons"
