-- An integer loop of 10 million iterations with arithmetic and a comparison.
local function run(n)
  local s = 0
  local i = 0
  while i < n do
    s = (s + i * 3) % 1000003
    i = i + 1
  end
  return s
end
print(run(10000000))
