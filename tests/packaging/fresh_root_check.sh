# The Debian package installed as a user installs it, in a fresh Debian 12 root (not part of
# CI: the root is made with debootstrap). From the checkout, after scripts/package.sh:
#   bash ../shared/tools/fresh-root-run --in dist -- bash -c "$(cat tests/packaging/fresh_root_check.sh)"
# apt-get install, lv2ls, fc-list and velmora-render there, then apt-get purge and
# autoremove --purge, and what differs from before the install (logs and apt's lists aside).
set -u
snap() { find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /srv/in -o -path /var/log -o -path /var/cache/apt -o -path /var/lib/apt/lists -o -path /tmp \) -prune -o -print | sort; }
apt-get update -q >/dev/null && apt-get install -y -q --no-install-recommends lilv-utils fontconfig >/dev/null || exit 1
snap >/tmp/before.txt
dpkg -l | awk '/^ii/{print $2}' | sort >/tmp/pkgs-before.txt
echo "=== apt-get install ./tolvan-velmora_*.deb"
apt-get install -y -q ./tolvan-velmora_*_amd64.deb 2>&1 | tail -4
echo "=== lv2ls"; lv2ls
echo "=== fc-list (Cinzel, Inter)"; fc-list : family | grep -E '^(Cinzel|Inter)$' | sort -u
echo "=== velmora-render"; velmora-render --list-params | head -2
man -w velmora-render 2>/dev/null || ls -l /usr/share/man/man1/velmora-render.1.gz
echo "=== apt-get purge"
apt-get purge -y -q tolvan-velmora 2>&1 | tail -2
snap >/tmp/after-purge.txt
echo "left after purge (dependencies stay, marked automatic):"
diff /tmp/before.txt /tmp/after-purge.txt | grep '^>' | grep -ci velmora | sed 's/^/  paths naming velmora: /'
apt-get autoremove --purge -y -q 2>&1 | tail -1
snap >/tmp/after.txt
dpkg -l | awk '/^ii/{print $2}' | sort >/tmp/pkgs-after.txt
echo "=== after purge and autoremove --purge: packages differing"; diff /tmp/pkgs-before.txt /tmp/pkgs-after.txt
echo "=== paths differing from before the install"; diff /tmp/before.txt /tmp/after.txt
echo "=== done"
