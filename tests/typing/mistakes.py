"""Three typical mistakes, each on the line marked "mistake": mypy and
pyright must flag every marked line and nothing else."""
import flexura

inf = float("inf")
simple = [(0, inf, inf, 0), (10, 0, inf, 0)]
flexura.solve(10, 1e4, 1, 1, inf, [[0, inf, inf, 0], (10, 0, inf, 0)], [])  # mistake: a list as a support
flexura.solve(10, 1e4, 1, 1, inf, simple, [("Point", [-10, 5, 90])])  # mistake: a misspelt load kind
r = flexura.solve(10, 1e4, 1, 1, inf, simple, [("point", [-10, 5, 90])])
r.eval_bm("5")  # mistake: a position given as text
