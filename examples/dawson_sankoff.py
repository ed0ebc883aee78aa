#!/usr/bin/env python3
"""Dawson and Sankoff's lower bound on the union, a bound for bounds-study --bound.

Usage: dawson_sankoff.py N, the lines of orders 1 to M (as intersections writes them) on
standard input, e.g. bounds-study --bound dawson_sankoff:lower:"python3 examples/dawson_sankoff.py"
Prints one number per order: at order 1 the largest probability of one event, the best lower
bound the lines of order 1 give; from order 2 on 2 S1/(k+1) - 2 S2/(k(k+1)), k = 1 + floor(2 S2/S1).
"""
import itertools
import math
import sys
from fractions import Fraction

n, lines = int(sys.argv[-1]), sys.stdin.read().split()
lasts = itertools.accumulate(math.comb(n, k) for k in range(1, n + 1))  # where each order ends
orders = len(list(itertools.takewhile(lambda last: last <= len(lines), lasts)))


def end(text, side):
    """The line's value moved one unit of its last decimal to `side` (-1 or 1), kept in [0, 1]."""
    return min(max(Fraction(text) + side * Fraction(1, 10 ** len(text.partition(".")[2])), 0), 1)


# The true values lie within one unit of the last decimal of the lines. For every whole k >= 1
# the formula is a lower bound on the union that grows with S1 and falls with S2: taken at the
# low end of every line of order 1 and the high end of every line of order 2 it lies at or below
# its value at the true S1 and S2, so it is still a bound; k is then the best for these ends.
# Order 1 alone gives no better lower bound than the largest event (the union may be that event),
# taken at its low end for the same reason.
singles = [end(text, -1) for text in lines[:n]]
s1, s2 = sum(singles), sum(end(text, 1) for text in lines[n:n + math.comb(n, 2)])
k = 1 + math.floor(2 * s2 / s1) if s1 > 0 else 1
bound = 2 * s1 / (k + 1) - 2 * s2 / (k * (k + 1)) if s1 > 0 else Fraction(0)
for value in [max(singles)] + [bound] * (orders - 1):
    units = math.floor(value * 10**15)  # rounded down to 15 decimals: still a lower bound
    print(f"{'-' if units < 0 else ''}{abs(units) // 10**15}.{abs(units) % 10**15:015d}")
