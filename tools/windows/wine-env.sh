# Sourced by the Windows build and test scripts: one wine prefix per architecture for the
# discovery of tests at build time and for the runs, made once and kept (QV_WINEPREFIX, default
# ~/.cache/quorvex-windows/wine, for the x86-64 build; the same name with "-i686" for the x86
# one: QV_WINDOWS_ARCH names the build, default x86_64). tools/windows/test.sh adds more
# prefixes beside it, one per test lane.
# Both are 64-bit Windows: the x86 installer runs there as it mostly runs for its users, a 32-bit
# program on 64-bit Windows (wine's WoW64, the 32-bit half of wine that Debian's wine32:i386
# package adds), with the redirected system folder and registry views, Program Files (x86) and
# the 32-bit process structures that only such a system has.
qv_wine_arch=${QV_WINDOWS_ARCH:-x86_64}
case "$qv_wine_arch" in
  x86_64) export WINEPREFIX=${QV_WINEPREFIX:-$HOME/.cache/quorvex-windows/wine} ;;
  i686) export WINEPREFIX=${QV_WINEPREFIX:-$HOME/.cache/quorvex-windows/wine}-i686 ;;
  *) echo "wine-env: unknown architecture '$qv_wine_arch' (known: x86_64 i686)" >&2; return 2 ;;
esac
export WINEDEBUG=-all
# No .NET or Gecko prompts; no Linux menu entries for the shortcuts the sample package writes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# Debian's `wine` runs wine's 32-bit loader whenever the 32-bit half of wine is installed, and that
# loader hands a 64-bit program over to start.exe in another process: the caller's child is then
# not the program (another process id, no windows of its own, start.exe's exit code). The 64-bit
# programs are started with the 64-bit loader itself, the x86 build's with the 32-bit one.
if [[ $qv_wine_arch == i686 && -x /usr/lib/wine/wine ]]; then
  export QV_WINE_LOADER=/usr/lib/wine/wine
elif [[ -x /usr/lib/wine/wine64 ]]; then
  export QV_WINE_LOADER=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
else
  QV_WINE_LOADER=$(command -v wine)
  export QV_WINE_LOADER
fi
# Tests make their own folders: in wine's temporary folder for Windows programs, in /tmp for the
# native driver of the end-to-end tests.
unset QV_TEST_ROOT

# The file a prepared prefix holds; bump its number when the settings below change. A prefix made
# before Debian's 32-bit wine was installed lacks the 32-bit half of the system, and with wine32
# present even 64-bit programs then fail to start in it ("could not load kernel32.dll"), so the
# file also names which wine made the prefix.
qv_wine_ready=.quorvex-settings-3-$([[ -x /usr/lib/wine/wine ]] && echo wow64 || echo win64)

# qv_wine_prepare: makes the prefix WINEPREFIX names, once, with the settings the tests need.
qv_wine_prepare() {
  local ready=$WINEPREFIX/$qv_wine_ready
  # A 64-bit prefix made before wine's 32-bit half was installed cannot run 32-bit programs
  # (its SysWOW64 folder is empty): the x86 build's prefix is made again then.
  if [[ $qv_wine_arch == i686 && -f $WINEPREFIX/system.reg &&
        ! -f $WINEPREFIX/drive_c/windows/syswow64/kernel32.dll ]]; then
    rm -rf "$WINEPREFIX"
  fi
  if [[ ! -f $WINEPREFIX/system.reg || ! -f $ready ]]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1
  fi
  [[ -f $ready ]] && return 0
  # A crashing test program ends instead of waiting in wine's crash dialog.
  "$QV_WINE_LOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # A CJK face for DirectWrite, which ignores wine's font substitutes and would draw Chinese as
  # boxes: Debian's Noto Sans CJK (one collection file per weight, holding the SC, TC, HK, JP
  # and KR families) copied into the prefix's font folder and registered like an installed font.
  local fonts=$WINEPREFIX/drive_c/windows/Fonts weight file
  mkdir -p "$fonts"
  for weight in Regular Bold; do
    file=/usr/share/fonts/opentype/noto/NotoSansCJK-$weight.ttc
    if [[ ! -f $file ]]; then
      echo "wine-env: $file is missing (Debian package fonts-noto-cjk); Chinese will show as boxes" >&2
      continue
    fi
    cp -f "$file" "$fonts/"
    "$QV_WINE_LOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' \
      /v "Noto Sans CJK $weight (TrueType)" /t REG_SZ /d "NotoSansCJK-$weight.ttc" /f >/dev/null 2>&1
  done
  # The prefix is complete only when wine has written its registry back to disk.
  wineserver -w
  touch "$ready"
}

# The first Windows program a wine server runs starts wine's own background programs, which keep
# the standard handles they were given: started from a test or from ninja, they would hold its
# output pipe open and the caller would wait until they end. So the server is made persistent and
# those programs are started here, on /dev/null, before any test program runs.
# Wine's desktop process is started the same way: the first GUI program of a server starts it
# and it keeps that program's standard error for as long as the server lives.
# qv_wine_serve: does that for WINEPREFIX on DISPLAY; the caller stops the server
# (`wineserver -k`) when it ends.
qv_wine_serve() {
  wineserver -p </dev/null >/dev/null 2>&1 || true
  "$QV_WINE_LOADER" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  ("$QV_WINE_LOADER" explorer.exe /desktop </dev/null >/dev/null 2>&1 &)
}

# qv_wine_start: the prefix's server for the calling script, stopped when the script ends.
qv_wine_start() {
  qv_wine_serve
  trap 'wineserver -k 2>/dev/null || true' EXIT
}

qv_wine_prepare
