# velmora_linux_library(TARGET)
#
# Every library the project ships for a Linux host (the VST 2.4 library, the LV2 plug-in
# and UI, and any further format) calls this. It links the library with -z nodelete: the
# loader keeps it, and the libraries it brought in, mapped after the host's dlclose, and a
# later dlopen finds the same copy.
#
# The editor paints its texts with Pango, which registers its GObject types in GLib's type
# system; GLib (libgobject is itself nodelete) keeps those for the life of the process.
# Unmapping Pango with our library and loading it again would register the same types a
# second time ("cannot register existing type") and crash at the next paint, in hosts that
# do not link Pango themselves: scanners, small and Qt hosts, and suil, which unloads a UI
# library whenever its window closes. An editor without GLib-based libraries would have to
# shape and rasterise the panel's texts itself and still match the panel's pictures to the
# pixel; keeping the library loaded costs a few megabytes of mapped code once per process.
function(velmora_linux_library target)
  if(NOT WIN32)
    target_link_options(${target} PRIVATE -Wl,-z,nodelete)
  endif()
endfunction()
