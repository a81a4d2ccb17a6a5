#!/usr/bin/env bash
# Checks the Windows packages under Wine, as a player would use them, in a
# fresh prefix on a private X server:
#   - the portable zip holds the program and a read-me Notepad can show;
#   - the installer, run silently (/S), puts the program in
#     %LOCALAPPDATA%\Programs\Marivo2, a shortcut in the Start menu and the
#     uninstaller in the user's list of apps, and no sign-in entry;
#   - the installed program carries the version, starts from its shortcut,
#     shows the scene and keeps its record beside itself;
#   - the silent uninstaller removes the program, its shortcut and its
#     registration and leaves the record byte for byte.
#
# Usage: tests/e2e/wine_package_check.sh [dist folder]   (default: dist)
# The screenshot lands in <dist folder>/e2e (MARIVO_ARTIFACTS elsewhere).
# Prints ok/FAIL lines; exits non-zero when anything failed. Every wait is
# bounded; the whole check takes two to three minutes.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(readlink -f "${1:-$root/dist}")
version=$(sed -nE 's/^project\(marivo2 VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )].*/\1/p' "$root/CMakeLists.txt")
setup=$dist/marivo2-$version-setup.exe
zipfile=$dist/marivo2-$version-win64.zip
for f in "$setup" "$zipfile"; do
  [ -f "$f" ] || { echo "wine_package_check: no $f (run tools/package-windows.sh)"; exit 1; }
done
packages=(wine64 wine locales xvfb xdotool x11-utils imagemagick unzip g++-mingw-w64-x86-64)
# shellcheck source=tools/ensure_packages.sh
source "$root/tools/ensure_packages.sh"
ensure_packages "${packages[@]}"
for tool in wine wineserver wineboot winepath Xvfb xdotool xwininfo import unzip x86_64-w64-mingw32-gcc; do
  command -v "$tool" >/dev/null || { echo "wine_package_check: $tool is missing (tools/setup.sh windows)"; exit 1; }
done

artifacts=${MARIVO_ARTIFACTS:-$dist/e2e}
mkdir -p "$artifacts"
# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"
# shellcheck source=tests/e2e/wine_lib.sh
source "$root/tests/e2e/wine_lib.sh"
work=$(mktemp -d /tmp/marivo-wine-package.XXXXXX)
trap wine_cleanup EXIT

echo "== The portable zip ($(basename "$zipfile"))"
listing=$(unzip -Z1 "$zipfile" | sort | tr '\n' ' ')
check "it holds Marivo2/marivo2.exe and Marivo2/readme.txt ($listing)" \
  test "$listing" = "Marivo2/ Marivo2/marivo2.exe Marivo2/readme.txt "
mkdir -p "$work/zip"
unzip -q "$zipfile" -d "$work/zip"
readme=$work/zip/Marivo2/readme.txt
check "the read-me starts with a UTF-8 byte-order mark" \
  test "$(head -c3 "$readme" | od -An -tx1 | tr -d ' ')" = "efbbbf"
check "every line of the read-me ends in CRLF" \
  test "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")"
check "the read-me is valid UTF-8" iconv -f UTF-8 -t UTF-8 -o /dev/null "$readme"
check "the read-me names the version, in both languages" \
  test "$(grep -c "バージョン $version\|version $version" "$readme")" -ge 2
check "the read-me says where the record lives" grep -qF '%APPDATA%\Marivo2\marivo2.ini' "$readme"

# Reads an executable's version resource through Windows' own functions.
cat >"$work/verinfo.c" <<'EOF'
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  void* data = size ? malloc(size) : NULL;
  if (!data || !GetFileVersionInfoW(argv[1], 0, size, data)) {
    printf("no version resource\n");
    return 1;
  }
  VS_FIXEDFILEINFO* fixed = NULL;
  UINT length = 0;
  if (VerQueryValueW(data, L"\\", (void**)&fixed, &length) && fixed) {
    printf("Fixed FileVersion=%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
           LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
           LOWORD(fixed->dwFileVersionLS));
    printf("Fixed ProductVersion=%u.%u.%u.%u\n", HIWORD(fixed->dwProductVersionMS),
           LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
           LOWORD(fixed->dwProductVersionLS));
  }
  struct { WORD language, codePage; }* translation = NULL;
  if (!VerQueryValueW(data, L"\\VarFileInfo\\Translation", (void**)&translation, &length) ||
      length < sizeof *translation) {
    printf("no translation\n");
    return 1;
  }
  static const wchar_t* const names[] = {L"FileVersion", L"ProductVersion", L"ProductName",
                                         L"OriginalFilename", L"CompanyName",
                                         L"FileDescription", L"LegalCopyright"};
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
    wchar_t query[128];
    swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language,
             translation->codePage, names[i]);
    wchar_t* value = NULL;
    if (VerQueryValueW(data, query, (void**)&value, &length) && value) {
      printf("%ls=%ls\n", names[i], value);
    }
  }
  return 0;
}
EOF
x86_64-w64-mingw32-gcc -municode -O1 "$work/verinfo.c" -lversion -o "$work/verinfo.exe"

