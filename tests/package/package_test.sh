#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and checks it as a desktop would use
# it: the libraries it needs are declared, the menu entry and the software-centre description pass
# their validators, the icon is there at every size, and the installed program comes up with that
# icon and closes.
set -euo pipefail
cpack=$1 config=$2 scratch=$3 plugins=$4
id=app.quorvane.Quorvane

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch/home"
"$cpack" -G DEB --config "$config" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(echo "$scratch"/out/quorvane_*_*.deb)
root=$scratch/root
dpkg-deb -x "$deb" "$root"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; Depends: $(dpkg-deb -f "$deb" Depends)"

# Each library the program links directly comes from a package the package depends on.
depends=" $(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "
for lib in $(objdump -p "$root/usr/bin/quorvane" | awk '$1 == "NEEDED" {print $2}'); do
    owners=$(dpkg -S "*/$lib" | sed 's/: .*//; s/:[a-z0-9]*//g; s/,/ /g')
    declared=no
    for owner in $owners; do [[ $depends == *" $owner "* ]] && declared=yes; done
    [ $declared = yes ] || fail "$lib (from $owners) is not among the dependencies:$depends"
done
for program in iputils-ping xdg-utils; do
    [[ $depends == *" $program "* ]] || fail "$program is not among the dependencies:$depends"
done

desktop=$root/usr/share/applications/$id.desktop
report=$(desktop-file-validate "$desktop") && [ -z "$report" ] || fail "desktop-file-validate: $report"
report=$(appstreamcli validate-tree --no-net "$root") || fail "appstreamcli: $report"
! grep -q '^ *[EWI]:' <<<"$report" || fail "appstreamcli: $report"

exec_name=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
theme_sizes=$(cd "$root/usr/share/icons/hicolor" && ls -d */apps/"$icon".png | sed 's/x.*//' | sort -n | xargs)
[ "$theme_sizes" = "16 24 32 48 64 128 256" ] || fail "icon sizes in the theme: $theme_sizes"

# The installed program starts and closes; the probe plugin records its window and closes it.
probe=$scratch/probe.json
status=0
HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config QT_PLUGIN_PATH=$plugins \
    QT_QPA_GENERIC_PLUGINS=quorvaneprobe QUORVANE_PROBE_FILE=$probe QUORVANE_PROBE_CLOSE=Form1 \
    timeout 60 "$root/usr/bin/quorvane" || status=$?
[ $status -eq 0 ] || fail "the installed program ended with status $status; last seen: $(cat "$probe" 2>/dev/null)"
/usr/bin/python3 - "$probe" "$theme_sizes" <<'PY'
import json, sys
windows = json.load(open(sys.argv[1]))["windows"]
main = [w for w in windows if w["class"] == "Form1"]
assert main and main[0]["title"] == "Quorvane", windows
sizes = " ".join(str(s) for s in sorted(main[0]["iconSizes"]))
assert sizes == sys.argv[2], f"window icon sizes {sizes}, theme {sys.argv[2]}"
PY
