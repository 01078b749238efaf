#!/usr/bin/env bash
# Starts the Linux program on a display of its own over a drive map in a temporary folder, checks
# that its window carries the program's icon, clicks "Restore" in the action group with the real
# mouse, keeps a screenshot of the window as fltk-restore.png, then clicks "Exit" and checks that
# the program ended with exit code 0.
#
#   tests/ui/fltk_screenshot.sh [path/to/ridideduvure]
#
# The picture goes to $RD_SCREENSHOT_DIR (default: build/screenshots in the project). Needs
# xvfb-run, xdotool, xprop and xwd (scripts/setup all installs them); exits 77 (skipped) without
# them.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
project=$(cd "$here/../.." && pwd)
program=${1:-$project/build/linux/bin/ridideduvure}
shots=${RD_SCREENSHOT_DIR:-$project/build/screenshots}

for tool in xvfb-run xdotool xprop xwd python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "fltk_screenshot: $tool is missing (scripts/setup all installs it); skipped"
    exit 77
  fi
done
if [[ ! -x $program ]]; then
  echo "fltk_screenshot: no program at $program" >&2
  exit 1
fi

# Once more on a display of our own, whatever display the caller has.
if [[ -z ${RD_SCREENSHOT_ON_OWN_DISPLAY:-} ]]; then
  export RD_SCREENSHOT_ON_OWN_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$program"
fi

work=$(mktemp -d)
program_pid=
cleanup() {
  if [[ -n $program_pid ]] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Two fixed drives (the backup proposes D:) and the folders the program looks for.
mkdir -p "$work/c/windows" "$work/c/Users/Ann/Documents" "$work/c/Temp" "$work/d"
RIDIDEDUVURE_DRIVES=$(printf '%s\n' "C:=3|SYSTEM|$work/c" "D:=3|DATA|$work/d" \
  'windows=C:\windows' 'documents=C:\Users\Ann\Documents' 'temp=C:\Temp')
export RIDIDEDUVURE_DRIVES

"$program" >"$work/program.log" 2>&1 &
program_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Ridideduvure 4\.0$' | head -n 1) || {
  echo "fltk_screenshot: the window \"Ridideduvure 4.0\" did not appear" >&2
  cat "$work/program.log" >&2
  exit 1
}

# The icon FLTK hands the window manager, in the sizes built into the program.
icons=$(xprop -id "$window" _NET_WM_ICON | { grep -o 'Icon ([0-9]* x [0-9]*)' || true; } | tr '\n' ' ')
for size in 16 32 48; do
  if [[ $icons != *"Icon ($size x $size)"* ]]; then
    echo "fltk_screenshot: the window has no ${size}x$size icon (it has: ${icons:-none})" >&2
    exit 1
  fi
done
echo "fltk_screenshot: the window's icon comes in the sizes ${icons% }"

# Client coordinates of the window logic's layout: the "Restore" item of the action group
# (68,2,139,57: its second item, below the caption) and the "Exit" button (206,263,89,33).
click() {
  xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.2
  xdotool click 1
  sleep 0.5
}
click 110 46

mkdir -p "$shots"
xwd -silent -id "$window" -out "$work/window.xwd"
python3 - "$work/window.xwd" "$shots/fltk-restore.png" <<'PYTHON'
# XWD (TrueColor, 24 or 32 bits a pixel) to PNG, with the standard library alone.
import struct, sys, zlib

data = open(sys.argv[1], "rb").read()
fields = struct.unpack(">25I", data[:100])
header_size, _, _, depth, width, height, _, byte_order = fields[:8]
bits_per_pixel, bytes_per_line = fields[11], fields[12]
red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
ncolors = fields[19]
offset = header_size + 12 * ncolors
if bits_per_pixel not in (24, 32):
    sys.exit(f"unsupported XWD: {bits_per_pixel} bits a pixel")

def shift(mask):
    return (mask & -mask).bit_length() - 1

shifts = [shift(m) for m in (red_mask, green_mask, blue_mask)]
step = bits_per_pixel // 8
rows = bytearray()
for y in range(height):
    rows.append(0)
    line = data[offset + y * bytes_per_line: offset + (y + 1) * bytes_per_line]
    for x in range(width):
        pixel = int.from_bytes(line[x * step:(x + 1) * step], "little" if byte_order == 0 else "big")
        rows += bytes(((pixel & m) >> s) & 0xFF
                      for m, s in zip((red_mask, green_mask, blue_mask), shifts))

def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
       chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))
open(sys.argv[2], "wb").write(png)
print(f"fltk_screenshot: {width}x{height} window kept as {sys.argv[2]}")
PYTHON

click 250 279

status=0
for _ in $(seq 1 50); do
  if ! kill -0 "$program_pid" 2>/dev/null; then break; fi
  sleep 0.2
done
if kill -0 "$program_pid" 2>/dev/null; then
  echo "fltk_screenshot: the program did not end after Exit" >&2
  exit 1
fi
wait "$program_pid" || status=$?
program_pid=
if ((status != 0)); then
  echo "fltk_screenshot: the program ended with exit code $status" >&2
  cat "$work/program.log" >&2
  exit 1
fi
echo "fltk_screenshot: Restore clicked, Exit ended the program with exit code 0"
