-- Builds and converts strings: concatenation, length, number to text and back.
local function run(n)
  local total = 0
  local i = 0
  while i < n do
    local s = "item-" .. tostring(i) .. "-end"
    total = total + #s
    local t = tostring(i * 7)
    total = total + tonumber(t) % 10
    i = i + 1
  end
  return total
end
print(run(200000))
