# map and reduce over a table of 100,000 entries.
def map_table(t, f):
    return {k: f(k, v) for k, v in t.items()}

def reduce_table(t, f, acc):
    for k, v in t.items():
        acc = f(k, v, acc)
    return acc

def run(n):
    t = {}
    i = 0
    while i < n:
        t[i] = i % 100
        i = i + 1
    doubled = map_table(t, lambda k, v: v * 2)
    return reduce_table(doubled, lambda k, v, acc: acc + v, 0)

print(run(100000))
