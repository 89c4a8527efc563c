#!/usr/bin/env bash
# korvapush.exe under wine against Linux korvapush, publishing the standard
# tree of publish_bench (10 folders x 100 reports of 4 KiB, 3 users), a first
# and a second publish each, in four cases: linux-local, linux-serve (through
# the POSIX korvaserver serve on the loopback), wine-local (the local
# korvaserver.dll) and wine-serve (korvapush.exe through the same POSIX
# server). Wall and processor time of the client (/usr/bin/time), the
# server's processor time in ticks of 1/100 s (/proc), into OUT/times.txt.
#   bench/windows_timing.sh ROOT OUT [case...]
# ROOT: the worktree, with build-bench (Release) and build-win64 (the Windows
# x86_64 build, its wine prefix set up and korvaserver.dll registered in it:
# wine64 regsvr32 /s 'Z:\ROOT\build-win64\korvaserver.dll'). SERVER names
# another korvaserver to serve with; GEN_ARGS other tree options.
set -euo pipefail
wt=$1; out=$2; shift 2
cases=("${@:-linux-local linux-serve wine-local wine-serve}")
read -r -a cases <<<"${cases[*]}"
lin=$wt/build-bench; win=$wt/build-win64/bin; srv=${SERVER:-$lin/korvaserver}
[ -x "$win/korvapush.exe" ] || win=$wt/build-win64
export WINEPREFIX=$wt/build-win64/wineprefix WINEDEBUG=${WINEDEBUG:--all}
source "$wt/scripts/deps.sh"
wine=$(korva_wine_loader x86_64)
rm -rf "$out"; mkdir -p "$out"
tree=$out/tree
$lin/bench/korva_publish_bench --generate "$tree" ${GEN_ARGS:-} >/dev/null
t() { # name cmd...: wall and cpu (user+sys of children) of the command
  local name=$1; shift
  /usr/bin/time -f "$name wall %e s user %U s sys %S s maxrss %M KiB" "$@" >>"$out/$name.out" 2>>"$out/times.txt" || { echo "$name failed" >>"$out/times.txt"; tail -5 "$out/$name.out" >>"$out/times.txt"; }
}
for c in "${cases[@]}"; do
  home=$out/home-$c
  mkdir -p "$home"
  case $c in
    linux-local)
      KORVA_SERVER_HOME=$home $lin/korvaserver init -apsname local >/dev/null
      for r in 1 2; do KORVA_SERVER_HOME=$home t "$c-$r" $lin/korvapush -apsname local -srcfile "$tree/publish.xml" -srcpath "$tree/src" -logfile "$out/$c-$r.log"; done ;;
    wine-local)
      KORVA_SERVER_HOME=$home $lin/korvaserver init -apsname local >/dev/null
      for r in 1 2; do KORVA_SERVER_HOME="Z:$home" t "$c-$r" $wine "$win/korvapush.exe" -apsname local -srcfile "Z:$tree/publish.xml" -srcpath "Z:$tree/src" -logfile "Z:$out/$c-$r.log"; done ;;
    linux-serve|wine-serve)
      shome=$out/served-$c; mkdir -p "$shome"
      KORVA_SERVER_HOME=$shome $lin/korvaserver init -apsname served >/dev/null
      KORVA_SERVER_HOME=$shome $srv serve -apsname served -listen 127.0.0.1:0 >"$out/$c-serve.txt" 2>"$out/$c-serve.log" &
      spid=$!
      for i in $(seq 50); do grep -q "^Serving" "$out/$c-serve.txt" 2>/dev/null && break; sleep 0.2; done
      addr=$(sed -n 's/^Serving APS served on //p' "$out/$c-serve.txt")
      s0=$(awk '{print $14+$15}' /proc/$spid/stat)
      for r in 1 2; do
        if [ $c = linux-serve ]; then
          KORVA_SERVER_HOME=$home KORVA_SERVER_CA=$shome/served.crt t "$c-$r" $lin/korvapush -apsname "$addr" -srcfile "$tree/publish.xml" -srcpath "$tree/src" -logfile "$out/$c-$r.log"
        else
          KORVA_SERVER_HOME="Z:$home" KORVA_SERVER_CA="Z:$shome/served.crt" t "$c-$r" $wine "$win/korvapush.exe" -apsname "$addr" -srcfile "Z:$tree/publish.xml" -srcpath "Z:$tree/src" -logfile "Z:$out/$c-$r.log"
        fi
        s1=$(awk '{print $14+$15}' /proc/$spid/stat)
        echo "$c-$r server cpu $(( s1 - s0 )) ticks" >>"$out/times.txt"; s0=$s1
      done
      kill $spid; wait $spid || true ;;
  esac
done
cat "$out/times.txt"
