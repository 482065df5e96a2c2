#!/usr/bin/env bash
# Inspects the 32-bit release build and its package: format, subsystem, imports, resources and the zip's files.
set -u
exe="$1"
zip=$(realpath -m "$2")
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

[ -f "$exe" ] || { echo "FAILED: $exe is missing (build the win32 preset first)"; exit 1; }
headers=$(i686-w64-mingw32-objdump -p "$exe")
resources=$(i686-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null)
# The import block of the driver: from its "DLL Name" line to the next blank line.
driver=$(awk '/DLL Name: ftd2xx.dll/ {on=1; next} on && /^$/ {exit} on' <<<"$headers")

check "PE32 (not PE32+)" 'grep -q "^Magic[[:space:]]*010b" <<<"$headers"'
check "i386 machine" 'i686-w64-mingw32-objdump -f "$exe" | grep -q "pei-i386"'
check "GUI subsystem" 'grep -qE "^Subsystem[[:space:]]+00000002" <<<"$headers"'
check "no MinGW runtime DLL imported" '! grep -iqE "DLL Name: (libgcc|libstdc|libwinpthread|mingw)" <<<"$headers"'
check "ftd2xx.dll imported" 'grep -q "DLL Name: ftd2xx.dll" <<<"$headers"'
check "driver entries are ordinals 70 and 72 only" \
    '[ "$(grep -cE "^[[:space:]]+[0-9a-f]{8}[[:space:]]" <<<"$driver")" = 2 ] && grep -qE "[[:space:]]70[[:space:]]+<none>" <<<"$driver" && grep -qE "[[:space:]]72[[:space:]]+<none>" <<<"$driver"'
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
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
version=$(basename "$zip" | sed -n 's/^VLR-Loader-\(.*\)-win32\.zip$/\1/p')
crlf_only() { [ -s "$1" ] && [ "$(tail -c 1 "$1" | od -An -c | tr -d ' ')" = '\n' ] && ! grep -qv $'\r$' "$1"; }
check "the zip lists exactly VLR Loader.exe, README.txt and Help.bat" \
    '[ "$(cmake -E tar tf "$zip" | LC_ALL=C sort)" = "$(printf "Help.bat\nREADME.txt\nVLR Loader.exe")" ]'
check "the packaged program is the PE32 GUI build" \
    'p=$(i686-w64-mingw32-objdump -p "$unpacked/VLR Loader.exe") && grep -q "^Magic[[:space:]]*010b" <<<"$p" && grep -qE "^Subsystem[[:space:]]+00000002" <<<"$p" &&
     [ "$(i686-w64-mingw32-windres -i "$unpacked/VLR Loader.exe" -O rc 2>/dev/null)" = "$resources" ]'
check "README.txt and Help.bat have CR LF line ends" 'crlf_only "$unpacked/README.txt" && crlf_only "$unpacked/Help.bat"'
check "README.txt names what goes beside the program and its Settings file" \
    '(for f in ftd2xx.dll xc3sprog.exe xc3s400an.bit vlrext.bit "VLR Loader.ini"; do grep -qF "$f" "$unpacked/README.txt" || exit 1; done)'
check "Help.bat opens the README.txt of its own folder" 'grep -qF "start \"\" \"%~dp0README.txt\"" "$unpacked/Help.bat"'
check "the About box shows the package's version $version" '[ -n "$version" ] && grep -qF "Version $version\\r\\n" <<<"$resources"'
exit $fail
