-- map and reduce over a table of 100,000 entries.
local function map(t, f)
  local r = {}
  for k, v in pairs(t) do r[k] = f(k, v) end
  return r
end
local function reduce(t, f, acc)
  for k, v in pairs(t) do acc = f(k, v, acc) end
  return acc
end
local function run(n)
  local t = {}
  local i = 0
  while i < n do
    t[i] = i % 100
    i = i + 1
  end
  local doubled = map(t, function(k, v) return v * 2 end)
  return reduce(doubled, function(k, v, acc) return acc + v end, 0)
end
print(run(100000))
