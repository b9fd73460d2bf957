# Calls methods on tables and lambdas that capture locals.
class Counter:
    def __init__(self, step):
        self.n = 0
        self.step = step

    def add(self, k):
        self.n = self.n + k * self.step

def run(n):
    c = Counter(3)
    base = 7
    f = lambda x: x + base
    s = 0
    i = 0
    while i < n:
        c.add(i % 10)
        s = (s + f(i)) % 1000003
        i = i + 1
    return s + c.n

print(run(1000000))
