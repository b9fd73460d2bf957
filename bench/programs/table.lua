-- Fills a table with N integer keys and sums it back.
local N = 100000
local function run(n)
  local t = {}
  local i = 0
  while i < n do
    t[i] = i % 1000
    i = i + 1
  end
  local s = 0
  i = 0
  while i < n do
    s = s + t[i]
    i = i + 1
  end
  return s
end
print(run(N))
