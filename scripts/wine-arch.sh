# Sourced by the scripts that run Windows programs. The plug-in, its tests and the workbench
# are 32-bit programs, run by 32-bit Wine. A kernel started without its 32-bit emulation
# (ia32_emulation off, as on some virtual machines) cannot run 32-bit Wine at all; there they
# run as a 64-bit build of the same sources under 64-bit Wine instead, in BUILD-x86_64, and
# the 32-bit build is still made and its DLL checked (scripts/test.sh).
can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# The build folder whose programs this machine runs, for the 32-bit build folder $1.
wine_build_dir() {
  if can_run_32bit; then echo "$1"; else echo "$1-x86_64"; fi
}

why_not_32bit() {
  echo "this machine cannot run 32-bit programs (32-bit Wine does not start:" \
    "$(/usr/lib/wine/wine --version 2>&1 | tail -n 1)); the kernel needs its 32-bit emulation" \
    "(ia32_emulation) on"
}
