#!/usr/bin/env bash
# Renders every window of the built-in skin (the main window once per page) in both languages
# at scale 1 and 2, for review side by side.
#   tools/skin-preview/render-all.sh PREVIEW_PROGRAM OUT_DIR
set -euo pipefail
preview=${1:?usage: render-all.sh PREVIEW_PROGRAM OUT_DIR}
out=${2:?usage: render-all.sh PREVIEW_PROGRAM OUT_DIR}
mkdir -p "$out"

for lang in en-US zh-TW; do
  for scale in 1 2; do
    tag="$lang-x$scale"
    common=(--lang "$lang" --scale "$scale" --shadow)
    for page in 0 1 2 3; do
      title=0
      [[ $page == 1 ]] && title=1
      [[ $page == 3 ]] && title=2
      extra=()
      # What the window's code sets: a folder, the progress half way with its animation frame
      # and no title buttons, the finish page's tick at rest.
      [[ $page == 1 ]] && extra=(--set "installDirEdit=text=\"/opt/Pelmora\"")
      [[ $page == 2 ]] && extra=(--set "installPrg=value=\"62\"" --set "titleGrpCtn=visible=\"false\""
                                 --set "progressLb=text=\"62%\" resourcetext=\"false\""
                                 --set "progressAnLb=bkimage=\"res\\mainWnd\\progressAnimate\\020.png\"")
      [[ $page == 3 ]] && extra=(--set "finishedLbl=bkimage=\"res\\mainWnd\\finishedAnimate\\033.png\"")
      "$preview" "${common[@]}" --layout MainWnd.xml --select "mainTabLt=$page" --select "titleTabLt=$title" \
        "${extra[@]}" --out "$out/main-page$page-$tag.png"
    done
    for layout in ExitTipWnd InstalledPathTipWnd NetworkTipWnd; do
      "$preview" "${common[@]}" --layout "$layout.xml" --out "$out/$layout-$tag.png"
    done
    # The notices show what their callers pass; the longest texts they are given.
    "$preview" "${common[@]}" --layout MessageBox1Wnd.xml --set "captionLbl=text=\"IDMsgTip\" resourcetext=\"true\"" \
      --set "textLbl=text=\"IDMsgSoftRunning\" resourcetext=\"true\"" --out "$out/MessageBox1Wnd-$tag.png"
    "$preview" "${common[@]}" --layout MessageBox2Wnd.xml --set "captionLbl=text=\"IDMsgTip\" resourcetext=\"true\"" \
      --set "textLbl=text=\"IDDiskLow\" resourcetext=\"true\"" --out "$out/MessageBox2Wnd-$tag.png"
  done
done
echo "previews written to $out"
