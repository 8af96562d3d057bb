#!/usr/bin/env bash
# One command from a fresh clone: installs what is missing, builds the suite,
# starts the instrument simulator on a pseudo-terminal, points a demo folder's
# dev.dat at it and runs a program of the suite against it.
#
#   ./demo.sh [PROGRAM] [SIMULATOR OPTIONS...]
#
# PROGRAM is a program of the suite in build/bin (default Reader), or "sim" to
# run the simulator alone until Ctrl-C. Further arguments go to the simulator,
# e.g.  ./demo.sh Reader --fault err:p=0.2   (see build/bin/instrument-sim --help).
# The simulator keeps the instrument's memory in demo/state.txt between runs and
# writes every frame and answer to demo/transcript.txt.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
PROGRAM="${1:-Reader}"
shift || true
BUILD="${SUITE_BUILD_DIR:-$ROOT/build}"   # another build folder may be named here
DEMO="$ROOT/demo"
LINK="$DEMO/ttyINSTR"

"$ROOT/scripts/install-deps.sh"

echo "== Building into $BUILD"
cmake -S "$ROOT" -B "$BUILD" >/dev/null
JOBS="$(nproc 2>/dev/null || echo 2)"
if [ "$PROGRAM" = "sim" ]; then
  cmake --build "$BUILD" -j"$JOBS" --target instrument-sim
else
  # The simulator and the program asked for; everything when the program is
  # not a target of its own name.
  cmake --build "$BUILD" -j"$JOBS" --target instrument-sim "$PROGRAM" 2>/dev/null \
    || cmake --build "$BUILD" -j"$JOBS"
  if [ ! -x "$BUILD/bin/$PROGRAM" ]; then
    echo "demo.sh: there is no program $BUILD/bin/$PROGRAM; programs built:" >&2
    ls "$BUILD/bin" >&2
    exit 1
  fi
fi

mkdir -p "$DEMO"

# dev.dat of the demo folder: COM1 is the simulator's link. An existing file
# (the programs write their choices into it) keeps everything but COM1.
DEVDAT="$DEMO/dev.dat"
if [ -f "$DEVDAT" ] && grep -q '^\[PORTS\]' "$DEVDAT"; then
  sed -i "/^\[PORTS\]/,/^\[/ s|^COM1=.*|COM1=$LINK\r|" "$DEVDAT"
else
  printf '%s\r\n' \
    '[COMport]' 'number=1' 'settings=4800,N,8,2' \
    '[PORTS]' "COM1=$LINK" \
    '[DEVICE]' 'EnableNetAdrr=1' 'NetAdrr=1' 'ModuleNum=0' \
    '[SETTINGS]' 'NOfRereadings=2' 'NOfDigits=8' 'TimeOut=1' 'Visible=0' \
    '[LOG]' 'UseLogFile=1' 'LogFileName=COM.log' 'ClearLog=Yes' > "$DEVDAT"
fi

echo "== Starting the simulator at $LINK"
SIM_OUT="$DEMO/sim.out"
: > "$SIM_OUT"
"$BUILD/bin/instrument-sim" --link "$LINK" --state "$DEMO/state.txt" \
  --transcript "$DEMO/transcript.txt" "$@" > "$SIM_OUT" &
SIM_PID=$!
stop_sim() {
  if kill -0 "$SIM_PID" 2>/dev/null; then
    kill -TERM "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    echo "== Simulator stopped"
  fi
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

for _ in $(seq 1 50); do
  [ -s "$SIM_OUT" ] && break
  kill -0 "$SIM_PID" 2>/dev/null || { echo "demo.sh: the simulator did not start" >&2; exit 1; }
  sleep 0.1
done
echo "== Instrument on $(head -n1 "$SIM_OUT") (network address 1, 4800 baud)"

if [ "$PROGRAM" = "sim" ]; then
  echo "== Serving; Ctrl-C stops. Frames go to $DEMO/transcript.txt"
  wait "$SIM_PID"
  exit 0
fi

echo "== Running $PROGRAM with INSTRUMENT_SUITE_DIR=$DEMO"
RUN=("$BUILD/bin/$PROGRAM")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "   (no display: running under xvfb-run)"
  RUN=(xvfb-run -a "${RUN[@]}")
fi
set +e
INSTRUMENT_SUITE_DIR="$DEMO" "${RUN[@]}"
CODE=$?
set -e
echo "== $PROGRAM exited with $CODE"
exit "$CODE"
