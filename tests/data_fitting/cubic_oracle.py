"""Independent cubic spline coefficients for the data-fitting tests, computed with scipy.

Run by cubic_test.cpp as `/usr/bin/python3 cubic_oracle.py IN OUT`. IN holds cases:

    <count>
    <kind> <bcType> <nx> <ny>      kind: system | akima | bessel | hyman | hermite
    x[0] ... x[nx-1]
    y of function 0 ... (ny lines)
    bc[0] bc[1]
    ic[0] ... ic[nx-3]             (hermite only: the interior slopes)

OUT gets one line per case: the coefficients c0 c1 c2 c3 of every cell of every function (the
polynomial in t = s - x[i]), or "error <message>".

- system (natural and default types): scipy.interpolate.CubicSpline with the matching bc_type.
- akima, no boundary condition: scipy.interpolate.Akima1DInterpolator. Periodic: the Akima spline
  of the data repeated over three periods, middle period. Other conditions: Akima's interior
  slopes from that interpolator, ends from the condition (below).
- bessel, hyman, hermite: interior slopes from their definitions (Bessel: the derivative at x[i]
  of the parabola through x[i-1], x[i], x[i+1], in Lagrange form; Hyman: that slope set to
  0 where the neighbouring divided differences do not have one strict sign, else limited to three
  times the smaller of their magnitudes; Hermite: the given slopes). End slopes solve the
  boundary condition itself on scipy.interpolate.CubicHermiteSpline (the condition is linear in
  the end slope: evaluated for two trial slopes and solved; not-a-knot: the end cell's cubic,
  continued, passes through the third point from that end), periodic ones take the interior rule
  with the last cell standing before x[0]. Hyman ends not given by the caller keep the end cell
  monotone: the sign of its divided difference (else 0) and at most three times its magnitude.
"""
import sys

try:
    import numpy as np
    from scipy.interpolate import Akima1DInterpolator, CubicHermiteSpline, CubicSpline
except ImportError as e:  # the test reports this line as its failure
    print("python3-scipy is missing (scripts/install-deps.sh installs it):", e)
    sys.exit(3)


def ours(c):
    """scipy's c[k, i] multiplies (x - x_i)^(3-k); ours are c0..c3 per cell."""
    return c[::-1].T.reshape(-1)


def scipy_bc(bctype, bc):
    pairs = {12: (1, 1), 36: (1, 2), 24: (2, 1), 48: (2, 2)}
    if bctype == 1:
        return "not-a-knot"
    if bctype == 2:
        return "natural"
    if bctype == 64:
        return "periodic"
    if bctype in pairs:
        a, b = pairs[bctype]
        return ((a, bc[0]), (b, bc[1]))
    raise ValueError("bcType %d" % bctype)


def bessel_slope(xs, ys):
    """Derivative at xs[1] of the parabola through the three points (Lagrange form)."""
    a, b, c = xs
    return (ys[0] * (b - c) / ((a - b) * (a - c)) + ys[1] * (1 / (b - a) + 1 / (b - c)) +
            ys[2] * (b - a) / ((c - a) * (c - b)))


def hyman_limit(d, ml, mr):
    if not (ml * mr > 0):
        return 0.0
    lim = 3 * min(abs(ml), abs(mr))
    return min(abs(d), lim) * np.sign(d)


def hyman_end(d, m):
    """An end slope keeps the end cell monotone: the sign of m (or 0), at most 3 |m|."""
    if not (d * m > 0):
        return 0.0
    return min(abs(d), 3 * abs(m)) * np.sign(d)


def solve_end(x, y, d, left, cond):
    """The end slope for which cond(spline) == 0, cond affine in that slope."""
    k = 0 if left else -1

    def f(v):
        dd = d.copy()
        dd[k] = v
        return cond(CubicHermiteSpline(x, y, dd))

    f0, f1 = f(0.0), f(1.0)
    return -f0 / (f1 - f0)


