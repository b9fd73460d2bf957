# Fills a table with N integer keys and sums it back.
N = 100000
def run(n):
    t = {}
    i = 0
    while i < n:
        t[i] = i % 1000
        i = i + 1
    s = 0
    i = 0
    while i < n:
        s = s + t[i]
        i = i + 1
    return s

print(run(N))
