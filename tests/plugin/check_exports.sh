#!/usr/bin/env bash
# Fails unless the plug-in library exports exactly VSTPluginMain and main (one function)
# and, on Windows, names itself Tolvan_Velmora.dll and imports only system libraries. With
# "clap" as the second argument: the CLAP library, exporting clap_entry only and, on
# Windows, named Tolvan_Velmora.clap.
set -u
export LC_ALL=C
lib="$1"
format="${2:-vst2}"
fail() { echo "FAIL: $*"; exit 1; }
expected="VSTPluginMain main "
module="Tolvan_Velmora.dll"
if [ "$format" = clap ]; then
  expected="clap_entry "
  module="Tolvan_Velmora.clap"
fi

# A Windows library begins with "MZ".
case "$(head -c 2 "$lib")" in
MZ)
  dump=$(x86_64-w64-mingw32-objdump -p "$lib") || fail "objdump could not read $lib"
  name=$(sed -n 's/^Name[[:space:]]\+[0-9a-f]\+[[:space:]]\+//p' <<<"$dump" | head -n 1)
  [ "$name" = "$module" ] || fail "export directory names the module '$name'"
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^[[:space:]]+\[' | sed 's/.*\] //' | sort | tr '\n' ' ')
  [ "$exports" = "$expected" ] || fail "exports are '$exports'"
  addresses=$(sed -n '/Export Address Table --/,/^$/p' <<<"$dump" | grep 'Export RVA' | awk '{print $(NF-2)}' | sort -u | wc -l)
  [ "$addresses" = "1" ] || fail "expected one exported function behind both names, found $addresses"
  allowed=" KERNEL32.dll USER32.dll GDI32.dll gdiplus.dll msvcrt.dll "
  for dll in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump"); do
    [[ "$allowed" == *" $dll "* ]] || fail "imports $dll, which is not a Windows system library"
  done
  ;;
*)
  exports=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort | tr '\n' ' ')
  [ "$exports" = "$expected" ] || fail "exports are '$exports'"
  addresses=$(nm -D --defined-only "$lib" | awk '{print $1}' | sort -u | wc -l)
  [ "$addresses" = "1" ] || fail "VSTPluginMain and main are different functions"
  ;;
esac
echo "exports of $lib: $exports"
echo "1 passed, 0 failed"