# A fresh prefix, Japanese for the program's texts and the installer's
# language; no window manager here: Wine draws frames itself.
wine_start wine_package_check || exit 1
wine_unmanaged

local_app_data=$(unix_folder LOCALAPPDATA)
app_data=$(unix_folder APPDATA)
[ -d "$local_app_data" ] && [ -d "$app_data" ] ||
  { echo "wine_package_check: no user folders in the prefix ($local_app_data, $app_data)"; exit 1; }
instdir=$local_app_data/Programs/Marivo2
programs="$app_data/Microsoft/Windows/Start Menu/Programs"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marivo2'
shortcuts() { find "$1" -maxdepth 1 \( -name 'Marivo2.lnk' -o -name 'マリヴォ２.lnk' \) 2>/dev/null; }
# The user's Startup folder (Wine spells it StartUp).
signin_shortcuts() {
  find "$programs" -mindepth 2 -maxdepth 2 -ipath "$programs/startup/*" \
    \( -name 'Marivo2.lnk' -o -name 'マリヴォ２.lnk' \) 2>/dev/null
}
# reg writes in the console's code page (932 for Japanese).
reg_value() {
  wine reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' |
    LC_ALL=C sed -nE "s/^ +$1 +REG_[A-Z_]+ +(.*)$/\1/p" | iconv -f CP932 -t UTF-8
}
registered() { timeout 60 wine reg query "$uninstall_key" >/dev/null 2>&1; }

echo "== The silent install ($(basename "$setup"))"
if timeout 120 wine "$setup" /S >"$work/setup.log" 2>&1; then
  pass "the installer ran and said success"
else
  fail "the installer ended with status $?"
fi
exe=$instdir/marivo2.exe
check "marivo2.exe is in %LOCALAPPDATA%\\Programs\\Marivo2" test -f "$exe"
check "it is the program of the zip, byte for byte" cmp -s "$exe" "$work/zip/Marivo2/marivo2.exe"
check "the read-me is installed beside it" cmp -s "$instdir/readme.txt" "$readme"
check "the uninstaller is installed beside it" test -f "$instdir/uninstall.exe"
link=$(shortcuts "$programs" | head -n1)
check "a Start-menu shortcut is in the user's Programs folder (${link##*/})" test -n "$link"
check "no sign-in entry unless chosen" test -z "$(signin_shortcuts)"
check "the uninstall key is registered" registered
check "DisplayName is the game's title ($(reg_value DisplayName))" \
  grep -qx 'マリヴォ２\|Marivo2' <<<"$(reg_value DisplayName)"
for name in Publisher DisplayIcon InstallLocation; do
  value=$(reg_value "$name")
  check "$name is set ($value)" test -n "$value"
done
check "DisplayVersion is $version" test "$(reg_value DisplayVersion)" = "$version"
check "UninstallString names the uninstaller" grep -qi 'Marivo2\\uninstall.exe"$' <<<"$(reg_value UninstallString)"
check "QuietUninstallString runs it with /S" grep -qi 'uninstall.exe" /S$' <<<"$(reg_value QuietUninstallString)"
check "NoModify and NoRepair are 1" test "$(reg_value NoModify)$(reg_value NoRepair)" = "0x10x1"
size=$(reg_value EstimatedSize)
check "EstimatedSize is the program's size in KB ($size)" test "$((size))" -ge "$(($(stat -c %s "$exe") / 1024))"

echo "== A second install over the first, in English, choosing start at sign-in (/SIGNIN)"
if LANG=C.UTF-8 LC_ALL=C.UTF-8 timeout 120 wine "$setup" /S /SIGNIN >>"$work/setup.log" 2>&1; then
  pass "the second install said success"
else
  fail "the second install ended with status $?"
fi
check "a sign-in shortcut is in the user's Startup folder" test -n "$(signin_shortcuts)"
link=$(shortcuts "$programs" | head -n1)
check "still one Start-menu shortcut (${link##*/})" test "$(shortcuts "$programs" | wc -l)" = 1

echo "== The installed program's version resource"
info=$(cd "$work" && timeout 60 wine verinfo.exe "$(winepath -w "$exe")" 2>/dev/null | tr -d '\r' || true)
echo "$info" | sed 's/^/       /'
check "the fixed file version is $version.0" grep -qx "Fixed FileVersion=$version.0" <<<"$info"
check "the fixed product version is $version.0" grep -qx "Fixed ProductVersion=$version.0" <<<"$info"
check "FileVersion and ProductVersion read $version" \
  test "$(grep -cx "FileVersion=$version\|ProductVersion=$version" <<<"$info")" = 2
check "OriginalFilename is marivo2.exe" grep -qx 'OriginalFilename=marivo2.exe' <<<"$info"
check "ProductName is Marivo2" grep -qx 'ProductName=Marivo2' <<<"$info"

