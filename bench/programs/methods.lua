-- Calls methods on tables and lambdas that capture locals.
local function make_counter(step)
  local c = {n = 0}
  c.add = function(self, k) self.n = self.n + k * step end
  return c
end
local function run(n)
  local c = make_counter(3)
  local base = 7
  local f = function(x) return x + base end
  local s = 0
  local i = 0
  while i < n do
    c:add(i % 10)
    s = (s + f(i)) % 1000003
    i = i + 1
  end
  return s + c.n
end
print(run(1000000))
