# Sourced by the Windows build and test scripts: one wine prefix for the discovery of tests at
# build time and for the runs, made once and kept (QV_WINEPREFIX, default
# ~/.cache/quorvex-windows/wine).
export WINEPREFIX=${QV_WINEPREFIX:-$HOME/.cache/quorvex-windows/wine}
export WINEDEBUG=-all
# No .NET or Gecko prompts; no Linux menu entries for the shortcuts the sample package writes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# Tests make their own folders: in wine's temporary folder for Windows programs, in /tmp for the
# native driver of the end-to-end tests.
unset QV_TEST_ROOT
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
fi
# Settings of the prefix; bump the marker's number when they change.
ready=$WINEPREFIX/.quorvex-settings-2
if [[ ! -f $ready ]]; then
  # A crashing test program ends instead of waiting in wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # A CJK face for DirectWrite, which ignores wine's font substitutes and would draw Chinese as
  # boxes: Debian's Noto Sans CJK (one collection file per weight, holding the SC, TC, HK, JP
  # and KR families) copied into the prefix's font folder and registered like an installed font.
  fonts=$WINEPREFIX/drive_c/windows/Fonts
  mkdir -p "$fonts"
  for weight in Regular Bold; do
    file=/usr/share/fonts/opentype/noto/NotoSansCJK-$weight.ttc
    if [[ ! -f $file ]]; then
      echo "wine-env: $file is missing (Debian package fonts-noto-cjk); Chinese will show as boxes" >&2
      continue
    fi
    cp -f "$file" "$fonts/"
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' \
      /v "Noto Sans CJK $weight (TrueType)" /t REG_SZ /d "NotoSansCJK-$weight.ttc" /f >/dev/null 2>&1
  done
  touch "$ready"
fi

# The first Windows program a wine server runs starts wine's own background programs, which keep
# the standard handles they were given: started from a test or from ninja, they would hold its
# output pipe open and the caller would wait until they end. So the server is made persistent and
# those programs are started here, on /dev/null, before any test program runs; the calling
# script stops the server when it ends.
# Wine's desktop process is started the same way: the first GUI program of a server starts it
# and it keeps that program's standard error for as long as the server lives.
qv_wine_start() {
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  (wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &)
  trap 'wineserver -k 2>/dev/null || true' EXIT
}
