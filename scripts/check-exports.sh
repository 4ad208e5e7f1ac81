#!/usr/bin/env bash
# Checks the dynamic symbol table of the shared library against the vector-math function
# list: every built row exports its _ttab, _ctab, its kernels and its four entry points;
# rows not built yet export none of them.
set -euo pipefail
lib=${1:?usage: check-exports.sh LIBRARY}
def="$(dirname "$0")/../src/vector_math/frame/functions.def"
syms=$(mktemp)
nm -D --defined-only "$lib" | awk '{print $3}' | sort -u >"$syms"
bad=0 built=0
while IFS=, read -r t f la ha ep b; do
  case $t in s|c) lasuf=_21 epsuf=_11 ;; *) lasuf=_50 epsuf=_26 ;; esac
  names="qor_fnx_kernel_$t${f}_ttab qor_fnx_kernel_$t${f}_ctab _fnx$t$f _fnx$t${f}_HA _fnx$t$f$lasuf _fnx$t$f$epsuf"
  names="$names qor_fnx_kernel_$t${f}_$la qor_fnx_kernel_$t${f}_$ha qor_fnx_kernel_$t${f}_$ep"
  for n in $names; do
    if grep -qx "$n" "$syms"; then
      [ "$b" = 1 ] || { echo "exported but not built: $n"; bad=1; }
    else
      [ "$b" = 0 ] || { echo "missing export: $n"; bad=1; }
    fi
  done
  [ "$b" = 1 ] && built=$((built + 1))
done < <(sed -n 's/^QOR_FN(\(.*\))$/\1/p' "$def" | tr -d ' ' | awk -F, '{print $1","$2","$4","$5","$6","$10}')
rm -f "$syms"
if [ $bad = 0 ]; then
  echo "exports: 1 passed, 0 failed ($built built rows checked in $lib)"
else
  echo "exports: 0 passed, 1 failed ($lib)"
fi
exit $bad
