#!/usr/bin/env bash
# Inspects the 32-bit release build and its package: format, subsystem, imports, resources and the zip's files.
set -u
exe="$1"
zip=$(realpath -m "$2")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

[ -f "$exe" ] || { echo "FAILED: $exe is missing (build the win32 preset first)"; exit 1; }
build_dir=$(cd "$(dirname "$exe")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
headers=$(i686-w64-mingw32-objdump -p "$exe")
resources=$(i686-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null)

# Guards against what a change of toolchain or build flags would put into the program file unnoticed.
# Each is applied to the good file and to copies built the wrong way, which it must reject.
guard() {
    local name=$1 test=$2 good=$3 bad
    shift 3
    check "$name" '$test "$good"'
    for bad in "$@"; do
        check "$name: rejects $(basename "$bad")" '[ -s "$bad" ] && ! $test "$bad"'
    done
}
dll_names() { i686-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | LC_ALL=C sort | xargs; }
# The driver's import entries as "ordinal name" pairs; an entry by ordinal alone has the name <none>.
driver_entries() {
    i686-w64-mingw32-objdump -p "$1" | awk '/DLL Name: ftd2xx.dll/ {on=1; next} on && /^$/ {exit} on && $1 != "vma:" {print $2, $3}' | xargs
}
# A manifest would turn off the file virtualisation that keeps the settings working under Program Files;
# the build refuses one with the same script.
no_manifest() { cmake -DPE_FILE="$1" -P "$source_dir/cmake/check_no_manifest.cmake" >/dev/null 2>&1; }
# The common dialogs are loaded on first use, so comdlg32 is no import; a runtime DLL would be missing on Windows.
expected_imports() {
    [ "$(dll_names "$1")" = "comctl32.dll ftd2xx.dll gdi32.dll kernel32.dll msvcrt.dll shlwapi.dll user32.dll" ] &&
    [ "$(driver_entries "$1")" = "70 <none> 72 <none>" ]
}
static_runtime() { ! dll_names "$1" | grep -qE '(^| )(libstdc|libgcc|libwinpthread)'; }
# Is $1 the program file stripped by the toolchain's strip and nothing else? strip writes a fresh time
# stamp into the header (and so a fresh checksum), so the stripped copy takes the one of $1.
time_stamp() { od -An -tu4 --endian=little -j "$1" -N4 "$2" | tr -d ' '; }
stripped_release() {
    local stamp
    stamp=$(time_stamp $(($(time_stamp 60 "$1") + 8)) "$1") &&
    SOURCE_DATE_EPOCH=$stamp i686-w64-mingw32-strip -o "$work/stripped.exe" "$exe" && cmp -s "$1" "$work/stripped.exe"
}

# The copies built the wrong way: the release build's own objects and link libraries, linked with one change.
link_copy() { (cd "$build_dir" && i686-w64-mingw32-g++-posix -mwindows @CMakeFiles/loader.dir/objects1 "${@:3}" -o "$work/$1" "@$2"); }
printf '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>\n' >"$work/app.manifest"
echo '1 24 "app.manifest"' >"$work/manifest.rc"
(cd "$work" && i686-w64-mingw32-windres manifest.rc -O coff -o manifest.o)
sed 's/ NONAME//' "$source_dir/device/ftd2xx32.def" >"$work/by_name.def"
i686-w64-mingw32-dlltool -d "$work/by_name.def" -l "$work/by_name.a"
link_libs="$build_dir/CMakeFiles/loader.dir/linkLibs.rsp"
sed "s|libftd2xx_import.a|$work/by_name.a|" "$link_libs" >"$work/by_name.rsp"
link_copy with-manifest.exe "$link_libs" -static "$work/manifest.o"
link_copy dynamic.exe "$link_libs"
link_copy driver-by-name.exe "$work/by_name.rsp" -static

check "PE32 (not PE32+)" 'grep -q "^Magic[[:space:]]*010b" <<<"$headers"'
check "i386 machine" 'i686-w64-mingw32-objdump -f "$exe" | grep -q "pei-i386"'
check "GUI subsystem" 'grep -qE "^Subsystem[[:space:]]+00000002" <<<"$headers"'
guard "no manifest resource" no_manifest "$exe" "$work/with-manifest.exe"
guard "imports exactly comctl32 ftd2xx gdi32 kernel32 msvcrt shlwapi user32, the driver by ordinals 70 and 72 alone" \
    expected_imports "$exe" "$work/dynamic.exe" "$work/driver-by-name.exe"
guard "static: no libstdc++, libgcc or libwinpthread DLL imported" static_runtime "$exe" "$work/dynamic.exe"
check "dialogs 1001 and 1002" 'grep -q "^1001 DIALOGEX" <<<"$resources" && grep -q "^1002 DIALOGEX" <<<"$resources"'
check "dialog 1001 has 30 controls" \
    '[ "$(awk "/^1001 DIALOGEX/ {on=1; next} on && /^[0-9]+ / {exit} on && /^  CONTROL/" <<<"$resources" | wc -l)" = 30 ]'
check "dialog 1001 names its class as written" 'grep -q "CLASS \"VLR_LoadClass\"" <<<"$resources"'
for id in 4015 8001 8003 8004 8005 8006; do
    check "bitmap $id" 'grep -qE "^$id 2 /\* RT_BITMAP \*/" <<<"$resources"'
done
check "six bitmaps, no more" '[ "$(grep -c "RT_BITMAP" <<<"$resources")" = 6 ]'
check "icon group 8002" 'grep -qE "^8002 14 /\* RT_GROUP_ICON \*/" <<<"$resources"'
check "every resource in language 1033" \
    '[ -z "$(grep "^LANGUAGE" <<<"$resources" | grep -v "^LANGUAGE 9, 1$")" ]'

# The package: exactly three files, the same program, and text files that Windows tools read as lines.
[ -f "$zip" ] || { echo "FAILED: $zip is missing (build the package target first)"; exit 1; }
unpacked="$work/unpacked"
mkdir "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
version=$(basename "$zip" | sed -n 's/^VLR-Loader-\(.*\)-win32\.zip$/\1/p')
crlf_only() { [ -s "$1" ] && [ "$(tail -c 1 "$1" | od -An -c | tr -d ' ')" = '\n' ] && ! grep -qv $'\r$' "$1"; }
check "the zip lists exactly VLR Loader.exe, README.txt and Help.bat" \
    '[ "$(cmake -E tar tf "$zip" | LC_ALL=C sort)" = "$(printf "Help.bat\nREADME.txt\nVLR Loader.exe")" ]'
cp "$exe" "$work/unstripped.exe"
guard "the packaged program is this build, stripped and nothing else" stripped_release "$unpacked/VLR Loader.exe" "$work/unstripped.exe"
check "the checksum file beside the zip is the zip's SHA-256" \
    'read -r sum name <"$zip.sha256" && [ "$name" = "$(basename "$zip")" ] && [ "$sum" = "$(sha256sum "$zip" | cut -d" " -f1)" ]'
check "README.txt and Help.bat have CR LF line ends" 'crlf_only "$unpacked/README.txt" && crlf_only "$unpacked/Help.bat"'
check "README.txt names what goes beside the program, its Settings file, the wrong driver's errors, the checksum" \
    '(for f in ftd2xx.dll xc3sprog.exe xc3s400an.bit vlrext.bit "VLR Loader.ini" 0xc000007b "ordinal 70 could not be located" \
               "certutil -hashfile $(basename "$zip") SHA256"; do grep -qF "$f" "$unpacked/README.txt" || exit 1; done)'
check "README.txt names the copies that a Read keeps aside" \
    'grep -qF "IFlash (last good read).bit" "$unpacked/README.txt" && grep -qF "XFlash (last good read).bit" "$unpacked/README.txt"'
reason=$(i686-w64-mingw32-strings -a "$exe" | grep -m1 '^Programming the card')
check "README.txt quotes the reason that the program gives Windows for holding off a shut-down" \
    '[ -n "$reason" ] && tr "\r\n" "  " <"$unpacked/README.txt" | tr -s " " | grep -qF "\"$reason\""'
check "README.txt keeps within 80 columns, for Notepad" '[ -z "$(tr -d "\r" <"$unpacked/README.txt" | awk "length > 80")" ]'
check "Help.bat opens the README.txt of its own folder" 'grep -qF "start \"\" \"%~dp0README.txt\"" "$unpacked/Help.bat"'
check "the About box shows the package's version $version" '[ -n "$version" ] && grep -qF "Version $version\\r\\n" <<<"$resources"'
exit $fail
