# Builds and converts strings: concatenation, length, number to text and back.
def run(n):
    total = 0
    i = 0
    while i < n:
        s = "item-" + str(i) + "-end"
        total = total + len(s)
        t = str(i * 7)
        total = total + int(t) % 10
        i = i + 1
    return total

print(run(200000))
