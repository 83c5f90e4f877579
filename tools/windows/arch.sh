# Sourced by the Windows build and test scripts: the architectures they know and each one's
# default build folder.
# qv_windows_build_dir ARCH: prints the folder, or fails with a message for an unknown ARCH.
qv_windows_build_dir() {
  case "$1" in
    x86_64) echo build-windows ;;
    i686) echo build-windows-i686 ;;
    *) echo "unknown Windows architecture '$1' (known: x86_64 i686)" >&2; return 2 ;;
  esac
}
