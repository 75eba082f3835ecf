#!/usr/bin/env bash
# Fails unless the VST 3 module sits where its platform's hosts look inside the bundle and
# exports exactly the entry points they call: GetPluginFactory with ModuleEntry and ModuleExit
# (Linux, kept mapped after unload) or InitDll and ExitDll (Windows, system imports only).
set -u
export LC_ALL=C
module="$1"
fail() { echo "FAIL: $*"; exit 1; }

case "$module" in
*/Tolvan_Velmora.vst3/Contents/x86_64-win/Tolvan_Velmora.vst3)
  dump=$(x86_64-w64-mingw32-objdump -p "$module") || fail "objdump could not read $module"
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^[[:space:]]+\[' | sed 's/.*\] //' | sort | tr '\n' ' ')
  expected="ExitDll GetPluginFactory InitDll "
  for dll in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump"); do
    case " KERNEL32.dll USER32.dll GDI32.dll gdiplus.dll msvcrt.dll " in
    *" $dll "*) ;;
    *) fail "imports $dll, which is not a Windows system library" ;;
    esac
  done
  ;;
*/Tolvan_Velmora.vst3/Contents/x86_64-linux/Tolvan_Velmora.so)
  exports=$(nm -D --defined-only "$module" | awk '{print $3}' | sort | tr '\n' ' ')
  expected="GetPluginFactory ModuleEntry ModuleExit "
  readelf -d "$module" | grep -q 'Flags:.*NODELETE' || fail "not marked NODELETE"
  ;;
*) fail "$module is not where the platform's hosts look in the bundle" ;;
esac
[ "$exports" = "$expected" ] || fail "exports are '$exports'"
echo "exports of $module: $exports"