def local_end(x, y, d, left, bctype, bc):
    first = {12: (True, True), 36: (True, False), 24: (False, True), 48: (False, False)}
    xe = x[0] if left else x[-1]
    if bctype == 1:
        # not-a-knot for local slopes: the end cell's cubic, continued over the next cell, also
        # passes through the data there (the two cells would be one cubic if the next slope allowed)
        k, xk, yk = (0, x[2], y[2]) if left else (-1, x[-3], y[-3])
        return solve_end(x, y, d, left, lambda s: np.polyval(s.c[:, k], xk - s.x[k if left else -2]) - yk)
    if bctype == 2:
        return solve_end(x, y, d, left, lambda s: s(xe, 2))
    f1 = first[bctype][0 if left else 1]
    v = bc[0 if left else 1]
    if f1:
        return v
    return solve_end(x, y, d, left, lambda s: s(xe, 2) - v)


def local_case(kind, bctype, x, y, bc, ic):
    n = len(x)
    m = np.diff(y) / np.diff(x)
    d = np.zeros(n)
    if kind == "akima":
        d[1:-1] = Akima1DInterpolator(x, y)(x[1:-1], 1)
    for i in range(1, n - 1):
        if kind in ("bessel", "hyman"):
            d[i] = bessel_slope(x[i - 1:i + 2], y[i - 1:i + 2])
            if kind == "hyman":
                d[i] = hyman_limit(d[i], m[i - 1], m[i])
        elif kind == "hermite":
            d[i] = ic[i - 1]
    if bctype == 64:
        P = x[-1] - x[0]
        if kind == "hermite":
            d[0] = bc[0]
        else:
            d[0] = bessel_slope(np.array([x[-2] - P, x[0], x[1]]), np.array([y[-2], y[0], y[1]]))
            if kind == "hyman":
                d[0] = hyman_limit(d[0], m[-1], m[0])
        d[-1] = d[0]
    else:
        d[0] = local_end(x, y, d, True, bctype, bc)
        d[-1] = local_end(x, y, d, False, bctype, bc)
        if kind == "hyman":
            given = {12: (True, True), 36: (True, False), 24: (False, True)}.get(bctype, (False, False))
            if not given[0]:
                d[0] = hyman_end(d[0], m[0])
            if not given[1]:
                d[-1] = hyman_end(d[-1], m[-1])
    return ours(CubicHermiteSpline(x, y, d).c)


def akima_case(bctype, x, y, bc):
    if bctype == 0:
        return ours(Akima1DInterpolator(x, y).c)
    if bctype == 64:
        n, P = len(x), x[-1] - x[0]
        xx = np.concatenate([x[:-1] - P, x[:-1], x + P])
        yy = np.concatenate([y[:-1], y[:-1], y])
        c = Akima1DInterpolator(xx, yy).c
        return ours(c[:, n - 1:2 * (n - 1)])
    return local_case("akima", bctype, x, y, bc, None)


def main():
    src = open(sys.argv[1]).read().split("\n")
    out = open(sys.argv[2], "w")
    pos = 0

    def line():
        nonlocal pos
        pos += 1
        return src[pos - 1]

    for _ in range(int(line())):
        kind, bctype, nx, ny = line().split()
        bctype, nx, ny = int(bctype), int(nx), int(ny)
        x = np.array([float(v) for v in line().split()])
        ys = [np.array([float(v) for v in line().split()]) for _ in range(ny)]
        bc = [float(v) for v in line().split()]
        ic = [float(v) for v in line().split()]
        try:
            res = []
            for y in ys:
                if kind == "system":
                    res.append(ours(CubicSpline(x, y, bc_type=scipy_bc(bctype, bc)).c))
                elif kind == "akima":
                    res.append(akima_case(bctype, x, y, bc))
                else:
                    res.append(local_case(kind, bctype, x, y, bc, ic))
            out.write(" ".join("%.17g" % v for v in np.concatenate(res)) + "\n")
        except Exception as e:  # reported by the test with the case
            out.write("error %s\n" % str(e).replace("\n", " "))


main()