echo "== The installed program, started from its shortcut"
# A record from an earlier run beside the installed program: one catch of
# kind 0, ten of kind 1.
stored="00100A$(printf '000%.0s' $(seq 38))"
ini=$instdir/marivo2.ini
printf '[Data]\r\nTyouka=%s\r\n' "$stored" >"$ini"

con=""
if [ -n "$link" ]; then
  (exec timeout 120 wine start /wait /unix "$link") >"$work/game.log" 2>&1 &
  game_pid=$!
  con=$(wait_window 83 15 150) || true
  check "the shortcut started the game" test -n "$con"
fi
if [ -z "$con" ]; then
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  (cd "$instdir" && exec timeout 120 wine marivo2.exe) >>"$work/game.log" 2>&1 &
  game_pid=$!
  con=$(wait_window 83 15 150) || true
fi
# At 96 dpi with no task bar: the control bar (83 x 15) in the bottom-left
# corner, the angler (50 x 48) right of it, the sea a screen wide.
if [ -z "$con" ]; then
  fail "the control bar never appeared"
else
  read -r _ _ _ con_x con_y <<<"$con"
  check "control bar in the bottom-left corner ($con_x,$con_y)" test "$con_x,$con_y" = "0,753"
  man=$(wait_window 50 48) || true
  check "the angler stands right of it (${man#* })" test -n "$man"
  sea=$(wait_window 1024 3) || true
  check "the sea strip is out (${sea#* })" test -n "$sea"
  sleep 1
  import -window root "$artifacts/wine_installed.png" 2>/dev/null || true

  # The installer will not replace a program that is running.
  if timeout 60 wine "$setup" /S >>"$work/setup.log" 2>&1; then
    fail "the installer said success while the game was running"
  else
    pass "the installer refuses while the game is running"
  fi
  check "the running program was left alone" cmp -s "$exe" "$work/zip/Marivo2/marivo2.exe"

  # Exit through the menu: a right press on the button, the last item.
  button_x=$((con_x + 1 + 66 + 7))
  button_y=$((con_y + 1 + 5))
  known=$(game_windows | cut -d' ' -f1 | sort)
  xdotool mousemove "$button_x" "$button_y" click 3
  menu=""
  for _ in $(seq 40); do
    menu=$(game_windows | while read -r id w h x y; do
      grep -qx "$id" <<<"$known" || echo "$w $h $x $y"
    done | awk '$1 > 60 && $2 > 40' | head -n1)
    [ -n "$menu" ] && break
    sleep 0.25
  done
  if [ -z "$menu" ]; then
    fail "no popup menu"
  else
    read -r menu_w menu_h menu_x menu_y <<<"$menu"
    xdotool mousemove $((menu_x + menu_w / 2)) $((menu_y + menu_h - 8))
    sleep 0.3
    xdotool click 1
  fi
  for _ in $(seq 75); do [ -z "$(game_windows)" ] && break; sleep 0.2; done
  check "the game ended through its menu" test -z "$(game_windows)"
fi
[ -n "$game_pid" ] && { wait "$game_pid" 2>/dev/null || true; }
game_pid=""
check "the record beside the installed program holds the stored counts" \
  grep -qx "Tyouka=$stored" <(tr -d '\r' <"$ini" 2>/dev/null)
# The install folder is the user's own: the record stays beside the program.
check "nothing went to %APPDATA%\\Marivo2 instead" test ! -e "$app_data/Marivo2/marivo2.ini"
cp "$ini" "$work/record-before" 2>/dev/null || true
# A record in the user's own folder must survive the uninstall as well.
mkdir -p "$app_data/Marivo2"
printf '[Data]\r\nTyouka=%s\r\nComplete=1\r\n' "$(printf '001%.0s' $(seq 40))" >"$app_data/Marivo2/marivo2.ini"
cp "$app_data/Marivo2/marivo2.ini" "$work/user-record-before"

echo "== The silent uninstall"
uninstaller=$(reg_value QuietUninstallString | sed -E 's/^"([^"]+)".*/\1/')
# The uninstaller copies itself away and returns at once: wait for its work.
timeout 60 wine "$uninstaller" /S >"$work/uninstall.log" 2>&1 || true
for _ in $(seq 150); do
  [ ! -e "$exe" ] && [ ! -e "$instdir/uninstall.exe" ] && break
  sleep 0.2
done
sleep 1
check "marivo2.exe is gone" test ! -e "$exe"
check "the uninstaller is gone" test ! -e "$instdir/uninstall.exe"
check "the read-me is gone" test ! -e "$instdir/readme.txt"
check "the Start-menu shortcut is gone" test -z "$(shortcuts "$programs")"
check "the sign-in shortcut is gone" test -z "$(signin_shortcuts)"
if registered; then fail "the uninstall key is still registered"; else pass "the uninstall key is gone"; fi
check "the record beside the program is still there, byte for byte" cmp -s "$ini" "$work/record-before"
check "so is the folder that holds it" test -d "$instdir"
check "the record in %APPDATA%\\Marivo2 is untouched" \
  cmp -s "$app_data/Marivo2/marivo2.ini" "$work/user-record-before"

echo "wine_package_check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
