# Sourced by the benchmarks that run the whole program: a fresh home for it
# under HOME_FOLDER watching SOURCES ("a|b" for several), copying first or not,
# AutoRip on, nothing ejected. What it prints on standard error goes to the
# fifo HOME_FOLDER/said; its process id is left in program_pid. Returns once
# it is up and has polled the empty drives at least once.
#   start_program PROGRAM HOME_FOLDER SOURCES COPY_FIRST
start_program() {
  local program=$1 home=$2 sources=$3 copy_first=$4
  rm -rf -- "$home"
  mkdir -p "$home/ripwarden/Data/Config" "$home/rips" "$home/runtime"
  chmod 700 "$home/runtime"
  printf '[Ripping]\nSourceDrive = %s\nDestination = %s/\nFileContainer = MP4\nEncoding = \nTwoPass = 0\nAudioBooster = 0\nCopyFirst = %s\n[Other]\nStartMinimised = 1\nAutoRip = 1\nEjectOnFinish = 0\n[HandBrake]\nLocation = %s\n' \
    "$sources" "$home/rips" "$copy_first" "$(command -v HandBrakeCLI)" >"$home/ripwarden/Data/Config/Settings.cfg"
  : >"$home/ripwarden/Data/Config/Presets.cfg"
  mkfifo "$home/said"
  RIPWARDEN_HOME="$home/ripwarden" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen \
    "$program" 2>"$home/said" >/dev/null &
  program_pid=$!
  sleep 3
}

# Stops the program started last.
stop_program() {
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
}
