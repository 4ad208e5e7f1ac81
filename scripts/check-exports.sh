#!/usr/bin/env bash
# Checks the dynamic symbol table of the shared library against the vector-math function
# list: every built row exports its _ttab, _ctab, its kernels and its four entry points;
# rows not built yet export none of them.
set -euo pipefail
lib=${1:?usage: check-exports.sh LIBRARY}
def="$(dirname "$0")/../src/vector_math/frame/functions.def"
syms=$(mktemp)
trap 'rm -f "$syms"' EXIT
nm -D --defined-only "$lib" | awk '{print $3}' | sort -u >"$syms"
# One line per name a row may export: "built name".
sed -n 's/^QOR_FN(\(.*\))$/\1/p' "$def" | tr -d ' ' | awk -F, '
  { t = $1; f = $2; la = $4; ha = $5; ep = $6; b = $10
    if (t == "s" || t == "c") { lasuf = "_21"; epsuf = "_11" } else { lasuf = "_50"; epsuf = "_26" }
    n = split("qor_fnx_kernel_" t f "_ttab qor_fnx_kernel_" t f "_ctab _fnx" t f " _fnx" t f "_HA _fnx" t f lasuf \
              " _fnx" t f epsuf " qor_fnx_kernel_" t f "_" la " qor_fnx_kernel_" t f "_" ha " qor_fnx_kernel_" t f "_" ep, w, " ")
    for (i = 1; i <= n; ++i) print b, w[i]
    if (b == 1) built++ }
  END { print "#built", built + 0 }' |
awk -v syms="$syms" -v lib="$lib" '
  BEGIN { while ((getline s < syms) > 0) have[s] = 1 }
  $1 == "#built" { built = $2; next }
  { if (($2 in have) && $1 != 1) { print "exported but not built: " $2; bad = 1 }
    if (!($2 in have) && $1 == 1) { print "missing export: " $2; bad = 1 } }
  END { if (bad) { print "exports: 0 passed, 1 failed (" lib ")"; exit 1 }
        print "exports: 1 passed, 0 failed (" built " built rows checked in " lib ")" }'
