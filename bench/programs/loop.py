# An integer loop of 10 million iterations with arithmetic and a comparison.
def run(n):
    s = 0
    i = 0
    while i < n:
        s = (s + i * 3) % 1000003
        i = i + 1
    return s

print(run(10000000))
